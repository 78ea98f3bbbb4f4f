#pragma once

#include "widgets/page.h"

#include <QHash>
#include <QString>
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
    void readMinimums();
    QString minimumOf(int row) const;
    bool isLow(int row) const;
    void setMinimum();

    std::unique_ptr<Ui::StockPage> m_ui;
    QHash<QString, QString> m_minimums; // by product name, as the file holds them
};

} // namespace khgl
