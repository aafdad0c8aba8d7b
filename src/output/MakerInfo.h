#pragma once

namespace quillon {

/// The maker's home page: the HTML export's title and link, and the Help menu's web entries.
inline constexpr char kMakerWebAddress[] = "https://quillon.tessaly.net";

/// Where error reports are mailed to (the error report dialog's "mailto:").
inline constexpr char kSupportEmail[] = "support@quillon.tessaly.net";

} // namespace quillon
