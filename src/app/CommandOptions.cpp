#include "app/CommandOptions.h"

#include <QStringList>

namespace quillon {

namespace {

constexpr CommandOption kOptions[] = {
    {OptionId::Report, "--report", "", "JOB|FOLDER...", OptionValue::Path, "",
     "report without the window",
     "without the window: run the job file JOB (.qjb), or scan the folders FOLDER with "
     "the window's report settings and exclusion list, and lay out the report; the "
     "options below override the job's fields (any path that is not a folder names "
     "the job file, except saved JSON listings: a path ending in \".json\" is read in "
     "place of a scan, several give one report, and with -o NAME.json they merge)"},
    {OptionId::Output, "--output", "-o", "FILE", OptionValue::Path, "", "file to write",
     "write to FILE what its name asks for: a name ending in \".pdf\" the report as "
     "printed, in \".csv\" or \".json\" a listing of every file and folder, in "
     "\".html\" the web page to browse (as --format html); else the report as plain text "
     "when the name holds \".txt\", rich text for \".rtf\", the report's web page for "
     "\".htm\"; \"-\" is standard output; without -o the report is printed as plain text"},
    {OptionId::Format, "--format", "", "KIND", OptionValue::Choice, "txt rtf htm csv json pdf html",
     "what to write",
     "write KIND (txt, rtf, htm, csv, json, pdf or html) whatever the output's name; to "
     "standard output when there is no -o or it is \"-\"; html is a web page to browse: the "
     "scan as folding folders and as a table sorted by any column, with a filter box, in one "
     "file that needs no network"},
    {OptionId::Type, "--type", "", "TYPE", OptionValue::Choice, "details tree sizes folders",
     "report type",
     "the report type: details (List In Details, the default), tree (Tree view), sizes "
     "(Tree view with file size) or folders (Folder list)"},
    {OptionId::Sort, "--sort", "", "KEY", OptionValue::Choice, "name size date", "sort key",
     "sort List In Details by name (the default), size or date"},
    {OptionId::Descending, "--descending", "", "", OptionValue::None, "", "sort descending",
     "sort from the last to the first"},
    {OptionId::Ascending, "--ascending", "", "", OptionValue::None, "", "sort ascending",
     "sort from the first to the last (the default; overrides a job's order)"},
    {OptionId::Depth, "--depth", "", "N", OptionValue::Choice, "all", "how many levels deep",
     "scan sub-folders N levels deep (1 to 32767; 0 or \"all\", the default, for no "
     "limit)"},
    {OptionId::NoSubfolders, "--no-subfolders", "", "", OptionValue::None, "",
     "only the folders themselves", "scan only the folders named, not their sub-folders"},
    {OptionId::Types, "--types", "", "PATTERNS", OptionValue::Text, "", "file types to list",
     "list only files of these types, separated by \";\" (\"*.mp3;*.flac\"); folders are "
     "still walked; \"*.*\", the default, lists every file"},
    {OptionId::Font, "--font", "", "NAME", OptionValue::Text, "", "font of the report",
     "the report's font (Courier New by default)"},
    {OptionId::Size, "--size", "", "N", OptionValue::Text, "", "font size in points",
     "the font size in points (1 to 999; 10 by default)"},
    {OptionId::Summary, "--summary", "", "KINDS", OptionValue::Choice, "top types duplicates all",
     "summaries of the scan",
     "after the report, the summaries KINDS (top, types, duplicates or all, separated by "
     "commas): the largest files, totals by file type, files of equal size and CRC32; in a "
     "JSON listing before the entries, as a CSV file the summaries alone"},
    {OptionId::SummaryAlone, "--summary-alone", "", "", OptionValue::None, "",
     "the summaries without the report",
     "write the summaries in place of the report's lines (a JSON listing without entries)"},
    {OptionId::Top, "--top", "", "N", OptionValue::Text, "", "how many largest files",
     "the top summary lists the N largest files (1 to 100000; 20 by default)"},
    {OptionId::SameBytes, "--same-bytes", "", "", OptionValue::None, "",
     "duplicates compared byte for byte",
     "the duplicates summary also compares files of equal size and CRC32 byte for byte"},
    {OptionId::Compare, "--compare", "", "A B", OptionValue::Path, "",
     "compare two folders or listings",
     "compare two folders (scanned now) or JSON listings and list what was added, "
     "removed, changed, moved or renamed; -o as above, but no \".pdf\"; exit status 0 "
     "same, 1 different, 2 trouble"},
    {OptionId::Job, "--job", "", "JOB", OptionValue::Path, "", "job whose settings to use",
     "with --compare: scan with the first location's sub-folder, level and filter "
     "settings and the job's font"},
    {OptionId::Crc, "--crc", "", "", OptionValue::None, "", "compare checksums",
     "with --compare: compare the CRC32 of scanned files, which also finds files moved "
     "or renamed"},
    {OptionId::Threads, "--threads", "", "N", OptionValue::Text, "", "threads reading folders",
     "read folders on N threads (1 to 64; 1 reads them one after the other); by default "
     "the number is chosen by the disk, and the report is the same either way"},
    {OptionId::Help, "--help", "-h", "", OptionValue::None, "", "show the help", "show this help"},
    {OptionId::Version, "--version", "", "", OptionValue::None, "", "show the version",
     "show the version number"},
};

QStringList Wrapped(const QString& text, qsizetype width)
{
    QStringList lines;
    QString line;
    for (const QString& word : text.split(QLatin1Char(' '))) {
        if (!line.isEmpty() && line.size() + 1 + word.size() > width) {
            lines += line;
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    lines += line;
    return lines;
}

QString Latin(const char* text)
{
    return QString::fromLatin1(text);
}

// Roff takes "-" as a hyphen; options want the minus sign.
QString Roff(const QString& text)
{
    QString out = text;
    out.replace(QLatin1Char('\\'), QLatin1String("\\e"));
    out.replace(QLatin1Char('-'), QLatin1String("\\-"));
    return out;
}

QString Names(const CommandOption& option)
{
    return *option.shortName ? Latin(option.shortName) + QStringLiteral(", ") + Latin(option.name)
                             : Latin(option.name);
}

// Inside the single quotes of a zsh or fish script.
QString Quoted(const char* text, bool zshBrackets)
{
    QString out = Latin(text);
    out.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    if (zshBrackets) {
        out.replace(QLatin1Char('['), QLatin1String("\\["));
        out.replace(QLatin1Char(']'), QLatin1String("\\]"));
        out.replace(QLatin1Char(':'), QLatin1String("\\:"));
    }
    return out;
}

const char* const kGenerated = "generated from quillon's option table "
                               "(src/app/CommandOptions.cpp); a test keeps them equal";

QString BashScript()
{
    QString text = QStringLiteral("# bash completion for quillon: %1\n"
                                  "_quillon()\n{\n"
                                  "    local cur=${COMP_WORDS[COMP_CWORD]}\n"
                                  "    local prev=${COMP_WORDS[COMP_CWORD-1]}\n"
                                  "    case $prev in\n")
                       .arg(Latin(kGenerated));
    QStringList all;
    for (const CommandOption& option : kOptions) {
        all += Latin(option.name);
        if (*option.shortName)
            all += Latin(option.shortName);
        if (!*option.argument)
            continue;
        QString names = Latin(option.name);
        if (*option.shortName)
            names += QLatin1Char('|') + Latin(option.shortName);
        text += QStringLiteral("    %1)\n").arg(names);
        switch (option.value) {
        case OptionValue::Path:
            text += QStringLiteral("        COMPREPLY=($(compgen -f -- \"$cur\"))\n");
            break;
        case OptionValue::Choice:
            text += QStringLiteral("        COMPREPLY=($(compgen -W '%1' -- \"$cur\"))\n")
                        .arg(Latin(option.choices));
            break;
        case OptionValue::Text:
        case OptionValue::None:
            text += QStringLiteral("        COMPREPLY=()\n");
            break;
        }
        text += QStringLiteral("        return ;;\n");
    }
    text += QStringLiteral("    esac\n"
                           "    if [[ $cur == -* ]]; then\n"
                           "        COMPREPLY=($(compgen -W '%1' -- \"$cur\"))\n"
                           "    else\n"
                           "        COMPREPLY=($(compgen -f -- \"$cur\"))\n"
                           "    fi\n"
                           "}\n"
                           "complete -o filenames -F _quillon quillon\n")
                .arg(all.join(QLatin1Char(' ')));
    return text;
}

QString ZshScript()
{
    QString text = QStringLiteral("#compdef quillon\n# zsh completion for quillon: %1\n"
                                  "_arguments -s \\\n")
                       .arg(Latin(kGenerated));
    for (const CommandOption& option : kOptions) {
        QString action;
        const QString argument = Quoted(option.argument, false).toLower();
        switch (option.value) {
        case OptionValue::Path:
            action = QStringLiteral(":%1:_files").arg(argument);
            break;
        case OptionValue::Choice:
            action = QStringLiteral(":%1:(%2)").arg(argument, Latin(option.choices));
            break;
        case OptionValue::Text:
            action = QStringLiteral(":%1: ").arg(argument);
            break;
        case OptionValue::None:
            break;
        }
        const QString described =
            QStringLiteral("[%1]%2").arg(Quoted(option.summary, true), action);
        if (*option.shortName)
            text += QStringLiteral("    '(%1 %2)'{%1,%2}'%3' \\\n")
                        .arg(Latin(option.shortName), Latin(option.name), described);
        else
            text += QStringLiteral("    '%1%2' \\\n").arg(Latin(option.name), described);
    }
    text += QStringLiteral("    '*:job file or folder:_files'\n");
    return text;
}

QString FishScript()
{
    QString text = QStringLiteral("# fish completion for quillon: %1\n").arg(Latin(kGenerated));
    for (const CommandOption& option : kOptions) {
        QString line = QStringLiteral("complete -c quillon");
        if (*option.shortName)
            line += QStringLiteral(" -s ") + Latin(option.shortName).mid(1);
        line += QStringLiteral(" -l ") + Latin(option.name).mid(2);
        switch (option.value) {
        case OptionValue::Path:
            line += QStringLiteral(" -r -F");
            break;
        case OptionValue::Choice:
            line += QStringLiteral(" -x -a '%1'").arg(Latin(option.choices));
            break;
        case OptionValue::Text:
            line += QStringLiteral(" -x");
            break;
        case OptionValue::None:
            break;
        }
        text += line + QStringLiteral(" -d '%1'\n").arg(Quoted(option.summary, false));
    }
    return text;
}

} // namespace

std::span<const CommandOption> CommandOptions()
{
    return kOptions;
}

const CommandOption& OptionOf(OptionId id)
{
    for (const CommandOption& option : kOptions) {
        if (option.id == id)
            return option;
    }
    return kOptions[0]; // not reached: every id has its row
}

QString OptionsUsage()
{
    constexpr qsizetype kIndent = 19;
    QString text;
    for (const CommandOption& option : kOptions) {
        QString head = QStringLiteral("  ");
        if (!*option.shortName)
            head += QStringLiteral("    ");
        head += Names(option);
        if (*option.argument)
            head += QLatin1Char(' ') + Latin(option.argument);
        const QStringList lines = Wrapped(Latin(option.help), 78 - kIndent);
        if (head.size() + 1 > kIndent)
            text += head + QLatin1Char('\n') + QString(kIndent, QLatin1Char(' '));
        else
            text += head.leftJustified(kIndent);
        text +=
            lines.join(QLatin1Char('\n') + QString(kIndent, QLatin1Char(' '))) + QLatin1Char('\n');
    }
    return text;
}

QString ManPageOptions()
{
    QString text = QStringLiteral(".SH OPTIONS\n");
    for (const CommandOption& option : kOptions) {
        QString tag;
        if (*option.shortName)
            tag = QStringLiteral("\\fB%1\\fR, ").arg(Roff(Latin(option.shortName)));
        tag += QStringLiteral("\\fB%1\\fR").arg(Roff(Latin(option.name)));
        if (*option.argument)
            tag += QStringLiteral(" \\fI%1\\fR").arg(Roff(Latin(option.argument)));
        QString help = Roff(Latin(option.help));
        help[0] = help[0].toUpper();
        text += QStringLiteral(".TP\n%1\n%2.\n").arg(tag, Wrapped(help, 78).join('\n'));
    }
    return text;
}

QString CompletionScript(Shell shell)
{
    switch (shell) {
    case Shell::Bash:
        return BashScript();
    case Shell::Zsh:
        return ZshScript();
    case Shell::Fish:
        break;
    }
    return FishScript();
}

} // namespace quillon
