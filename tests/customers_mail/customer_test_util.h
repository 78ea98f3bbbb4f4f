#pragma once

#include "customers_mail/customer_file.h"
#include "customers_mail/customer_page.h"
#include "data_store/data_store.h"
#include "support/controls.h"
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
    QList<std::pair<QString, QVariant>> values{
        {QStringLiteral("客户名"), name},
        {QStringLiteral("邮寄地址"), QStringLiteral("北京市海淀区")},
        {QStringLiteral("购买日期"), QStringLiteral("2026-3-5")},
        {QStringLiteral("商品名称"), product},
        {QStringLiteral("商品单价"), QStringLiteral("12.5")},
        {QStringLiteral("商品数量"), QStringLiteral("2")},
        {QStringLiteral("收取金额"), QStringLiteral("25")},
        {QStringLiteral("商品简述"), QStringLiteral("红色")},
        {QStringLiteral("其他"), QStringLiteral("无")},
        {QStringLiteral("区别"), 0}}; // a seeded row, not numbered by the program
    for (const auto& [column, text] : {std::pair{QStringLiteral("电子邮箱"), mail},
                                       std::pair{QStringLiteral("客户简述"), customerNote},
                                       std::pair{QStringLiteral("附加信息"), extra}}) {
        if (!text.isEmpty()) {
            values.append({column, text});
        }
    }
    store.insertRow(QStringLiteral("客户表"), values);
}

// The same from UTF-8 literals; a null pointer stands for an empty text.
inline void addCustomer(DataStore& store, const char* name, const char* mail, const char* product,
                        const char* customerNote = nullptr, const char* extra = nullptr)
{
    addCustomer(store, QString::fromUtf8(name), QString::fromUtf8(mail), QString::fromUtf8(product),
                QString::fromUtf8(customerNote), QString::fromUtf8(extra));
}

} // namespace khgl::test
