#pragma once

#include <QAction>
#include <QGroupBox>
#include <functional>
#include <memory>

namespace khgl {

struct AppContext;
class GridMenu;
class GridImporter;
class RecordGrid;
class HoverCommands;
struct HoverFlags;

// What the main window hands every page it hosts.
struct PageEnv
{
    AppContext& context;
    HoverCommands& hover;
    HoverFlags& flags;
};

// One page frame of the main window. The main window places it, shows it and hides it; the
// page does its own work when it is selected.
class Page : public QGroupBox
{
    Q_OBJECT

public:
    Page(PageEnv& env, QWidget* parent);

    // The main window's load sequence reached this page (desktop figures, charts).
    virtual void windowLoaded() {}
    // Loads the normal pictures into the page's command backgrounds (on selection).
    virtual void loadNormalPictures() {}
    // The page's own work when its navigation label is clicked.
    virtual void opened() {}
    // The line printed under the page's grid (its total), empty for none.
    virtual QString printedTotal() const { return {}; }
    // The main window is closing: close the windows this page opened.
    virtual void closeWindows() {}
    // Where the keyboard goes when the page is selected: its first shown entry box (one-line,
    // list or multi-line box), else its first grid; null when it has neither.
    virtual QWidget* firstEntryBox() const;

protected:
    // Runs one event handler; a failure is shown to the operator and the program goes on.
    bool guard(const std::function<void()>& handler);
    // Gives every record grid of the page its context menu (export); pages call it once their
    // controls are built.
    void addGridMenus();
    // Adds a command of this page to a grid's context menu, run under the guard like any
    // other command: one line per entry.
    template <typename Target>
    void addGridCommand(RecordGrid* grid, const QString& objectName, const QString& text,
                        void (Target::*handler)())
    {
        onCommand(gridMenuEntry(*grid, objectName, text), &QAction::triggered, handler);
    }
    // "修改…" in a grid's menu, also reached by Ctrl+E while the grid has the keyboard:
    // corrects the record of the grid's current row.
    template <typename Target> void addEditCommand(RecordGrid* grid, void (Target::*handler)())
    {
        onCommand(editEntry(*grid), &QAction::triggered, handler);
    }
    // Lets the grid's menu bring a CSV file into the page's table, after the safety copy;
    // shown then lists the new rows.
    void setGridImporter(RecordGrid& grid, std::unique_ptr<GridImporter> importer,
                         std::function<void()> shown);

    // Connects a command to a member function of this page that runs under the guard, so a
    // handler cannot end the program by forgetting its own guard. The handler may take the
    // first arguments of the signal.
    template <typename Sender, typename Signal, typename Target, typename... Args>
    void onCommand(Sender* sender, Signal signal, void (Target::*handler)(Args...))
    {
        connect(sender, signal, this, [this, handler](Args... args) {
            guard([&] { (static_cast<Target*>(this)->*handler)(args...); });
        });
    }

    // The key of the record the grid's current row shows; -1, said to the operator, when the
    // row shows none.
    qint64 selectedRecordKey(const RecordGrid& grid);

    // The common "提示" information message.
    void inform(const QString& text);

    AppContext& m_context;
    HoverCommands& m_hover;
    HoverFlags& m_flags;

private:
    // The grid's context menu, made on first use.
    GridMenu& gridMenu(RecordGrid& grid);
    QAction* gridMenuEntry(RecordGrid& grid, const QString& objectName, const QString& text);
    QAction* editEntry(RecordGrid& grid);
};

// The page a navigation label shows until its own page is built: its frame and caption.
class CaptionPage final : public Page
{
    Q_OBJECT

public:
    CaptionPage(PageEnv& env, const QString& objectName, const QString& caption, QWidget* parent);
};

} // namespace khgl
