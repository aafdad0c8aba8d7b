#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>

namespace quillon::fuzz {

/// A folder of this process for the files a target hands to a reader by name.
QString ScratchFolder();

/// Writes the input to ScratchFolder()/name (replacing it) and returns the path.
QString WriteScratchFile(const QString& name, const std::uint8_t* data, std::size_t size);

/// Stops the run with a message when a property does not hold (libFuzzer keeps the input).
[[noreturn]] void Fail(const char* what);

} // namespace quillon::fuzz
