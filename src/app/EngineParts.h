#pragma once

// Which engine parts this tree holds. The window is built in step with the engine: a command
// whose engine part is missing stays disabled and says so, instead of pretending to work.
#if __has_include("scan/BuzTimer.h")
#define QUILLON_HAVE_SCAN 1
#else
#define QUILLON_HAVE_SCAN 0
#endif
#if __has_include("report/RtfFraming.h")
#define QUILLON_HAVE_REPORT 1
#else
#define QUILLON_HAVE_REPORT 0
#endif
#if __has_include("report/WriteDetails.h")
#define QUILLON_HAVE_DETAILS 1
#else
#define QUILLON_HAVE_DETAILS 0
#endif
#if __has_include("platform/RtfFiles.h")
#define QUILLON_HAVE_RTF 1
#else
#define QUILLON_HAVE_RTF 0
#endif
#if __has_include("app/JobFile.h")
#define QUILLON_HAVE_JOBS 1
#else
#define QUILLON_HAVE_JOBS 0
#endif
#if __has_include("output/HtmlExport.h")
#define QUILLON_HAVE_EXPORT 1
#else
#define QUILLON_HAVE_EXPORT 0
#endif
