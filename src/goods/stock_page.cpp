#include "goods/stock_page.h"

#include "goods/amount_text.h"
#include "goods/goods_grid.h"
#include "goods/goods_records.h"
#include "goods/stock_minimum_records.h"
#include "platform/app_context.h"
#include "platform/dialogs.h"
#include "ui_stock_page.h"
#include "widgets/hover.h"

#include <QAction>
#include <QMenu>

namespace khgl {
namespace {

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
    onCommand(m_ui->Label67, &ClickLabel::clicked, &StockPage::searchProduct);
    // The minimums stand beside the grid: a menu entry sets one, the row's colour and tooltip
    // show it.
    addGridCommand(m_ui->MS6, QStringLiteral("setStockMinimum"), QStringLiteral("设置库存下限…"),
                   &StockPage::setMinimum);
    addGridCommand(m_ui->MS6, QStringLiteral("profitAnalysis"), QStringLiteral("利润分析…"),
                   &StockPage::profitRequested);
    m_ui->MS6->setRowMarker([this](int row) { return isLow(row); });
    m_ui->MS6->setRowToolTip([this](int row) {
        const QString minimum = minimumOf(row);
        return minimum.isEmpty() ? QString() : QStringLiteral("库存下限：") + minimum;
    });
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

QString StockPage::minimumOf(int row) const
{
    return m_minimums.value(m_ui->MS6->text(row, kName));
}

bool StockPage::isLow(int row) const
{
    const QString minimum = minimumOf(row);
    const QString difference = m_ui->MS6->text(row, kDifference);
    return !minimum.isEmpty() && !difference.isEmpty() &&
           goods::leadingNumber(difference) <= goods::leadingNumber(minimum);
}

void StockPage::readMinimums()
{
    m_minimums = goods::stockMinimums(m_context.store);
    m_ui->MS6->viewport()->update(); // the rows' colours follow their minimums
}

// Asks for the highlighted product's minimum; an empty answer removes it.
void StockPage::setMinimum()
{
    const QString name = m_ui->MS6->text(m_ui->MS6->row(), kName);
    if (name.isEmpty()) {
        inform(QStringLiteral("请先选中一种商品。"));
        return;
    }
    const std::optional<QString> minimum =
        m_context.dialogs.editText(this, QStringLiteral("“%1”的库存下限（留空为不设）：").arg(name),
                                   QStringLiteral("设置库存下限"), minimumOf(m_ui->MS6->row()));
    if (!minimum) {
        return;
    }
    goods::setStockMinimum(m_context.store, name, minimum->trimmed());
    readMinimums();
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
    const RecordSet bought = goods::purchasedQuantities(m_context.store);
    goods::resetGrid(*m_ui->MS6);
    goods::listRecords(*m_ui->MS6, bought, {QStringLiteral("名称"), QStringLiteral("总数量")});
    fillSoldQuantities();
    fillDifferences();
    readMinimums();
    m_ui->MS6->scrollToTop();
}

void StockPage::fillSoldQuantities()
{
    RecordGrid& grid = *m_ui->MS6;
    RecordGrid::Batch batch(grid);
    QStringList names;
    for (int row = 1; row < grid.rows(); ++row) {
        names << grid.text(row, kName);
    }
    const std::vector<QVariant> sold = goods::soldQuantities(m_context.store, names);
    for (int row = 1; row < grid.rows(); ++row) {
        const QString quantity = goods::cellText(sold[static_cast<size_t>(row - 1)]);
        if (!quantity.isEmpty()) {
            grid.setText(row, kSold, quantity);
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
    setUpGrid();
    const RecordSet bought = goods::purchasedQuantityOf(m_context.store, name);
    goods::resetGrid(*m_ui->MS6);
    goods::listRecords(*m_ui->MS6, bought, {QStringLiteral("名称"), QStringLiteral("总数量")});
    fillSoldOfProduct(name);
    const RecordGrid& grid = *m_ui->MS6;
    bool rowOneBlank = true;
    for (int col = 1; col <= kDifference; ++col) {
        rowOneBlank = rowOneBlank && grid.text(1, col).isEmpty();
    }
    if (rowOneBlank) {
        inform(QStringLiteral("查询的商品不存在。"));
    }
    fillDifferences();
    readMinimums();
}

void StockPage::fillSoldOfProduct(const QString& name)
{
    RecordGrid& grid = *m_ui->MS6;
    const RecordSet sold = goods::soldOfPurchased(m_context.store, name);
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
