#pragma once

#include "goods/goods_query_window.h"
#include "shell/page.h"

#include <QPointer>
#include <memory>
#include <optional>

namespace Ui {
class PurchasePage;
}

namespace khgl {

class RecordGrid;

// The purchase page: 进货表 in a grid, a running purchase total, an entry panel, queries by
// product and, through the goods query window, by date.
class PurchasePage final : public Page
{
    Q_OBJECT

public:
    PurchasePage(PageEnv& env, QWidget* parent);
    ~PurchasePage() override;

    void loadNormalPictures() override;
    QString printedTotal() const override;
    void opened() override;
    void closeWindows() override;

    // What the goods query window fills: the grid and the query total.
    RecordGrid& grid();
    void showQueryTotal(std::optional<double> total);
    GoodsQueryWindow* queryWindow() const { return m_queryWindow; }

private:
    void setUpGrid(int lastWidth);
    void listTable();
    void refreshPageTotal();
    void listWholeTable();
    void queryByProduct();
    void openQueryWindow();
    void copyRowToBoxes(int row);
    void save();
    bool boxesFilled() const;
    void saveRecord();
    void deleteSelected();
    void clearBoxes();

    std::unique_ptr<Ui::PurchasePage> m_ui;
    QPointer<GoodsQueryWindow> m_queryWindow;
};

} // namespace khgl
