#pragma once

namespace quillon {

class MainFrm;

/// For tools/screenshot.sh only: when QUILLON_SCREENSHOT names a PNG file, the shown window
/// opens the job named by QUILLON_SCREENSHOT_JOB, scans it, saves a picture of itself to
/// the PNG and closes. Does nothing when the variable is not set.
void ArmScreenshotRun(MainFrm& window);

} // namespace quillon
