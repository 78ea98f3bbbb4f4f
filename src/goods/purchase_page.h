#pragma once

#include "goods/goods_entry_page.h"
#include "goods/goods_query_window.h"

#include <QPointer>
#include <memory>
#include <optional>

namespace Ui {
class PurchasePage;
}

namespace khgl {

// The purchase page: 进货表 in a grid, a running purchase total, an entry panel, queries by
// product and, through the goods query window, by date.
class PurchasePage final : public GoodsEntryPage
{
    Q_OBJECT

public:
    PurchasePage(PageEnv& env, QWidget* parent);
    ~PurchasePage() override;

    void closeWindows() override;

    // What the goods query window fills besides the grid: the query total.
    void showQueryTotal(std::optional<double> total);
    GoodsQueryWindow* queryWindow() const { return m_queryWindow; }

private:
    void productQueried(const QString& name) override;
    void listWholeTable();
    void openQueryWindow();

    std::unique_ptr<Ui::PurchasePage> m_ui;
    QPointer<GoodsQueryWindow> m_queryWindow;
};

} // namespace khgl
