#include "goods/date_query_dialog.h"

#include "data_store/data_store.h"
#include "goods/goods_grid.h"
#include "input_aids/input_aids.h"
#include "platform/app_context.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include "ui_date_query_dialog.h"

#include <QShortcut>

namespace khgl {
namespace {

const QString kDateQuery = QStringLiteral("select*from 销售表 where 日期=? order by rowid");

constexpr qint16 kDateCode = 11;
constexpr int kCalendarGap = 400; // twips below the box

// This dialog shows its command pictures the other way round from the main window.
const QString kNormalPicture = Pictures::smallHover();
const QString kHoverPicture = Pictures::smallNormal();

} // namespace

DateQueryDialog::DateQueryDialog(AppContext& context, RecordGrid& salesGrid, QWidget* parent)
    : QDialog(parent), m_context(context), m_grid(salesGrid),
      m_ui(std::make_unique<Ui::DateQueryDialog>()), m_hover(context.pictures)
{
    m_ui->setupUi(this);
    // Only the main window ends the program: closing this one while the main window waits in
    // the notification area must not.
    setAttribute(Qt::WA_QuitOnClose, false);
    m_hover.addCommand(this, m_ui->Label2, m_ui->Image1, &m_okFlag, kNormalPicture, kHoverPicture);
    // The cancel picture reacts to the pointer, also where its caption covers it.
    m_hover.addCommand(this, m_ui->Image2, m_ui->Image2, &m_cancelFlag, kNormalPicture,
                       kHoverPicture);
    m_hover.addCommand(this, m_ui->Label3, m_ui->Image2, &m_cancelFlag, kNormalPicture,
                       kHoverPicture);
    // This dialog keeps the ordinary pointer over its commands.
    for (QLabel* widget :
         std::initializer_list<QLabel*>{m_ui->Label2, m_ui->Label3, m_ui->Image2}) {
        widget->unsetCursor();
    }
    m_context.pictures.show(m_ui->Image1, kNormalPicture);
    m_context.pictures.show(m_ui->Image2, kNormalPicture);

    m_context.inputAids.registerDateBox(kDateCode, m_ui->Text1);
    connect(m_ui->Text1, &ClickLineEdit::clicked, this, [this] {
        m_context.inputAids.showCalendarBelow(kDateCode, m_ui->Text1, kCalendarGap);
    });
    connect(m_ui->Label2, &ClickLabel::clicked, this, &DateQueryDialog::querySales);
    connect(m_ui->Label3, &ClickLabel::clicked, this, &DateQueryDialog::cancel);
    // Esc cancels, as the cancel command does.
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            &DateQueryDialog::cancel);
}

DateQueryDialog::~DateQueryDialog() = default;

void DateQueryDialog::querySales()
{
    const QString date = m_ui->Text1->text();
    if (date.isEmpty()) {
        m_context.dialogs.message(this, QStringLiteral("请输入要查询的日期。"));
        return;
    }
    guarded(m_context.dialogs, this, [this, &date] {
        const RecordSet found = m_context.store.selectKeyed(goods::withRowKey(kDateQuery), {date});
        if (found.recordCount() == 0) {
            m_context.dialogs.message(this, QStringLiteral("不存在查询商品的记录。"),
                                      QStringLiteral("查询提示"), Dialogs::Icon::Information);
            return;
        }
        goods::resetGrid(m_grid);
        goods::listRecords(m_grid, found, goods::shownColumns());
    });
}

void DateQueryDialog::cancel()
{
    close();
    if (m_context.inputAids.isCalendarOpen()) {
        m_context.inputAids.closeCalendar();
    }
}

} // namespace khgl
