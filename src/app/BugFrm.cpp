#include "app/BugFrm.h"

#include "app/Dialogs.h"
#include "app/WidgetNames.h"
#include "platform/ProgramNames.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace quillon {

namespace {

// The maker's support address.
constexpr char kSupportEmail[] = "support@quillon.tessaly.net";

const QString kApology =
    QStringLiteral("We are very sorry for the inconvenience and we would like to provide a fix for "
                   "this error. You may help us a great deal by reporting this error via email. "
                   "please fill the text box below and press the Send Error Report button. Thanks "
                   "for your time.");

const QString kPlaceholder =
    QStringLiteral("< Please describe here what you were doing exactly when this error occurred >");

QLabel* ValueLabel(const QString& name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setWordWrap(true);
    return label;
}

} // namespace

BugFrm::BugFrm(Dialogs& dialogs, QWidget* parent) : QDialog(parent), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("BugFrm"));
    setWindowTitle(QStringLiteral("Bug Report"));
    setModal(true);

    BuildMessage();
    QGridLayout* const grid = BuildErrorGrid();
    Text1 = Named(new QPlainTextEdit(kPlaceholder, this), "Text1");
    QHBoxLayout* const buttons = BuildButtons();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblmsg1);
    layout->addWidget(lblmsg2);
    layout->addLayout(grid);
    layout->addWidget(Text1, 1);
    layout->addLayout(buttons);
    resize(520, 420);
}

void BugFrm::BuildMessage()
{
    lblmsg1 = Named(
        new QLabel(QStringLiteral("Please tell %1 about this problem.").arg(kMakerName), this),
        "lblmsg1");
    QFont bold = lblmsg1->font();
    bold.setBold(true);
    lblmsg1->setFont(bold);

    lblmsg2 = Named(new QLabel(kApology, this), "lblmsg2");
    lblmsg2->setWordWrap(true);
}

// The error's number, description, procedure and line, each after its caption.
QGridLayout* BugFrm::BuildErrorGrid()
{
    lblErrNo = ValueLabel(QStringLiteral("lblErrNo"), this);
    lblErrDesc = ValueLabel(QStringLiteral("lblErrDesc"), this);
    lblErrPro = ValueLabel(QStringLiteral("lblErrPro"), this);
    lblErrLine = ValueLabel(QStringLiteral("lblErrLine"), this);

    auto* grid = new QGridLayout;
    const QString captions[] = {QStringLiteral("Error No"), QStringLiteral("Description"),
                                QStringLiteral("Procedure"), QStringLiteral("Error Line")};
    QLabel* values[] = {lblErrNo, lblErrDesc, lblErrPro, lblErrLine};
    for (int row = 0; row < 4; ++row) {
        grid->addWidget(new QLabel(captions[row], this), row, 0);
        grid->addWidget(new QLabel(QStringLiteral(":"), this), row, 1);
        grid->addWidget(values[row], row, 2);
    }
    grid->setColumnStretch(2, 1);
    return grid;
}

QHBoxLayout* BugFrm::BuildButtons()
{
    Command1 = Named(new QPushButton(QStringLiteral("Retry"), this), "Command1");
    Command2 = Named(new QPushButton(QStringLiteral("Abort"), this), "Command2");
    Command3 = Named(new QPushButton(QStringLiteral("Send Error Report"), this), "Command3");
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, [this] {
        m_returnCode = 1;
        accept();
    });
    connect(Command2, &QPushButton::clicked, this, [this] {
        m_returnCode = 2;
        reject();
    });
    connect(Command3, &QPushButton::clicked, this, &BugFrm::SendErrorReport);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    buttons->addStretch(1);
    buttons->addWidget(Command3);
    return buttons;
}

void BugFrm::SetReport(const ErrorReport& report)
{
    lblErrNo->setText(QString::number(report.number));
    lblErrDesc->setText(report.description);
    lblErrPro->setText(report.procedure);
    lblErrLine->setText(QString::number(report.line));
}

ErrorChoice BugFrm::Ask(const ErrorReport& report)
{
    SetReport(report);
    m_returnCode = 0;
    exec();
    return m_returnCode == 1 ? ErrorChoice::Retry : ErrorChoice::Abort;
}

QString BugFrm::ReportText() const
{
    const QString crlf = QStringLiteral("\r\n");
    QString account = Text1->toPlainText();
    account.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    account.replace(QLatin1Char('\n'), crlf);
    return QStringLiteral("Error No    : ") + lblErrNo->text() + crlf +
           QStringLiteral("Description : ") + lblErrDesc->text() + crlf +
           QStringLiteral("Procedure   : ") + lblErrPro->text() + crlf +
           QStringLiteral("Error Line  : ") + lblErrLine->text() + crlf +
           QStringLiteral("Product     : ") + kProgramName + crlf +
           QStringLiteral("Version     : " QUILLON_VERSION) + crlf +
           QStringLiteral("Build       : " QUILLON_VERSION) + crlf + crlf + account;
}

QString BugFrm::MailUrl()
{
    return QStringLiteral("mailto:") + QString::fromUtf8(kSupportEmail) +
           QStringLiteral("?subject=Bug Report&body=Please paste the contents of the clipboard "
                          "below (Press CTRL+V):");
}

void BugFrm::SendErrorReport()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(ReportText());
    m_dialogs.ShowMessage(QStringLiteral("Please send the message manually.\r\nFull instructions "
                                         "have been copied to the clipboard.\r\n\r\nThank you."),
                          QStringLiteral("Thank You"), MessageIcon::Exclamation, MessageButtons::Ok,
                          MessageResult::Ok);
    // A missing mail program is not reported: the text is on the clipboard all the same.
    QDesktopServices::openUrl(QUrl(MailUrl()));
}

} // namespace quillon
