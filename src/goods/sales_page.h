#pragma once

#include "goods/date_query_dialog.h"
#include "shell/page.h"

#include <QPointer>
#include <memory>

namespace Ui {
class SalesPage;
}

namespace khgl {

class RecordGrid;

// The sales page: 销售表 in a grid, the sales total over the whole table, an entry panel, a
// query by product and, through the date query dialog, by date.
class SalesPage final : public Page
{
    Q_OBJECT

public:
    SalesPage(PageEnv& env, QWidget* parent);
    ~SalesPage() override;

    void loadNormalPictures() override;
    QString printedTotal() const override;
    void opened() override;
    void closeWindows() override;

    // What the date query dialog fills.
    RecordGrid& grid();
    DateQueryDialog* dateDialog() const { return m_dateDialog; }

private:
    void setUpGrid();
    void listTable();
    void refreshTotal();
    void queryByProduct();
    void openDateDialog();
    void copyRowToBoxes(int row);
    void save();
    bool boxesFilled() const;
    void saveRecord();
    void deleteSelected();
    void clearBoxes();
    void openCalendar();
    void openCalculator();
    void closeAids();

    std::unique_ptr<Ui::SalesPage> m_ui;
    QPointer<DateQueryDialog> m_dateDialog;
};

} // namespace khgl
