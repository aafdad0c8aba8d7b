// The report pane's editing commands: undo and redo over the edit history, the clipboard
// commands, the formatting bar's toggles, the context menu and find and replace.
#include "app/MainFrm.h"

#include "app/BuildAside.h"
#include "app/CentreWindow.h"
#include "app/ReportPane.h"
#include "app/findFrm.h"
#include "output/EditHistory.h"
#include "platform/ThrottledYield.h"
#include "rtf/CompactText.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolBar>
#include <QTreeWidget>

namespace quillon {

namespace {

// Whether every character of the selection has the attribute; the format at the insertion
// point when nothing is selected.
struct SelectionFormat {
    bool bold = true;
    bool italic = true;
    bool underline = true;
};

SelectionFormat FormatThroughout(const QTextEdit& pane)
{
    const QTextCursor cursor = pane.textCursor();
    SelectionFormat result;
    auto take = [&result](const QTextCharFormat& format) {
        result.bold = result.bold && format.fontWeight() >= QFont::Bold;
        result.italic = result.italic && format.fontItalic();
        result.underline = result.underline && format.fontUnderline();
        return result.bold || result.italic || result.underline;
    };
    if (!cursor.hasSelection()) {
        take(pane.currentCharFormat());
        return result;
    }
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    const QTextDocument* document = pane.document();
    // Runs of one format, not characters, are visited; the walk ends once nothing is left on.
    for (QTextBlock block = document->findBlock(start); block.isValid() && block.position() < end;
         block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.position() + fragment.length() <= start)
                continue;
            if (fragment.position() >= end)
                break;
            if (!take(fragment.charFormat()))
                return result;
        }
    }
    return result;
}

} // namespace

void MainFrm::BuildEditing()
{
    m_history = std::make_unique<EditHistory>(
        [this](QTextDocument* document) {
            rTxt->setDocument(document);
            rTxt->setLineWrapMode(QTextEdit::NoWrap);
            static_cast<ReportPane*>(rTxt)->PaceLayout();
        },
        [this](const CompactText& text) {
            // Undo to an earlier report builds it again from its compact text; repaints and
            // timers go on meanwhile, but no input, so no second command starts halfway.
            return ExpandDocument(text, rTxt->font(), ThrottledYield(20, false));
        });
    m_history->SetYield(ThrottledYield(20, false));
    m_history->Current()->setDefaultFont(rTxt->font());
    connect(rTxt, &QTextEdit::textChanged, this, [this] {
        UpdateToggles();
        m_history->RecordChange();
    });
    connect(m_history.get(), &EditHistory::restored, this, &MainFrm::UpdateToggles);

    rTxt->installEventFilter(this);
    rTxt->viewport()->installEventFilter(this);
    SearchList->installEventFilter(this);
    rTxt->setContextMenuPolicy(Qt::NoContextMenu);

    // The edit keys act window-wide, as menu shortcuts do: Ctrl+Z right after a scan (the focus
    // in the location list) undoes. Inside the pane the filter below takes them first, and a
    // text box elsewhere keeps its own keys (it claims them before any shortcut).
    connect(mnuUndo, &QAction::triggered, this, &MainFrm::Undo);
    connect(mnuRedo, &QAction::triggered, this, &MainFrm::Redo);
    connect(mnuCut, &QAction::triggered, this, &MainFrm::CutText);
    connect(mnuCopy, &QAction::triggered, this, &MainFrm::CopyText);
    connect(mnuPaste, &QAction::triggered, this, &MainFrm::PasteText);
    connect(mnuDelete, &QAction::triggered, this, &MainFrm::DeleteText);
    connect(mnuSelect, &QAction::triggered, this, &MainFrm::SelectAllText);
    connect(mnuFind, &QAction::triggered, this, &MainFrm::ShowFind);
    connect(mnuFindReplace, &QAction::triggered, this, &MainFrm::ShowFind);

    connect(m_findButton, &QAction::triggered, this, &MainFrm::ShowFind);
    connect(m_undoButton, &QAction::triggered, this, &MainFrm::Undo);
    connect(m_redoButton, &QAction::triggered, this, &MainFrm::Redo);
    // The tool bar's buttons take no focus; their keys make the formatting reachable without a
    // mouse. They act on the pane wherever the focus is, as the edit keys do.
    m_boldAction->setShortcut(QKeySequence::Bold);
    m_italicAction->setShortcut(QKeySequence::Italic);
    m_underlineAction->setShortcut(QKeySequence::Underline);
    for (QAction* toggle : {m_boldAction, m_italicAction, m_underlineAction}) {
        toggle->setShortcutContext(Qt::WindowShortcut);
        connect(toggle, &QAction::triggered, this, [this, toggle] { ApplyToggle(toggle); });
    }
    connect(m_colourButton, &QAction::triggered, this, &MainFrm::ChooseColour);
}

void MainFrm::ReplacePaneDocument(std::unique_ptr<QTextDocument> document,
                                  std::shared_ptr<const CompactText> source)
{
    m_history->ReplaceDocument(std::move(document), std::move(source));
    UpdateToggles();
}

namespace {

// The edit command a key stands for in the pane, by its place in eventFilter's table; -1 none.
int PaneCommandOf(const QKeyEvent* key)
{
    if (key->matches(QKeySequence::Undo))
        return 0;
    if (key->matches(QKeySequence::Redo) ||
        key->keyCombination() == QKeyCombination(Qt::CTRL, Qt::Key_Y))
        return 1;
    if (key->matches(QKeySequence::Copy))
        return 2;
    if (key->matches(QKeySequence::Cut))
        return 3;
    if (key->matches(QKeySequence::Paste))
        return 4;
    return key->matches(QKeySequence::SelectAll) ? 5 : -1;
}

} // namespace

bool MainFrm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == rTxt &&
        (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)) {
        // The pane's own keys would bypass the history and copy formatting: the window's
        // commands take them.
        auto* key = static_cast<QKeyEvent*>(event);
        void (MainFrm::*const commands[])() = {&MainFrm::Undo,      &MainFrm::Redo,
                                               &MainFrm::CopyText,  &MainFrm::CutText,
                                               &MainFrm::PasteText, &MainFrm::SelectAllText};
        if (const int index = PaneCommandOf(key); index >= 0) {
            const auto command = commands[index];
            if (event->type() == QEvent::ShortcutOverride)
                event->accept(); // the key comes to the pane, where the filter takes it
            else if (mnuEdit->menuAction()->isEnabled())
                (this->*command)();
            return true;
        }
        // Some desktops' key schemes give Ctrl+U to the pane itself (delete the line).
        QAction* toggle = key->matches(QKeySequence::Bold)        ? m_boldAction
                          : key->matches(QKeySequence::Italic)    ? m_italicAction
                          : key->matches(QKeySequence::Underline) ? m_underlineAction
                                                                  : nullptr;
        if (toggle) {
            if (event->type() == QEvent::ShortcutOverride)
                event->accept();
            else if (toggle->isEnabled())
                toggle->trigger();
            return true;
        }
    }
    if (watched == SearchList &&
        (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Delete)) {
        // Del in the location list removes the location; the report's Delete must not take
        // the key and cut text out of a pane the user is not looking at.
        if (event->type() == QEvent::ShortcutOverride)
            event->accept();
        else
            RemoveFolder();
        return true;
    }
    if (watched == rTxt && event->type() == QEvent::KeyRelease)
        UpdateToggles();
    if (watched == rTxt->viewport() && event->type() == QEvent::MouseButtonRelease) {
        UpdateToggles();
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            mnuEdit->popup(mouse->globalPosition().toPoint());
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainFrm::Undo()
{
    m_history->Undo();
}

void MainFrm::Redo()
{
    m_history->Redo();
}

void MainFrm::CopyText()
{
    const QTextCursor cursor = rTxt->textCursor();
    if (!cursor.hasSelection())
        return;
    // Plain text only: paragraph marks as new lines, no formatting.
    QString text = cursor.selectedText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    if (QClipboard* clipboard = QGuiApplication::clipboard()) {
        clipboard->clear();
        clipboard->setText(text);
    }
}

void MainFrm::CutText()
{
    if (!rTxt->textCursor().hasSelection())
        return;
    CopyText();
    DeleteText();
}

void MainFrm::DeleteText()
{
    QTextCursor cursor = rTxt->textCursor();
    if (!cursor.hasSelection())
        return;
    cursor.removeSelectedText();
    rTxt->setTextCursor(cursor);
}

void MainFrm::PasteText()
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    const QString text = clipboard ? clipboard->text() : QString();
    if (text.isEmpty())
        return;
    // The text takes the format at the insertion point, as typing would.
    QTextCursor cursor = rTxt->textCursor();
    cursor.insertText(text);
    rTxt->setTextCursor(cursor);
}

void MainFrm::SelectAllText()
{
    rTxt->selectAll();
    UpdateToggles();
}

void MainFrm::UpdateToggles()
{
    const SelectionFormat format = FormatThroughout(*rTxt);
    m_boldAction->setChecked(format.bold);
    m_italicAction->setChecked(format.italic);
    m_underlineAction->setChecked(format.underline);
}

void MainFrm::ApplyToggle(QAction* toggle)
{
    const bool on = toggle->isChecked();
    QTextCharFormat format;
    if (toggle == m_boldAction)
        format.setFontWeight(on ? QFont::Bold : QFont::Normal);
    else if (toggle == m_italicAction)
        format.setFontItalic(on);
    else
        format.setFontUnderline(on);
    rTxt->mergeCurrentCharFormat(format);
}

void MainFrm::ShowFind()
{
    findFrm form(rTxt, *m_dialogs, this);
    if (m_yieldHook)
        form.yield = m_yieldHook;
    CentreWindow(&form);
    form.exec();
}

} // namespace quillon
