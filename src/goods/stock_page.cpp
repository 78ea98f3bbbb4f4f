#include "goods/stock_page.h"

#include "data_store/data_store.h"
#include "goods/goods_grid.h"
#include "goods/stock_minimum_records.h"
#include "platform/app_context.h"
#include "platform/dialogs.h"
#include "platform/hover.h"
#include "ui_stock_page.h"

namespace khgl {
namespace {

const QString kGrouping =
    QStringLiteral("select 名称,sum(数量) as 总数量 from 进货表 group by 名称 order by 名称");
const QString kSoldOfName = QStringLiteral("select sum(数量) as 总数量 from 销售表 where 名称 =?");
const QString kGroupingOfName =
    QStringLiteral("select 名称,sum(数量) as 总数量 from 进货表 where 名称=? group by 名称");
const QString kSoldOfPurchased =
    QStringLiteral("select sum(数量) as 总数量 from 销售表 where 名称 in(select 名称 from 进货表 "
                   "where 名称=? group by 名称) group by 名称 order by 名称");

// Grid columns.
constexpr int kName = 2;
constexpr int kBought = 3;
constexpr int kSold = 4;
constexpr int kDifference = 5;
// The program's own column beside the five: the product's stock minimum, edited in place.
constexpr int kMinimum = 6;

} // namespace

StockPage::StockPage(PageEnv& env, QWidget* parent)
    : Page(env, parent), m_ui(std::make_unique<Ui::StockPage>())
{
    m_ui->setupUi(this);
    addGridMenus();
    m_hover.addSmall(m_ui->Frame14, m_ui->Label67, m_ui->Image22, nullptr);
    connect(m_ui->Label67, &ClickLabel::clicked, this, &StockPage::searchProduct);
    m_ui->MS6->setEditableCol(kMinimum);
    m_ui->MS6->setRowMarker([this](int row) { return isLow(row); });
    connect(m_ui->MS6, &RecordGrid::cellEdited, this, &StockPage::minimumEdited);
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
    grid.setCols(7);
    grid.setColWidth(0, 300);
    const QStringList headers{QStringLiteral("编号"), QStringLiteral("名称"),
                              QStringLiteral("进货总量"), QStringLiteral("销售总量"),
                              QStringLiteral("进销差值")};
    for (int col = 1; col <= 5; ++col) {
        grid.setColWidth(col, 2000);
        grid.setText(0, col, headers[col - 1]);
    }
    grid.setColWidth(kMinimum, 1200);
    grid.setText(0, kMinimum, QStringLiteral("下限"));
}

bool StockPage::isLow(int row) const
{
    const RecordGrid& grid = *m_ui->MS6;
    const QString minimum = grid.text(row, kMinimum);
    const QString difference = grid.text(row, kDifference);
    return !minimum.isEmpty() && !difference.isEmpty() &&
           goods::leadingNumber(difference) <= goods::leadingNumber(minimum);
}

void StockPage::fillMinimums()
{
    RecordGrid& grid = *m_ui->MS6;
    const QHash<QString, QString> minimums = goods::stockMinimums(m_context.store);
    if (minimums.isEmpty()) {
        return;
    }
    RecordGrid::Batch batch(grid);
    for (int row = 1; row < grid.rows(); ++row) {
        const auto found = minimums.constFind(grid.text(row, kName));
        if (found != minimums.constEnd()) {
            grid.setText(row, kMinimum, *found);
        }
    }
}

void StockPage::minimumEdited(int row, int col, const QString& previous)
{
    RecordGrid& grid = *m_ui->MS6;
    const QString name = grid.text(row, kName);
    const QString minimum = grid.text(row, col).trimmed();
    const bool saved = !name.isEmpty() && guard([this, &name, &minimum] {
        goods::setStockMinimum(m_context.store, name, minimum);
    });
    // A row without a product or a refused minimum shows what the file holds.
    grid.setText(row, col, saved ? minimum : previous);
    grid.viewport()->update(); // the row's colour follows its minimum
}

void StockPage::showLowStock()
{
    guard([this] {
        listStock();
        RecordGrid& grid = *m_ui->MS6;
        RecordGrid::Batch batch(grid);
        int kept = 1;
        for (int row = 1; row < grid.rows(); ++row) {
            if (!isLow(row)) {
                continue;
            }
            for (int col = 1; col < grid.cols() && kept != row; ++col) {
                grid.setText(kept, col, grid.text(row, col));
            }
            ++kept;
        }
        grid.setRows(std::max(kept, 2));
        if (kept == 1) {
            for (int col = 1; col < grid.cols(); ++col) {
                grid.setText(1, col, QString());
            }
        }
    });
}

void StockPage::listStock()
{
    setUpGrid();
    const RecordSet bought = m_context.store.select(kGrouping);
    goods::resetGrid(*m_ui->MS6);
    goods::listRecords(*m_ui->MS6, bought, {QStringLiteral("名称"), QStringLiteral("总数量")});
    fillSoldQuantities();
    fillDifferences();
    fillMinimums();
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
        goods::listRecords(*m_ui->MS6, bought, {QStringLiteral("名称"), QStringLiteral("总数量")});
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
        fillMinimums();
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

// The stock page has no total label; its printout sums the three quantity columns.
QString StockPage::printedTotal() const
{
    const RecordGrid& grid = *m_ui->MS6;
    double bought = 0;
    double sold = 0;
    double difference = 0;
    for (int row = 1; row < grid.rows(); ++row) {
        bought += goods::leadingNumber(grid.text(row, kBought));
        sold += goods::leadingNumber(grid.text(row, kSold));
        difference += goods::leadingNumber(grid.text(row, kDifference));
    }
    return QStringLiteral("合计：进货总量 %1，销售总量 %2，进销差值 %3")
        .arg(goods::plainNumber(bought), goods::plainNumber(sold), goods::plainNumber(difference));
}

} // namespace khgl
