#include "app/findFrm.h"

#include "app/Dialogs.h"
#include "app/WidgetNames.h"
#include "platform/ThrottledYield.h"

#include <QAbstractTextDocumentLayout>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>

namespace quillon {

namespace {

// Keeps the timer events of the object it filters from arriving.
class HoldTimers : public QObject {
protected:
    bool eventFilter(QObject*, QEvent* event) override { return event->type() == QEvent::Timer; }
};

} // namespace

findFrm::findFrm(QTextEdit* pane, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), m_pane(pane), m_dialogs(dialogs),
      m_search(std::make_unique<FindReplace>(pane->document()))
{
    setObjectName(QStringLiteral("findFrm"));
    setWindowTitle(QStringLiteral("Find and Replace"));
    setModal(true);
    yield = ThrottledYield();

    Label1 = Named(new QLabel(QStringLiteral("Find what"), this), "Label1");
    Text1 = Named(new QLineEdit(this), "Text1");
    Label2 = Named(new QLabel(QStringLiteral("Replace with"), this), "Label2");
    Text2 = Named(new QLineEdit(this), "Text2");
    Label1->setBuddy(Text1);
    Label2->setBuddy(Text2);
    Check1 = Named(new QCheckBox(QStringLiteral("Case sensitive"), this), "Check1");
    Check2 = Named(new QCheckBox(QStringLiteral("Whole word only"), this), "Check2");
    FindButton = Named(new QPushButton(QStringLiteral("Find Next"), this), "FindButton");
    ReplaceButton = Named(new QPushButton(QStringLiteral("Replace"), this), "ReplaceButton");
    ReplaceAllButton =
        Named(new QPushButton(QStringLiteral("Replace All"), this), "ReplaceAllButton");
    Command5 = Named(new QPushButton(QStringLiteral("Cancel"), this), "Command5");
    FindButton->setDefault(true);
    for (QPushButton* button : {ReplaceButton, ReplaceAllButton, Command5})
        button->setAutoDefault(false);

    auto* fields = new QGridLayout;
    fields->addWidget(Label1, 0, 0);
    fields->addWidget(Text1, 0, 1);
    fields->addWidget(Label2, 1, 0);
    fields->addWidget(Text2, 1, 1);
    fields->addWidget(Check1, 2, 1);
    fields->addWidget(Check2, 3, 1);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {FindButton, ReplaceButton, ReplaceAllButton, Command5})
        buttons->addWidget(button);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(fields, 1);
    layout->addLayout(buttons);
    resize(440, 150);

    connect(FindButton, &QPushButton::clicked, this, &findFrm::FindButton_Click);
    connect(ReplaceButton, &QPushButton::clicked, this, &findFrm::ReplaceButton_Click);
    connect(ReplaceAllButton, &QPushButton::clicked, this, &findFrm::ReplaceAllButton_Click);
    connect(Command5, &QPushButton::clicked, this, &findFrm::Command5_Click);
}

findFrm::~findFrm() = default;

void findFrm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    Text1->setFocus();
}

void findFrm::ReadOptions()
{
    FindOptions options;
    options.matchCase = Check1->isChecked();
    options.wholeWord = Check2->isChecked();
    m_search->SetOptions(options);
}

void findFrm::Select(const QTextCursor& cursor)
{
    if (cursor.isNull())
        return;
    m_pane->setTextCursor(cursor);
    m_pane->ensureCursorVisible();
}

void findFrm::FindButton_Click()
{
    if (Text1->text().isEmpty())
        return;
    ReadOptions();
    const QTextCursor found = m_search->FindNext(Text1->text());
    if (!found.isNull()) {
        Select(found);
        ReplaceButton->setEnabled(true);
        ReplaceAllButton->setEnabled(true);
        return;
    }
    m_dialogs.ShowMessage(QStringLiteral("String not found"), QStringLiteral("Search Help"),
                          MessageIcon::None, MessageButtons::Ok, MessageResult::Ok);
}

void findFrm::ReplaceButton_Click()
{
    if (Text1->text().isEmpty())
        return;
    ReadOptions();
    Select(m_search->Replace(m_pane->textCursor(), Text1->text(), Text2->text()));
}

void findFrm::ReplaceAllButton_Click()
{
    if (Text1->text().isEmpty())
        return;
    ReadOptions();
    // The pane's layout follows every change by walking all the blocks after it, which over
    // a long report costs more than the replacements themselves. A null page size makes the
    // layout skip the changes; setting the size back lays the report out once, a step at a
    // time in the background as a newly loaded report is.
    QTextDocument* document = m_pane->document();
    const QSizeF page = document->pageSize();
    m_pane->viewport()->setUpdatesEnabled(false);
    document->setPageSize(QSizeF(0, 0));
    // A layout still going on in the background (a report just shown) would go on between
    // the slices, a step of thousands of lines at a time that the next slices change again:
    // its timers wait until the run ends, when the page size lays the report out anew.
    HoldTimers hold;
    QObject* layout = document->documentLayout();
    layout->installEventFilter(&hold);
    // The pane tells of the run once, at its end, so the window's undo history records the
    // whole run as one change (it sees a change per slice otherwise).
    const bool wasBlocked = m_pane->blockSignals(true);
    const int count = m_search->ReplaceAll(Text1->text(), Text2->text(), [this] {
        if (yield)
            yield();
    });
    m_pane->blockSignals(wasBlocked);
    layout->removeEventFilter(&hold);
    document->setPageSize(page);
    m_pane->viewport()->setUpdatesEnabled(true);
    if (count > 0)
        Q_EMIT m_pane->textChanged();
}

void findFrm::Command5_Click()
{
    m_search->Stop();
    QDialog::reject();
}

void findFrm::reject()
{
    // Escape and the close box cancel as the Cancel button does, also during Replace All.
    Command5_Click();
}

} // namespace quillon
