#pragma once

#include "data_store/data_store.h"
#include "support/controls.h"
#include "support/env.h"
#include "widgets/hover.h"
#include "widgets/page.h"
#include "widgets/record_grid.h"

#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

namespace khgl::test {

// What a page needs from the main window.
struct PageHarness
{
    explicit PageHarness(TestEnv& test)
        : hover(test.context.pictures), env{test.context, hover, flags}
    {
    }
    HoverFlags flags;
    HoverCommands hover;
    PageEnv env;
};

// Writes one purchase or sale straight into the file, as an earlier session would have; its
// 区别 is the literal given, never counted the way the program counts.
inline void addGoods(TestEnv& env, const QString& table, const QString& name,
                     const QVariant& quantity, const QVariant& amount, const QString& date,
                     const QString& remark = QStringLiteral("备注内容"), int difference = 0)
{
    env.store.execute(QStringLiteral("insert into ") + table +
                          QStringLiteral(" (名称,单价,数量,总金额,日期,备注,区别) "
                                         "values (?,1,?,?,?,?,?)"),
                      {name, quantity, amount, date, remark, difference});
}

// Texts written as UTF-8 literals.
inline QStringList strings(std::initializer_list<const char*> items)
{
    QStringList list;
    for (const char* item : items) {
        list << QString::fromUtf8(item);
    }
    return list;
}

inline QList<QStringList> rows(std::initializer_list<std::initializer_list<const char*>> items)
{
    QList<QStringList> list;
    for (const auto& row : items) {
        list << strings(row);
    }
    return list;
}

// A goods page shown at its usual size and opened, with its grid and total label.
template <typename Page> struct GoodsPageFixture
{
    GoodsPageFixture(TestEnv& env, const char* gridName, const char* totalName)
        : harness(env), page(harness.env, nullptr), m_grid(gridName), m_total(totalName)
    {
        page.resize(905, 481);
        page.show();
        page.loadNormalPictures();
        page.opened();
    }
    RecordGrid* grid() { return child<RecordGrid>(&page, m_grid); }
    QLineEdit* box(const char* name) { return child<QLineEdit>(&page, name); }
    QString total() { return child<QLabel>(&page, m_total)->text(); }
    void command(const char* label) { click(child(&page, label)); }

    PageHarness harness;
    Page page;

private:
    const char* m_grid;
    const char* m_total;
};

// Pastes a whole text into a box in one change.
inline void paste(QLineEdit* box, const QString& text)
{
    box->setFocus();
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(box, &event);
}

// The names listed in column 2, rows 1 to the last.
inline QStringList listedNames(const RecordGrid* grid)
{
    return columnTexts(grid, 2);
}

} // namespace khgl::test
