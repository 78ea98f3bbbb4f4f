#pragma once

#include "platform/grid_print.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QMenu;

namespace khgl {

class Clock;
class Dialogs;
class RecordGrid;

// The context menu every record grid carries: "导出为 CSV…" writes what the grid shows
// through the save dialog, the file type choosing the encoding; "打印…", "打印预览…" and
// "导出为 PDF…" lay it out as a table under a title (the page's caption and the date), the
// header row repeated on every page, page numbers below, and the page's total line after the
// table; a wide list goes on landscape paper.
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

    static QString csvFilter();

private:
    void popUp(const QPoint& pos);
    void exportCsv();
    void print();
    void printPreview();
    void exportPdf();
    PrintedTable printedTable() const;
    QString suggestedPath(const QString& suffix) const;

    RecordGrid& m_grid;
    Env m_env;
    QMenu* m_menu;
};

} // namespace khgl
