#pragma once

#include "goods/goods_query.h"

#include <QWidget>
#include <memory>

namespace Ui {
class GoodsQueryWindow;
}

namespace khgl {

struct AppContext;
class PurchasePage;

// The goods query window: purchases of a date, or of a product on a date, listed in the
// purchase page's grid with their total in its total label. Shown without blocking.
class GoodsQueryWindow final : public QWidget
{
    Q_OBJECT

public:
    GoodsQueryWindow(AppContext& context, PurchasePage& page, QWidget* parent);
    ~GoodsQueryWindow() override;

private:
    void queryDate();
    void queryProductOnDate();

    AppContext& m_context;
    std::unique_ptr<Ui::GoodsQueryWindow> m_ui;
    // The page whose grid and total label show what this window finds.
    PurchasePage& m_page;
    GoodsQuery m_query;
};

} // namespace khgl
