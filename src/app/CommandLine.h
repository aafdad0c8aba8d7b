#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace quillon {

class Dialogs;
class MainFrm;

/// What the program was started to do, from its arguments (program name first).
enum class StartMode {
    Window,  ///< the main window, with the job named on the command line if any
    Batch,   ///< batch mode or its help: no window, no display needed
    Version, ///< "--version"
};

StartMode StartModeOf(const QStringList& arguments);

/// True when Qt can open a window: a platform is named (QT_QPA_PLATFORM or "-platform"), or
/// an X or Wayland display is set. Asked before the GUI application object exists, because
/// without a display Qt aborts the program instead of returning an error.
bool CanOpenWindow(const QStringList& arguments);

/// The job file (or folder) that the window should open: the one argument that is left once
/// Qt has taken its own options ("-style", "-platform"...), or empty for the default job. Sets
/// *error and returns empty on a second file or an unknown option.
QString WindowJobOf(const QStringList& arguments, QString* error);

/// Opens the job file named on the command line in the window. When it cannot be read, the
/// message says why, as Open Job's does, and the window keeps the job it started with.
bool OpenStartJob(MainFrm& window, const QString& path, Dialogs& dialogs);

/// "quillon DIR", as file managers start it for a folder: the window's job keeps its report
/// type, sort and font, takes DIR as its one location (every level, every file) and scans.
void ScanStartFolder(MainFrm& window, const QString& folder);

/// Keeps the program's arguments as the shell gave them: a QString loses a byte that is not
/// UTF-8, and a path given to the program may hold one. main() calls it first.
void KeepRawArguments(int argc, const char* const* argv);

/// The bytes of the argument that reads as argument; its file-name encoding when no kept
/// argument does (arguments not kept, as in tests).
QByteArray RawArgument(const QString& argument);

/// "quillon 1.0", for "--version".
QString VersionText();

/// The one line told when the window cannot open for want of a display.
QString NoDisplayText();

/// The one line told when a display is named but Qt cannot start on it (no X server there,
/// the connection refused, no platform plugin that works).
QString UnreachableDisplayText();

} // namespace quillon
