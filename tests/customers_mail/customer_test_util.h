#pragma once

#include "customers_mail/customer_file.h"
#include "customers_mail/customer_page.h"
#include "data_store/data_store.h"
#include "support/env.h"
#include "widgets/hover.h"
#include "widgets/record_grid.h"

#include <QDir>
#include <QTest>

namespace khgl::test {

// A customer page on a fresh application folder, shown at its size in the main window.
struct CustomerPageFixture
{
    CustomerPageFixture()
    {
        page.resize(905, 481);
        page.show();
    }
    ~CustomerPageFixture()
    {
        // The description directory sits beside the temporary folder, not inside it.
        QDir(customer_file::directory(env.folder())).removeRecursively();
    }

    RecordGrid& grid() const { return *page.findChild<RecordGrid*>(QStringLiteral("MS1")); }
    template <typename T> T* child(const QString& name) const
    {
        T* widget = page.findChild<T*>(name);
        if (widget == nullptr) {
            qFatal("no control %s", qPrintable(name));
        }
        return widget;
    }

    TestEnv env;
    HoverFlags flags;
    HoverCommands hover{env.context.pictures};
    PageEnv penv{env.context, hover, flags};
    CustomerPage page{penv, nullptr};
};

// One purchase written straight into 客户表 (name, e-mail, product, short customer note,
// additional information; the other columns get plain values).
inline void addCustomer(DataStore& store, const QString& name, const QString& mail,
                        const QString& product, const QString& customerNote = {},
                        const QString& extra = {})
{
    RecordSet set = store.select(QStringLiteral("客户表"));
    set.addNew();
    set.setValue(QStringLiteral("客户名"), name);
    set.setValue(QStringLiteral("邮寄地址"), QStringLiteral("北京市海淀区"));
    if (!mail.isEmpty()) {
        set.setValue(QStringLiteral("电子邮箱"), mail);
    }
    set.setValue(QStringLiteral("购买日期"), QStringLiteral("2026-3-5"));
    set.setValue(QStringLiteral("商品名称"), product);
    set.setValue(QStringLiteral("商品单价"), QStringLiteral("12.5"));
    set.setValue(QStringLiteral("商品数量"), QStringLiteral("2"));
    set.setValue(QStringLiteral("收取金额"), QStringLiteral("25"));
    set.setValue(QStringLiteral("商品简述"), QStringLiteral("红色"));
    if (!customerNote.isEmpty()) {
        set.setValue(QStringLiteral("客户简述"), customerNote);
    }
    set.setValue(QStringLiteral("其他"), QStringLiteral("无"));
    set.setValue(QStringLiteral("区别"), 0); // a seeded row, not numbered by the program
    if (!extra.isEmpty()) {
        set.setValue(QStringLiteral("附加信息"), extra);
    }
    set.update();
}

// The same from UTF-8 literals; a null pointer stands for an empty text.
inline void addCustomer(DataStore& store, const char* name, const char* mail, const char* product,
                        const char* customerNote = nullptr, const char* extra = nullptr)
{
    addCustomer(store, QString::fromUtf8(name), QString::fromUtf8(mail), QString::fromUtf8(product),
                QString::fromUtf8(customerNote), QString::fromUtf8(extra));
}

// Clicks a data cell of a grid as the operator would.
inline void clickCell(RecordGrid& grid, int row, int col)
{
    const QModelIndex index = grid.cellIndex(row, col);
    grid.scrollTo(index);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier,
                      grid.visualRect(index).center());
}

inline void doubleClickCell(RecordGrid& grid, int row, int col)
{
    const QModelIndex index = grid.cellIndex(row, col);
    grid.scrollTo(index);
    const QPoint at = grid.visualRect(index).center();
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

inline QStringList rowTexts(const RecordGrid& grid, int row)
{
    QStringList texts;
    for (int c = 1; c <= 11; ++c) {
        texts << grid.text(row, c);
    }
    return texts;
}

} // namespace khgl::test
