#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QMenu;

namespace khgl {

class Clock;
class Dialogs;
class RecordGrid;

// The context menu every record grid carries: "导出为 CSV…" writes what the grid shows
// through the save dialog, the file type choosing the encoding.
class GridMenu final : public QObject
{
    Q_OBJECT

public:
    struct Env
    {
        Dialogs& dialogs;
        const Clock& clock;
        std::function<QString()> caption; // the page's caption, names files and titles pages
    };

    GridMenu(RecordGrid& grid, Env env);
    ~GridMenu() override;

    QMenu& menu() { return *m_menu; }

    static QString csvFilter();

private:
    void popUp(const QPoint& pos);
    void exportCsv();
    QString suggestedPath(const QString& suffix) const;

    RecordGrid& m_grid;
    Env m_env;
    QMenu* m_menu;
};

} // namespace khgl
