#pragma once

namespace quillon {

/// Ctrl+C in batch mode, counted by one handler for every command. Each stage checks the
/// count where it can stop cleanly; the handler resets itself once it has run, so a second
/// Ctrl+C ends the program at once unless ArmInterrupt sets it again.

/// Starts a command: the count goes back to 0 and the handler is set.
void CatchInterrupt();
/// Sets the handler again after a Ctrl+C, so the next one is counted too.
void ArmInterrupt();
/// The Ctrl+C caught since CatchInterrupt.
int InterruptCount();

} // namespace quillon
