#pragma once

#include "goods/goods_records.h"
#include "platform/dialogs.h"
#include "platform/page.h"

#include <QStringList>

class QLabel;
class QLineEdit;

namespace khgl {

class ClickLabel;
class ClickLineEdit;
class RecordGrid;

// The controls of one goods entry page, as its form names them.
struct GoodsEntryControls
{
    RecordGrid* grid;
    QLabel* total;
    ClickLabel* productQuery;
    QLabel* productQueryImage;
    ClickLabel* save;
    QLabel* saveImage;
    ClickLabel* remove;
    QLabel* removeImage;
    ClickLineEdit* date;
    QLineEdit* name;
    QLineEdit* price;
    QLineEdit* quantity;
    ClickLineEdit* amount;
    QLineEdit* remark;
};

// How the purchase and the sales page differ besides their forms.
struct GoodsEntryConfig
{
    goods::GoodsTable table;
    QStringList headers;
    qint16 dateTarget;
    qint16 amountTarget;
    QString totalCaption; // before the table total
    QString productPrompt;
    QString productTitle;
    QString productMissing;
    // Purchases list a product's records even when there are none, then its total.
    bool listEmptyProductQuery;
    // Sales copy a clicked header row into the boxes as well.
    bool headerRowCopies;
    QString savedText;
    QString savedTitle;
    Dialogs::Icon savedIcon;
    // Purchases refresh the total after every save attempt, sales after a saved record.
    bool totalAfterEveryTry;
    // Said when delete meets a blank row; empty: passed over silently.
    QString alreadyDeleted;
    // Sales: opening the calendar closes the calculator and the other way round.
    bool aidsExclusive;
};

// One goods table in a grid with its running total, an entry panel that appends records,
// delete of the clicked record and a query by product. The purchase and the sales page are
// two configurations of it, each with its own form and its own further queries.
class GoodsEntryPage : public Page
{
    Q_OBJECT

public:
    void opened() override;

    // What the goods query windows fill.
    RecordGrid& grid();

protected:
    GoodsEntryPage(PageEnv& env, QWidget* parent);
    // Called by each configuration once its form is set up.
    void setUp(const GoodsEntryControls& controls, GoodsEntryConfig config);

    void setUpGrid(int lastWidth);
    void listTable();
    void refreshTotal();
    void openCalendar();
    void openCalculator();
    void closeAids();
    // Shows a query window of this page at this place, in front.
    static void showWindowAt(QWidget* window, QPoint place);
    // Purchases show the product's total after a query by product.
    virtual void productQueried(const QString& /*name*/) {}

private:
    void queryByProduct();
    void copyRowToBoxes(int row);
    void save();
    bool boxesFilled() const;
    void saveRecord();
    void deleteSelected();
    void clearBoxes();

    GoodsEntryControls m_controls{};
    GoodsEntryConfig m_config{};
};

} // namespace khgl
