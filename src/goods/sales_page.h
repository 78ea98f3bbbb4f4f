#pragma once

#include "goods/date_query_dialog.h"
#include "goods/goods_entry_page.h"

#include <QPointer>
#include <memory>

namespace Ui {
class SalesPage;
}

namespace khgl {

// The sales page: 销售表 in a grid, the sales total over the whole table, an entry panel, a
// query by product and, through the date query dialog, by date.
class SalesPage final : public GoodsEntryPage
{
    Q_OBJECT

public:
    SalesPage(PageEnv& env, QWidget* parent);
    ~SalesPage() override;

    void closeWindows() override;

    DateQueryDialog* dateDialog() const { return m_dateDialog; }

private:
    void openDateDialog();

    std::unique_ptr<Ui::SalesPage> m_ui;
    QPointer<DateQueryDialog> m_dateDialog;
};

} // namespace khgl
