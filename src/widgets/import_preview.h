#pragma once

#include "widgets/csv_import.h"

#include <QDialog>
#include <memory>

namespace Ui {
class ImportPreview;
}

namespace khgl {

class DataStore;
class GridImporter;
struct ImportPlan;

// Every row of a CSV file before anything is written: bad rows in red with their problems,
// the counts, and the choice to import the good rows or to cancel. The rows are read again
// from the plan's text as they come into view, so a file of millions of rows shows at once.
// Confirming only closes the window with accept(); the caller writes. The plan and the
// importer must outlive the window.
class ImportPreview final : public QDialog
{
    Q_OBJECT

public:
    ImportPreview(const ImportPlan& plan, const GridImporter& importer, const QString& fileName,
                  QWidget* parent);
    ~ImportPreview() override;

private:
    std::unique_ptr<Ui::ImportPreview> m_ui;
};

// Runs work on a thread of its own while a progress window (`importProgress`) shows how far
// it came by the progress it is handed and offers 取消, after which that progress answers
// false. Meanwhile the windows paint and timers run, input reaches only the progress window,
// and top cannot be closed; a held store answers every thread but the work's as busy. Passes
// on what work throws.
void runWithProgress(QWidget& top, const QString& text, DataStore* held,
                     const std::function<void(const ImportProgress&)>& work);

} // namespace khgl
