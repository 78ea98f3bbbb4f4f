#include "goods/stock_page.h"

#include "data_store/data_store.h"
#include "goods/goods_grid.h"
#include "platform/app_context.h"
#include "platform/dialogs.h"
#include "platform/hover.h"
#include "ui_stock_page.h"

namespace khgl {
namespace {

const QString kGrouping =
    QStringLiteral("select 名称,sum(数量) as 总数量 from 进货表 group by 名称");
const QString kSoldOfName = QStringLiteral("select sum(数量) as 总数量 from 销售表 where 名称 =?");
const QString kGroupingOfName =
    QStringLiteral("select 名称,sum(数量) as 总数量 from 进货表 where 名称=? group by 名称");
const QString kSoldOfPurchased =
    QStringLiteral("select sum(数量) as 总数量 from 销售表 where 名称 in(select 名称 from 进货表 "
                   "where 名称=? group by 名称) group by 名称");

// Grid columns.
constexpr int kName = 2;
constexpr int kBought = 3;
constexpr int kSold = 4;
constexpr int kDifference = 5;

} // namespace

StockPage::StockPage(PageEnv& env, QWidget* parent)
    : Page(env, parent), m_ui(std::make_unique<Ui::StockPage>())
{
    m_ui->setupUi(this);
    addGridMenus();
    m_hover.addSmall(m_ui->Frame14, m_ui->Label67, m_ui->Image22, nullptr);
    connect(m_ui->Label67, &ClickLabel::clicked, this, &StockPage::searchProduct);
}

StockPage::~StockPage() = default;

void StockPage::loadNormalPictures()
{
    m_context.pictures.show(m_ui->Image22, Pictures::smallNormal());
}

void StockPage::opened()
{
    guard([this] { listStock(); });
}

void StockPage::setUpGrid()
{
    RecordGrid& grid = *m_ui->MS6;
    grid.setCols(6);
    grid.setColWidth(0, 300);
    const QStringList headers{QStringLiteral("编号"), QStringLiteral("名称"),
                              QStringLiteral("进货总量"), QStringLiteral("销售总量"),
                              QStringLiteral("进销差值")};
    for (int col = 1; col <= 5; ++col) {
        grid.setColWidth(col, 2000);
        grid.setText(0, col, headers[col - 1]);
    }
}

void StockPage::listStock()
{
    setUpGrid();
    const RecordSet bought = m_context.store.select(kGrouping);
    goods::resetGrid(*m_ui->MS6);
    goods::listRecords(*m_ui->MS6, bought, 2);
    fillSoldQuantities();
    fillDifferences();
    m_ui->MS6->scrollToTop();
}

void StockPage::fillSoldQuantities()
{
    RecordGrid& grid = *m_ui->MS6;
    RecordGrid::Batch batch(grid);
    // One query per listed product, all in one transaction: the file is locked and checked
    // once instead of ten thousand times, and the figures come from one state of the file.
    m_context.store.transaction([&] { fillSoldRows(grid); });
}

void StockPage::fillSoldRows(RecordGrid& grid)
{
    for (int row = 1; row < grid.rows(); ++row) {
        const QString name = grid.text(row, kName);
        if (name.isEmpty()) {
            continue;
        }
        const RecordSet sold = m_context.store.select(kSoldOfName, {name});
        if (sold.recordCount() > 0) {
            const QString quantity = goods::cellText(sold.valueAt(0, 0));
            if (!quantity.isEmpty()) {
                grid.setText(row, kSold, quantity);
            }
        }
    }
}

void StockPage::searchProduct()
{
    m_context.pictures.show(m_ui->Image22, Pictures::smallNormal());
    const QString name = m_ui->Text20->text();
    if (name.isEmpty()) {
        return;
    }
    guard([this, &name] {
        setUpGrid();
        const RecordSet bought = m_context.store.select(kGroupingOfName, {name});
        goods::resetGrid(*m_ui->MS6);
        goods::listRecords(*m_ui->MS6, bought, 2);
        fillSoldOfProduct(name);
        const RecordGrid& grid = *m_ui->MS6;
        bool rowOneBlank = true;
        for (int col = 1; col <= kDifference; ++col) {
            rowOneBlank = rowOneBlank && grid.text(1, col).isEmpty();
        }
        if (rowOneBlank) {
            m_context.dialogs.message(this, QStringLiteral("查询的商品不存在。"),
                                      QStringLiteral("提示"), Dialogs::Icon::Information);
        }
        fillDifferences();
    });
}

void StockPage::fillSoldOfProduct(const QString& name)
{
    RecordGrid& grid = *m_ui->MS6;
    const RecordSet sold = m_context.store.select(kSoldOfPurchased, {name});
    if (sold.recordCount() == 0) {
        return;
    }
    for (int row = 1; row < grid.rows(); ++row) {
        const int record = row - 1;
        grid.setText(row, kSold,
                     record < sold.recordCount() ? goods::cellText(sold.valueAt(record, 0))
                                                 : QStringLiteral("0"));
    }
}

void StockPage::fillDifferences()
{
    RecordGrid& grid = *m_ui->MS6;
    RecordGrid::Batch batch(grid);
    for (int row = 1; row < grid.rows(); ++row) {
        const QString bought = grid.text(row, kBought);
        if (bought.isEmpty()) {
            continue;
        }
        const double difference =
            goods::leadingNumber(bought) - goods::leadingNumber(grid.text(row, kSold));
        grid.setText(row, kDifference, goods::plainNumber(difference));
    }
}

} // namespace khgl
