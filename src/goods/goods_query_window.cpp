#include "goods/goods_query_window.h"

#include "goods/goods_records.h"
#include "goods/purchase_page.h"
#include "platform/aid_target.h"
#include "platform/app_context.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include "ui_goods_query_window.h"
#include "widgets/screen_fit.h"

#include <QShortcut>

namespace khgl {
namespace {

constexpr int kCalendarGap = 500; // twips below the box

} // namespace

GoodsQueryWindow::GoodsQueryWindow(AppContext& context, PurchasePage& page, QWidget* parent)
    : QWidget(parent, Qt::Window), m_context(context),
      m_ui(std::make_unique<Ui::GoodsQueryWindow>()), m_page(page),
      m_query(context, *this, page.grid())
{
    m_ui->setupUi(this);
    // Only the main window ends the program: closing this one while the main window waits in
    // the notification area must not.
    setAttribute(Qt::WA_QuitOnClose, false);
    screen_fit::fitFixedWindow(this);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            &QWidget::close);
    m_query.addCommand(this, m_ui->Label4, m_ui->Image1, 0);
    m_query.addCommand(this, m_ui->Label5, m_ui->Image2, 1);
    // Crossing the product frame resets only its own command.
    m_query.addCommand(m_ui->Frame2, m_ui->Label5, m_ui->Image2, 1);
    m_query.showNormal(m_ui->Image1);
    m_query.showNormal(m_ui->Image2);
    m_query.addDateBox(aid::QueryDate, m_ui->Text1, kCalendarGap);
    m_query.addDateBox(aid::QueryProductDate, m_ui->Text3, kCalendarGap);
    connect(m_ui->Label4, &ClickLabel::clicked, this, &GoodsQueryWindow::queryDate);
    connect(m_ui->Label5, &ClickLabel::clicked, this, &GoodsQueryWindow::queryProductOnDate);
    // Enter in a box runs the query of its frame.
    connect(m_ui->Text1, &QLineEdit::returnPressed, this, &GoodsQueryWindow::queryDate);
    for (QLineEdit* box :
         {static_cast<QLineEdit*>(m_ui->Text2), static_cast<QLineEdit*>(m_ui->Text3)}) {
        connect(box, &QLineEdit::returnPressed, this, &GoodsQueryWindow::queryProductOnDate);
    }
}

GoodsQueryWindow::~GoodsQueryWindow() = default;

void GoodsQueryWindow::queryDate()
{
    m_query.showNormal(m_ui->Image1);
    m_query.queryDate(m_ui->Text1->text(),
                      {goods::GoodsTable::Purchases, QStringLiteral("查询日期不能为空。"), true,
                       QStringLiteral("查询的商品不存在！"), true},
                      [this](const QString& date) {
                          m_page.showQueryTotal(goods::dateTotal(
                              m_context.store, goods::GoodsTable::Purchases, date));
                      });
}

void GoodsQueryWindow::queryProductOnDate()
{
    m_query.showNormal(m_ui->Image2);
    const QString name = m_ui->Text2->text();
    const QString date = m_ui->Text3->text();
    if (name.isEmpty()) {
        m_context.dialogs.inform(this, QStringLiteral("商品名不能为空！"));
        return;
    }
    if (date.isEmpty()) {
        m_context.dialogs.inform(this, QStringLiteral("日期不能为空！"));
        return;
    }
    guarded(m_context.dialogs, this, [this, &name, &date] {
        m_query.list(
            goods::productOnDatePages(m_context.store, goods::GoodsTable::Purchases, name, date),
            QStringLiteral("查询的商品不存在！"), true);
        // The total covers the product's purchases of every date.
        m_page.showQueryTotal(
            goods::productTotal(m_context.store, goods::GoodsTable::Purchases, name));
    });
}

} // namespace khgl
