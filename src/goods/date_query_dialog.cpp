#include "goods/date_query_dialog.h"

#include "goods/goods_records.h"
#include "platform/aid_opener.h"
#include "platform/aid_target.h"
#include "platform/app_context.h"
#include "platform/dialogs.h"
#include "ui_date_query_dialog.h"
#include "widgets/screen_fit.h"

#include <QShortcut>

namespace khgl {
namespace {

constexpr int kCalendarGap = 400; // twips below the box

} // namespace

DateQueryDialog::DateQueryDialog(AppContext& context, RecordGrid& salesGrid, QWidget* parent)
    : QDialog(parent), m_context(context), m_ui(std::make_unique<Ui::DateQueryDialog>()),
      m_query(context, *this, salesGrid)
{
    m_ui->setupUi(this);
    // Only the main window ends the program: closing this one while the main window waits in
    // the notification area must not.
    setAttribute(Qt::WA_QuitOnClose, false);
    screen_fit::fitFixedWindow(this);
    m_query.addCommand(this, m_ui->Label2, m_ui->Image1, 0);
    // The cancel picture reacts to the pointer, also where its caption covers it.
    m_query.addCommand(this, m_ui->Image2, m_ui->Image2, 1);
    m_query.addCommand(this, m_ui->Label3, m_ui->Image2, 1);
    // This dialog keeps the ordinary pointer over its commands.
    for (QLabel* widget :
         std::initializer_list<QLabel*>{m_ui->Label2, m_ui->Label3, m_ui->Image2}) {
        widget->unsetCursor();
    }
    m_query.showNormal(m_ui->Image1);
    m_query.showNormal(m_ui->Image2);
    m_query.addDateBox(aid::SalesQueryDate, m_ui->Text1, kCalendarGap);
    connect(m_ui->Label2, &ClickLabel::clicked, this, &DateQueryDialog::querySales);
    connect(m_ui->Label3, &ClickLabel::clicked, this, &DateQueryDialog::cancel);
    connect(m_ui->Text1, &QLineEdit::returnPressed, this, &DateQueryDialog::querySales);
    // Esc cancels, as the cancel command does.
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            &DateQueryDialog::cancel);
}

DateQueryDialog::~DateQueryDialog() = default;

void DateQueryDialog::querySales()
{
    m_query.queryDate(m_ui->Text1->text(),
                      {goods::GoodsTable::Sales, QStringLiteral("请输入要查询的日期。"), false,
                       QStringLiteral("不存在查询商品的记录。"), false});
}

void DateQueryDialog::cancel()
{
    close();
    if (m_context.inputAids.isCalendarOpen()) {
        m_context.inputAids.closeCalendar();
    }
}

} // namespace khgl
