// Takes the pictures of the help page and the README: the main window with a report, the
// location, exclusion and settings dialogs, and, on request, a List In Details report
// printed as a PDF through Page Setup and Print. Run by
// tools/screenshot.sh under a virtual X server; it is no part of the installed program.
//
//   quillon_screenshot OUT_FOLDER JOB [PDF TOP BOTTOM LEFT RIGHT]
//
// The margins are in the user's page unit, as Page Setup shows them.
#include "app/ExcludeFrm.h"
#include "app/FolderFrm.h"
#include "app/MainFrm.h"
#include "app/QtDialogs.h"
#include "app/SettingsFrm.h"
#include "output/PageMargins.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>
#include <cstdio>

namespace {

using namespace quillon;

// The window's own dialogs, but with fixed answers wherever one would wait for a person.
class ScriptedDialogs : public QtDialogs {
public:
    QString folder;
    QString pdf;
    PageMargins margins;

    MessageResult ShowMessage(const QString& text, const QString& title, MessageIcon,
                              MessageButtons, MessageResult defaultButton) override
    {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
        return defaultButton;
    }
    QString ShowFolderBrowser(const QString&, bool) override { return folder; }
    ErrorChoice ShowErrorReport(const ErrorReport& report) override
    {
        std::fprintf(stderr, "error %d in %s: %s\n", int(report.number),
                     qPrintable(report.procedure), qPrintable(report.description));
        return ErrorChoice::Abort;
    }
    bool ShowPrintDialog(QPrinter& printer) override
    {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    }
    bool ShowPageSetup(QPrinter&, PageMargins& shown, bool) override
    {
        shown = margins;
        return true;
    }
};

bool Save(QWidget& widget, const QString& path)
{
    QApplication::processEvents();
    const bool saved = widget.grab().save(path, "PNG");
    std::fprintf(stderr, "%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

// Shows a dialog without its modal loop, lets it paint, and saves its picture.
bool ShowAndSave(QWidget& dialog, const QString& path)
{
    dialog.show();
    QApplication::processEvents();
    const bool saved = Save(dialog, path);
    dialog.hide();
    return saved;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tessaly"));
    QApplication::setApplicationName(QStringLiteral("Quillon"));
    const QStringList args = QApplication::arguments();
    if (args.size() != 3 && args.size() != 8) {
        std::fprintf(stderr,
                     "usage: quillon_screenshot OUT_FOLDER JOB [PDF TOP BOTTOM LEFT RIGHT]\n");
        return 2;
    }
    const QDir out(args[1]);
    const QString job = args[2];

    ScriptedDialogs dialogs;
    MainFrm window(&dialogs);
    dialogs.setOwner(&window);
    window.show();

    int failures = 0;
    // Let the window be mapped and painted once before the run starts.
    QTimer::singleShot(500, &window, [&] {
        if (!window.LoadJob(job)) {
            std::fprintf(stderr, "could not read the job %s\n", qPrintable(job));
            QApplication::exit(1);
            return;
        }
        const ScanLocationList locations = window.Locations();
        dialogs.folder = locations.empty() ? QDir::homePath() : locations.front().path;
        window.Scan();
        failures += !Save(window, out.filePath(QStringLiteral("main-window.png")));

        FolderFrm folder(dialogs, &window);
        folder.Option2->setChecked(true);
        if (QTreeWidgetItem* mp3 = folder.FType->topLevelItem(0))
            mp3->setCheckState(0, Qt::Checked);
        failures += !ShowAndSave(folder, out.filePath(QStringLiteral("folder-dialog.png")));

        // A private list with an entry on each page, so the picture shows what it holds.
        const QString list = out.filePath(QStringLiteral(".screenshot-exclusion.lst"));
        {
            QFile file(list);
            if (file.open(QIODevice::WriteOnly)) {
                file.write("Thumbs.db\r\ndesktop.ini\r\n<<Folder List Start Here>>\r\n" +
                           QFile::encodeName(dialogs.folder) +
                           "/Photos\r\n<<Extension List Start Here>>\r\n*.tmp\r\n*.bak\r\n");
            }
        }
        ExcludeFrm exclude(dialogs, list, &window);
        failures += !ShowAndSave(exclude, out.filePath(QStringLiteral("exclusion-dialog.png")));
        QFile::remove(list);

        SettingsFrm settings(dialogs, &window);
        failures += !ShowAndSave(settings, out.filePath(QStringLiteral("settings-dialog.png")));

        if (args.size() == 8) {
            dialogs.pdf = args[3];
            dialogs.margins =
                PageMargins{args[4].toInt(), args[5].toInt(), args[6].toInt(), args[7].toInt()};
            // The detailed list shows what printing must keep: indents, long lines, pages.
            window.SelectReportType(ReportType::ListInDetails);
            window.Scan();
            window.PageSetup();
            window.Print();
            const bool printed = QFile::exists(dialogs.pdf);
            std::fprintf(stderr, "%s %s\n", printed ? "printed" : "could not print",
                         qPrintable(dialogs.pdf));
            failures += !printed;
        }
        window.close();
        QApplication::exit(failures == 0 ? 0 : 1);
    });
    return QApplication::exec();
}
