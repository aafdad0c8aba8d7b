#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QString>
#include <functional>
#include <optional>

class QFile;
class QSaveFile;

namespace quillon {

/// Turns the staging file of the last report into a web page, line by line, without reading
/// the report pane. Both files are single-byte Windows-1252 with CR LF line ends; the page is
/// written through a temporary file, so an old page stays whole when the export fails.
///
///     HtmlExport exporter(stagingPath, pagePath);
///     exporter.setFont(font.name, font.sizeText);
///     exporter.setProgress([&](int value, int maximum) { ... }, paneLineCount);
///     if (!exporter.run())
///         tell(exporter.errorString());
class HtmlExport {
public:
    HtmlExport(QString stagingPath, QString pagePath);

    /// The report font for the page's style sheet; both texts are made safe before use.
    void setFont(const QString& name, const QString& sizeText);
    /// Called once per staging line with the progress bar's value and maximum. The value
    /// starts at 1 and never passes maximum (the report pane's line count).
    void setProgress(std::function<void(int value, int maximum)> progress, int maximum);
    /// Called once per staging line before the cancel flag is looked at (the window lets its
    /// events run there; batch mode checks for an interrupt).
    void setYield(std::function<void()> yield);

    /// Stops the export before its next line (the Cancel button). The page then holds the
    /// header and the lines written so far, and run() still returns true.
    void cancel() { m_cancel = true; }
    bool cancelled() const { return m_cancel; }
    /// Stops the export before its next line and drops the new page (batch mode's Ctrl+C):
    /// run() then returns false, and any earlier file at the page's path stays as it was.
    void abandon() { m_abandon = true; }

    /// Clears the cancel flag and writes the page. Returns false when the staging file cannot
    /// be read or the page cannot be written; errorString() then says why and any earlier
    /// file at the page's path is left as it was.
    bool run();

    const QString& errorString() const { return m_error; }
    /// Staging lines read by the last run (the header and closing lines included).
    qint64 linesRead() const { return m_linesRead; }

private:
    bool stagingUnreadable(const QFile& staging, QSaveFile& page);
    bool copyLines(QFile& staging, QSaveFile& page, bool unicode, bool& written);

    QString m_stagingPath;
    QString m_pagePath;
    QString m_fontName = QStringLiteral("Courier New");
    QString m_fontSize = QStringLiteral("10");
    std::function<void(int, int)> m_progress;
    std::function<void()> m_yield;
    int m_maximum = 0;
    bool m_cancel = false;
    bool m_abandon = false;
    QString m_error;
    qint64 m_linesRead = 0;
};

/// Undoes the report's escaping for the page: "\\", "\{" and "\}" become the character
/// after the backslash; "&" becomes "&amp;" (so a name holding "&lt;" shows as written); every
/// blank becomes "&nbsp;" so the tree drawing and columns keep their runs of blanks.
/// With unicode (a report whose names were kept whole), "\\uN?" escapes and code-page bytes
/// become UTF-8, "<", ">" and quotes in them entities.
QByteArray HtmlText(QByteArrayView text, bool unicode = false);

/// True when the staging file holds \\u escapes (names kept whole); reads the device to its end.
bool StagingHoldsUnicode(QIODevice& staging);

/// The page line for one staging line (without its line end), or nothing when the line is
/// dropped. headerLine: it is the staging file's first line; closingLine: it is the last line.
/// Only a first line that opens the document and a last line that closes it are dropped, so
/// a name holding "}" keeps its line.
std::optional<QByteArray> HtmlLineFor(QByteArrayView line, bool headerLine, bool closingLine,
                                      bool unicode = false);

/// The ten lines that open the page (without line ends). The font name and size text are
/// cleaned like the rich-text header's font name, so they cannot leave the style sheet.
/// With unicode the lines are UTF-8 and the first declares the charset.
QList<QByteArray> HtmlPageHeader(const QString& fontName, const QString& fontSize,
                                 bool unicode = false);

} // namespace quillon
