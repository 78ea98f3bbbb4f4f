#include "goods/purchase_page.h"

#include "data_store/values.h"
#include "platform/app_context.h"
#include "ui_purchase_page.h"
#include "widgets/hover.h"
#include "widgets/record_grid.h"

namespace khgl {

PurchasePage::PurchasePage(PageEnv& env, QWidget* parent)
    : GoodsEntryPage(env, parent), m_ui(std::make_unique<Ui::PurchasePage>())
{
    m_ui->setupUi(this);
    setUp(goods::GoodsTable::Purchases);
    onCommand(m_ui->Label50, &ClickLabel::clicked, &PurchasePage::listWholeTable);
    onCommand(m_ui->Label52, &ClickLabel::clicked, &PurchasePage::openQueryWindow);
    connect(m_ui->Text23, &ClickLineEdit::mouseClicked, m_ui->Text23, &QLineEdit::clear);
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
    showWindowNear(m_queryWindow, m_ui->Image13, 0);
}

} // namespace khgl
