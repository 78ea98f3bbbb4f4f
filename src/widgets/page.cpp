#include "widgets/page.h"

#include "platform/app_context.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include "widgets/grid_import.h"
#include "widgets/grid_menu.h"
#include "widgets/record_grid.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace khgl {

Page::Page(PageEnv& env, QWidget* parent)
    : QGroupBox(parent), m_context(env.context), m_hover(env.hover), m_flags(env.flags)
{
}

bool Page::guard(const std::function<void()>& handler)
{
    return guarded(m_context.dialogs, this, handler);
}

void Page::inform(const QString& text)
{
    m_context.dialogs.inform(this, text);
}

qint64 Page::selectedRecordKey(const RecordGrid& grid)
{
    const qint64 key = grid.row() >= 1 ? grid.rowKey(grid.row()) : -1;
    if (key < 0) {
        inform(QStringLiteral("请先在表格中选中一条已保存的记录。"));
    }
    return key;
}

void Page::addGridMenus()
{
    for (RecordGrid* grid : findChildren<RecordGrid*>()) {
        gridMenu(*grid);
    }
}

GridMenu& Page::gridMenu(RecordGrid& grid)
{
    if (auto* menu = grid.findChild<GridMenu*>(QString(), Qt::FindDirectChildrenOnly)) {
        return *menu;
    }
    return *new GridMenu(grid, {m_context.dialogs, m_context.clock, [this] { return title(); },
                                [this] { return printedTotal(); }});
}

QAction* Page::gridMenuEntry(RecordGrid& grid, const QString& objectName, const QString& text)
{
    return gridMenu(grid).addCommand(objectName, text);
}

QAction* Page::editEntry(RecordGrid& grid)
{
    QAction* action = gridMenuEntry(grid, QStringLiteral("editRecord"), QStringLiteral("修改…"));
    // Only while the grid has the keyboard: a box keeps Ctrl+E for itself.
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    action->setShortcutContext(Qt::WidgetShortcut);
    grid.addAction(action);
    return action;
}

void Page::setGridImporter(RecordGrid& grid, std::unique_ptr<GridImporter> importer,
                           std::function<void()> shown)
{
    if (auto* menu = grid.findChild<GridMenu*>(QString(), Qt::FindDirectChildrenOnly)) {
        // Looked up when the import writes: the shell may hand the hook in after the page.
        const auto copy = [this] {
            if (m_context.copyBeforeImport) {
                m_context.copyBeforeImport();
            }
        };
        menu->setImporter(std::move(importer), copy, std::move(shown));
    }
}

QWidget* Page::firstEntryBox() const
{
    const auto first = [this](auto isWanted) -> QWidget* {
        for (QWidget* widget = nextInFocusChain(); widget != this && isAncestorOf(widget);
             widget = widget->nextInFocusChain()) {
            if (isWanted(widget) && widget->isVisibleTo(this) && widget->isEnabled() &&
                widget->focusPolicy() != Qt::NoFocus) {
                return widget;
            }
        }
        return nullptr;
    };
    QWidget* box = first([](QWidget* widget) {
        return qobject_cast<QLineEdit*>(widget) != nullptr ||
               qobject_cast<QComboBox*>(widget) != nullptr ||
               qobject_cast<QAbstractSpinBox*>(widget) != nullptr ||
               qobject_cast<QPlainTextEdit*>(widget) != nullptr;
    });
    if (box == nullptr) {
        box = first(
            [](QWidget* widget) { return qobject_cast<QAbstractItemView*>(widget) != nullptr; });
    }
    return box;
}

CaptionPage::CaptionPage(PageEnv& env, const QString& objectName, const QString& caption,
                         QWidget* parent)
    : Page(env, parent)
{
    setObjectName(objectName);
    setTitle(caption);
}

} // namespace khgl
