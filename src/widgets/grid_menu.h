#pragma once

#include "widgets/grid_print.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QAction;
class QMenu;
class QProgressDialog;

namespace khgl {

class Clock;
class Dialogs;
class GridImporter;
class RecordGrid;

// The context menu every record grid carries: "导出为 CSV…" writes what the grid shows
// through the save dialog, the file type choosing the encoding; "打印…", "打印预览…" and
// "导出为 PDF…" lay it out as a table under a title (the page's caption and the date), the
// header row repeated on every page, page numbers below, and the page's total line after the
// table; a wide list goes on landscape paper. "导出为 Excel…" writes an .xlsx workbook. A page
// that can take rows in gives the menu an importer: "从 CSV 导入…" then reads a file, previews
// it and writes its good rows.
class GridMenu final : public QObject
{
    Q_OBJECT

public:
    struct Env
    {
        Dialogs& dialogs;
        const Clock& clock;
        std::function<QString()> caption; // the page's caption, names files and titles pages
        std::function<QString()> total;   // the page's total line, empty for none
    };

    GridMenu(RecordGrid& grid, Env env);
    ~GridMenu() override;

    QMenu& menu() { return *m_menu; }
    // Adds a command of the page's own below the common ones.
    QAction* addCommand(const QString& objectName, const QString& text);

    // Shows "从 CSV 导入…"; beforeWrite (the safety copy) runs before the rows are written and
    // stops the import by throwing; shown runs after they are written.
    void setImporter(std::unique_ptr<GridImporter> importer, std::function<void()> beforeWrite,
                     std::function<void()> shown);

    static QString csvFilter();

private:
    void popUp(const QPoint& pos);
    void exportCsv();
    void print();
    void printPreview();
    void exportPdf();
    void exportXlsx();
    void importCsv();
    void importFile(const QString& path);
    std::unique_ptr<QProgressDialog> progressFor(const QString& text) const;
    PrintedTable printedTable() const;
    QString suggestedPath(const QString& suffix) const;

    RecordGrid& m_grid;
    Env m_env;
    QMenu* m_menu;
    bool m_hasCommands = false;
    std::unique_ptr<GridImporter> m_importer;
    std::function<void()> m_beforeWrite;
    std::function<void()> m_shown;
};

} // namespace khgl
