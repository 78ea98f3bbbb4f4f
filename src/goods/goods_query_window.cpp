#include "goods/goods_query_window.h"

#include "data_store/data_store.h"
#include "goods/goods_grid.h"
#include "goods/purchase_page.h"
#include "input_aids/input_aids.h"
#include "platform/app_context.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include "ui_goods_query_window.h"

#include <QShortcut>

namespace khgl {
namespace {

const QString kDateQuery =
    QStringLiteral("select 名称,单价,数量,总金额,日期,备注 from 进货表 where 日期= ? "
                   "order by rowid");
const QString kDateTotal = QStringLiteral("select sum(总金额)as 总金额 from 进货表 where 日期=?");
const QString kProductDateQuery =
    QStringLiteral("select 名称,单价,数量,总金额,日期,备注 from 进货表 where 日期= ?and 名称=? "
                   "order by rowid");
const QString kProductTotal =
    QStringLiteral("select sum (总金额) as 金额 from 进货表 where 名称=?");

constexpr qint16 kDateCode = 2;
constexpr qint16 kProductDateCode = 3;
constexpr int kCalendarGap = 500; // twips below the box

// This window shows its command pictures the other way round from the main window.
const QString kNormalPicture = Pictures::smallHover();
const QString kHoverPicture = Pictures::smallNormal();

} // namespace

GoodsQueryWindow::GoodsQueryWindow(AppContext& context, PurchasePage& page, QWidget* parent)
    : QWidget(parent, Qt::Window), m_context(context), m_page(page),
      m_ui(std::make_unique<Ui::GoodsQueryWindow>()), m_hover(context.pictures)
{
    m_ui->setupUi(this);
    // Only the main window ends the program: closing this one while the main window waits in
    // the notification area must not.
    setAttribute(Qt::WA_QuitOnClose, false);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            &QWidget::close);
    m_hover.addCommand(this, m_ui->Label4, m_ui->Image1, &m_dateFlag, kNormalPicture,
                       kHoverPicture);
    m_hover.addCommand(this, m_ui->Label5, m_ui->Image2, &m_productFlag, kNormalPicture,
                       kHoverPicture);
    // Crossing the product frame resets only its own command.
    m_hover.addCommand(m_ui->Frame2, m_ui->Label5, m_ui->Image2, &m_productFlag, kNormalPicture,
                       kHoverPicture);
    showNormalPictures();

    m_context.inputAids.registerDateBox(kDateCode, m_ui->Text1);
    m_context.inputAids.registerDateBox(kProductDateCode, m_ui->Text3);
    connect(m_ui->Text1, &ClickLineEdit::clicked, this, [this] {
        m_context.inputAids.showCalendarBelow(kDateCode, m_ui->Text1, kCalendarGap);
    });
    connect(m_ui->Text3, &ClickLineEdit::clicked, this, [this] {
        m_context.inputAids.showCalendarBelow(kProductDateCode, m_ui->Text3, kCalendarGap);
    });
    connect(m_ui->Label4, &ClickLabel::clicked, this, &GoodsQueryWindow::queryDate);
    connect(m_ui->Label5, &ClickLabel::clicked, this, &GoodsQueryWindow::queryProductOnDate);
}

GoodsQueryWindow::~GoodsQueryWindow() = default;

void GoodsQueryWindow::showNormalPictures()
{
    m_context.pictures.show(m_ui->Image1, kNormalPicture);
    m_context.pictures.show(m_ui->Image2, kNormalPicture);
}

void GoodsQueryWindow::queryDate()
{
    m_context.pictures.show(m_ui->Image1, kNormalPicture);
    const QString date = m_ui->Text1->text();
    if (date.isEmpty()) {
        m_context.dialogs.message(this, QStringLiteral("查询日期不能为空。"),
                                  QStringLiteral("提示"), Dialogs::Icon::Information);
        return;
    }
    guarded(m_context.dialogs, this, [this, &date] {
        const RecordSet found = m_context.store.selectKeyed(goods::withRowKey(kDateQuery), {date});
        goods::resetGrid(m_page.grid());
        goods::listRecords(m_page.grid(), found, goods::shownColumns());
        if (found.recordCount() == 0) {
            m_context.dialogs.message(this, QStringLiteral("查询的商品不存在！"),
                                      QStringLiteral("查询提示"), Dialogs::Icon::Information);
        }
        m_page.showQueryTotal(
            goods::sumOf(m_context.store.select(kDateTotal, {date}), QStringLiteral("总金额")));
    });
}

void GoodsQueryWindow::queryProductOnDate()
{
    m_context.pictures.show(m_ui->Image2, kNormalPicture);
    const QString name = m_ui->Text2->text();
    const QString date = m_ui->Text3->text();
    if (name.isEmpty()) {
        m_context.dialogs.message(this, QStringLiteral("商品名不能为空！"), QStringLiteral("提示"),
                                  Dialogs::Icon::Information);
        return;
    }
    if (date.isEmpty()) {
        m_context.dialogs.message(this, QStringLiteral("日期不能为空！"), QStringLiteral("提示"),
                                  Dialogs::Icon::Information);
        return;
    }
    guarded(m_context.dialogs, this, [this, &name, &date] {
        const RecordSet found =
            m_context.store.selectKeyed(goods::withRowKey(kProductDateQuery), {date, name});
        goods::resetGrid(m_page.grid());
        goods::listRecords(m_page.grid(), found, goods::shownColumns());
        if (found.recordCount() == 0) {
            m_context.dialogs.message(this, QStringLiteral("查询的商品不存在！"),
                                      QStringLiteral("查询提示"), Dialogs::Icon::Information);
        }
        // The total covers the product's purchases of every date.
        m_page.showQueryTotal(
            goods::sumOf(m_context.store.select(kProductTotal, {name}), QStringLiteral("金额")));
    });
}

} // namespace khgl
