#pragma once

#include "goods/goods_records.h"
#include "platform/dialogs.h"
#include "widgets/page.h"
#include "widgets/record_editor.h"

#include <QStringList>
#include <memory>
#include <vector>

class QLabel;
class QLineEdit;

namespace khgl {

class ClickLabel;
class ClickLineEdit;
class RecordGrid;

// One goods table in a grid with its running total, an entry panel that appends records,
// delete of the clicked record and a query by product. The purchase and the sales page are
// two configurations of it, each with its own form and its own further queries.
class GoodsEntryPage : public Page
{
    Q_OBJECT

public:
    void opened() override;
    void loadNormalPictures() override;
    QString printedTotal() const override;
    // The product name, where the entry panel's Enter walk begins.
    QWidget* firstEntryBox() const override;

    // What the goods query windows fill.
    RecordGrid& grid();

protected:
    GoodsEntryPage(PageEnv& env, QWidget* parent);
    ~GoodsEntryPage() override;
    // Called by each configuration once its form is set up: finds the controls by their
    // names in the form of this table's page.
    void setUp(goods::GoodsTable table);

    void setUpGrid(int lastWidth);
    void listTable();
    void refreshTotal();
    void openCalendar();
    void openCalculator();
    void closeAids();
    // Shows a query window of this page in front, left of and below the anchor's top left
    // corner, another drop pixels lower.
    static void showWindowNear(QWidget* window, const QWidget* anchor, int drop);
    // Purchases show the product's total after a query by product.
    virtual void productQueried(const QString& /*name*/) {}

private:
    void queryByProduct();
    void copyRowToBoxes(int row);
    void save();
    void saveRecord();
    void deleteSelected();
    void clearBoxes();
    void editSelected();
    std::vector<RecordEditor::Field> editorFields(const goods::GoodsEntry& entry);
    bool writeEdit(RecordEditor& editor, const DataStore::ReadRecord& read);
    // Shows in a row what the record with this key now holds.
    void showStoredRow(int row, qint64 key);
    void showAmountCheck();

    struct Controls;
    struct Config;
    static Config configFor(goods::GoodsTable table);
    Controls controlsFor(goods::GoodsTable table);

    std::unique_ptr<const Controls> m_controls;
    std::unique_ptr<const Config> m_config;
};

} // namespace khgl
