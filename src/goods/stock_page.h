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
    void opened() override;

private:
    void setUpGrid();
    void listStock();
    void fillSoldQuantities();
    void searchProduct();
    void fillSoldOfProduct(const QString& name);
    void fillDifferences();

    std::unique_ptr<Ui::StockPage> m_ui;
};

} // namespace khgl
