#include "goods/purchase_page.h"

#include "data_store/values.h"
#include "platform/app_context.h"
#include "platform/hover.h"
#include "platform/record_grid.h"
#include "ui_purchase_page.h"

namespace khgl {
namespace {

// The query window opens left of and below the "其他查询" picture (twips).
constexpr int kQueryWindowLeft = -1600;
constexpr int kQueryWindowDown = 500;

} // namespace

PurchasePage::PurchasePage(PageEnv& env, QWidget* parent)
    : GoodsEntryPage(env, parent), m_ui(std::make_unique<Ui::PurchasePage>())
{
    m_ui->setupUi(this);
    setUp({{{m_ui->Label50, m_ui->Image11},
            {m_ui->Label51, m_ui->Image12},
            {m_ui->Label52, m_ui->Image13}},
           m_ui->Frame2,
           m_ui->MS4,
           m_ui->Label8,
           m_ui->Label51,
           m_ui->Image12,
           m_ui->Label61,
           m_ui->Image14,
           m_ui->Label62,
           m_ui->Image15,
           m_ui->Text10,
           m_ui->Text11,
           m_ui->Text12,
           m_ui->Text21,
           m_ui->Text22,
           m_ui->Text23},
          goods::GoodsTable::Purchases);
    onCommand(m_ui->Label50, &ClickLabel::clicked, &PurchasePage::listWholeTable);
    onCommand(m_ui->Label52, &ClickLabel::clicked, &PurchasePage::openQueryWindow);
    connect(m_ui->Text23, &ClickLineEdit::clicked, m_ui->Text23, &QLineEdit::clear);
}

PurchasePage::~PurchasePage() = default;

void PurchasePage::closeWindows()
{
    if (m_queryWindow) {
        m_queryWindow->close();
    }
}

void PurchasePage::showQueryTotal(std::optional<double> total)
{
    m_ui->Label8->setText(total ? QStringLiteral("商品进货总金额为：") + moneyHashes(*total) +
                                      QStringLiteral("元")
                                : QStringLiteral("当前商品进货总额为0.00元。"));
}

void PurchasePage::productQueried(const QString& name)
{
    showQueryTotal(goods::productTotal(m_context.store, goods::GoodsTable::Purchases, name));
}

void PurchasePage::listWholeTable()
{
    m_context.pictures.show(m_ui->Image11, Pictures::largeNormal());
    setUpGrid(3300);
    m_ui->MS4->setRowHeight(1, 300);
    listTable();
}

void PurchasePage::openQueryWindow()
{
    m_context.pictures.show(m_ui->Image13, Pictures::largeNormal());
    if (!m_queryWindow) {
        m_queryWindow = new GoodsQueryWindow(m_context, *this, this);
    }
    const QPoint picture = m_ui->Image13->mapToGlobal(QPoint(0, 0));
    showWindowAt(m_queryWindow, picture + QPoint(kQueryWindowLeft / 15, kQueryWindowDown / 15));
}

} // namespace khgl
