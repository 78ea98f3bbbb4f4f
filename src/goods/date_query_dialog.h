#pragma once

#include "goods/goods_query.h"

#include <QDialog>
#include <memory>

namespace Ui {
class DateQueryDialog;
}

namespace khgl {

struct AppContext;
class RecordGrid;

// The date query dialog: lists the sales of one date in the sales page's grid. Shown
// without blocking; it stays open until the operator cancels or closes it.
class DateQueryDialog final : public QDialog
{
    Q_OBJECT

public:
    DateQueryDialog(AppContext& context, RecordGrid& salesGrid, QWidget* parent);
    ~DateQueryDialog() override;

private:
    void querySales();
    void cancel();

    AppContext& m_context;
    std::unique_ptr<Ui::DateQueryDialog> m_ui;
    GoodsQuery m_query; // lists into the sales page's grid
};

} // namespace khgl
