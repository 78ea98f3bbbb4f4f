#include "customers_mail/customer_entry_window.h"

#include "customers_mail/customer_records.h"
#include "data_store/data_store.h"
#include "data_store/values.h"
#include "platform/aid_opener.h"
#include "platform/app_context.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include "ui_customer_entry_window.h"
#include "widgets/click_widgets.h"
#include "widgets/screen_fit.h"

#include <QShortcut>

namespace khgl {
namespace {

// Names, e-mail addresses and product names hold at most 48 characters.
constexpr qsizetype kMaxCharacters = 48;
constexpr int kAidGapTwips = 500;

} // namespace

CustomerEntryWindow::CustomerEntryWindow(AppContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window), m_context(context),
      m_ui(std::make_unique<Ui::CustomerEntryWindow>())
{
    m_ui->setupUi(this);
    // Only the main window ends the program: closing this one while the main window waits in
    // the notification area must not.
    setAttribute(Qt::WA_QuitOnClose, false);
    screen_fit::fitFixedWindow(this);
    m_ui->Label1->setCursor(Qt::PointingHandCursor);

    limitLength(m_ui->Text1, tooLongText());
    limitLength(m_ui->Text3, tooLongText());
    limitLength(m_ui->Text5, productTooLongText());
    keepNumeric(m_ui->Text6);
    keepNumeric(m_ui->Text7);

    m_context.inputAids.registerDateBox(kDateCode, m_ui->Text4);
    m_context.inputAids.registerAmountBox(kAmountCode, m_ui->Text8);
    connect(m_ui->Text4, &ClickLineEdit::clicked, this,
            [this] { openCalendar(AidOpener::Opening::ByCommand); });
    connect(m_ui->Text4, &QLineEdit::textEdited, this,
            [this] { openCalendar(AidOpener::Opening::WhileTyping); });
    connect(m_ui->Text8, &ClickLineEdit::clicked, this,
            [this] { openCalculator(AidOpener::Opening::ByCommand); });
    connect(m_ui->Text8, &QLineEdit::textEdited, this,
            [this] { openCalculator(AidOpener::Opening::WhileTyping); });
    connect(m_ui->Label1, &ClickLabel::clicked, this, &CustomerEntryWindow::save);
    // Esc closes an open aid first, then the window, as the query windows do; typed text is
    // not thrown away without a question.
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            &CustomerEntryWindow::escape);
    m_savedTexts = allTexts();
    // Enter walks the customer frame, then the goods frame; the additional information takes
    // Enter as a line break and is reached with Tab.
    new EnterMovesOn({m_ui->Text1, m_ui->Text2, m_ui->Text3, m_ui->Text10, m_ui->Text11,
                      m_ui->Text4, m_ui->Text5, m_ui->Text6, m_ui->Text7, m_ui->Text8, m_ui->Text9},
                     m_ui->Label1);
}

CustomerEntryWindow::~CustomerEntryWindow() = default;

std::vector<QLineEdit*> CustomerEntryWindow::boxesInTableOrder() const
{
    return {m_ui->Text1, m_ui->Text2, m_ui->Text3, m_ui->Text4,  m_ui->Text5, m_ui->Text6,
            m_ui->Text7, m_ui->Text8, m_ui->Text9, m_ui->Text10, m_ui->Text11};
}

QStringList CustomerEntryWindow::boxTexts() const
{
    QStringList texts;
    for (const QLineEdit* box : boxesInTableOrder()) {
        texts << box->text();
    }
    return texts;
}

QStringList CustomerEntryWindow::allTexts() const
{
    return boxTexts() << m_ui->Text12->toPlainText();
}

void CustomerEntryWindow::escape()
{
    if (m_context.inputAids.closeAidsOf(this)) {
        return;
    }
    if (allTexts() != m_savedTexts &&
        m_context.dialogs.message(this, QStringLiteral("放弃输入的内容吗？"), QString(),
                                  Dialogs::Icon::Question,
                                  Dialogs::Buttons::YesNoDefaultNo) != Dialogs::Answer::Yes) {
        return;
    }
    close();
}

void CustomerEntryWindow::checkLength(Dialogs& dialogs, QWidget* parent, QLineEdit* box,
                                      const QString& message)
{
    if (characterCount(box->text()) > kMaxCharacters) {
        dialogs.message(parent, message);
        box->clear();
    }
}

void CustomerEntryWindow::checkNumeric(QLineEdit* box)
{
    if (!customer_records::isNumberEntry(box->text())) {
        box->clear();
    }
}

void CustomerEntryWindow::limitLength(QLineEdit* box, const QString& message)
{
    connect(box, &QLineEdit::textChanged, this,
            [this, box, message] { checkLength(m_context.dialogs, this, box, message); });
}

void CustomerEntryWindow::keepNumeric(QLineEdit* box)
{
    HalfWidthNumbers::install(box);
    connect(box, &QLineEdit::textChanged, this, [box] { checkNumeric(box); });
}

// Typing into the date or amount box also opens its aid; the aid's own write does not, so
// a picked date does not reopen the picker.
void CustomerEntryWindow::openCalendar(AidOpener::Opening opening)
{
    m_context.inputAids.showCalendarBelow(kDateCode, m_ui->Text4, kAidGapTwips, opening);
}

void CustomerEntryWindow::openCalculator(AidOpener::Opening opening)
{
    m_context.inputAids.showCalculatorBelow(kAmountCode, m_ui->Text8, kAidGapTwips, opening);
}

void CustomerEntryWindow::save()
{
    if (m_ui->Text1->text().isEmpty()) {
        m_context.dialogs.inform(this, QStringLiteral("请添加用户名！"));
        return;
    }
    if (guarded(m_context.dialogs, this, [this] { writeRecord(); })) {
        m_context.dialogs.message(this, QStringLiteral("保存完毕！"));
    }
}

void CustomerEntryWindow::writeRecord()
{
    QStringList texts;
    for (const QLineEdit* box : boxesInTableOrder()) {
        // The number boxes keep what was typed ("1,234"); the file holds the number.
        const bool number = box == m_ui->Text6 || box == m_ui->Text7;
        texts << (number ? customer_records::storedNumber(box->text()) : box->text());
    }
    const qint64 key =
        customer_records::appendRecord(m_context.store, texts, m_ui->Text12->toPlainText(),
                                       customer_records::Numbering::CountingNew);
    m_savedTexts = allTexts(); // kept for the next purchase, and nothing to lose
    Q_EMIT recordSaved(boxTexts(), key);
}

} // namespace khgl
