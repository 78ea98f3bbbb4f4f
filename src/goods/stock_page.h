#pragma once

#include "platform/page.h"

#include <memory>

namespace Ui {
class StockPage;
}

namespace khgl {

class RecordGrid;

// The stock page: for every product ever purchased, the quantities bought and sold and their
// difference, computed afresh each time the page opens; and the same row for one product.
class StockPage final : public Page
{
    Q_OBJECT

public:
    StockPage(PageEnv& env, QWidget* parent);
    ~StockPage() override;

    void loadNormalPictures() override;
    QString printedTotal() const override;
    void opened() override;
    // Lists only the products at or below their stock minimum (the desktop's low-stock line).
    void showLowStock();

Q_SIGNALS:
    // The grid menu's "利润分析…": the window that shows it lives above this page.
    void profitRequested();

private:
    void setUpGrid();
    void listStock();
    void fillSoldQuantities();
    void searchProduct();
    void fillSoldOfProduct(const QString& name);
    void fillDifferences();
    void fillMinimums();
    bool isLow(int row) const;
    void minimumEdited(int row, int col, const QString& previous);

    std::unique_ptr<Ui::StockPage> m_ui;
};

} // namespace khgl
