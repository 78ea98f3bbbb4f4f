#include "support/env.h"

#include "data_store/server_connection.h"
#include "support/record_rows.h"

#include <sqlite3.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>

namespace khgl::test {

namespace {

// Every connection a test opens (the store's, a second reader's, a backup's or restore's, one a
// test opens by hand) returns rows of a query without "order by" backwards, so a listing that
// leans on the engine's unstated order fails here instead of on the operator's screen.
int reverseUnorderedSelects(sqlite3* db, char**, const void*)
{
    return sqlite3_exec(db, "pragma reverse_unordered_selects=1", nullptr, nullptr, nullptr);
}

const int kReverseRegistered = sqlite3_auto_extension(
    reinterpret_cast<void (*)()>(reinterpret_cast<void*>(&reverseUnorderedSelects)));

QString adminAddress()
{
    return qEnvironmentVariable("KHGL_TEST_PG_URI");
}

} // namespace

bool onTestServer()
{
    return qEnvironmentVariable("KHGL_TEST_BACKEND") == QStringLiteral("postgresql");
}

QString newTestServerDatabase(QString* name)
{
    static int counter = 0;
    if (adminAddress().isEmpty()) {
        qFatal("KHGL_TEST_BACKEND=postgresql needs KHGL_TEST_PG_URI");
    }
    const QString database =
        QStringLiteral("khgl_t_%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
    ServerConnection admin(adminAddress());
    admin.run(QStringLiteral("drop database if exists %1 with (force)").arg(database));
    admin.run(QStringLiteral("create database %1").arg(database));
    if (name != nullptr) {
        *name = database;
    }
    return ServerConnection::withDatabase(adminAddress(), database);
}

void dropTestServerDatabase(const QString& name)
{
    ServerConnection admin(adminAddress());
    admin.run(QStringLiteral("drop database if exists %1 with (force)").arg(name));
}

TestEnv::TestEnv(bool withDatabase)
    : m_store(openStore(
          {m_dir.path(), onTestServer() ? newTestServerDatabase(&m_serverDatabase) : QString()})),
      store(*m_store), inputAids(clock, dialogs),
      context{store.folder(),         store, dialogs, clock, audio, mail, connectivity, inputAids,
              Pictures(m_dir.path()), {}}
{
    const QDir assets(QStringLiteral(KHGL_ASSETS_DIR));
    // The pictures, as a data folder may hold them (not the guide or the catalogue source).
    for (const QString& name :
         assets.entryList({QStringLiteral("*.dll"), QStringLiteral("*.ico")}, QDir::Files)) {
        QFile::copy(assets.filePath(name), m_dir.filePath(name));
    }
    if (kReverseRegistered != SQLITE_OK) {
        qFatal("could not register reverse_unordered_selects for test connections");
    }
    if (withDatabase) {
        store.create();
    }
}

TestEnv::~TestEnv()
{
    store.close();
    if (!m_serverDatabase.isEmpty()) {
        dropTestServerDatabase(m_serverDatabase);
    }
}

QList<QStringList> TestEnv::rowsOnDisk(const QString& sql, const QVariantList& params) const
{
    const auto other = openStore(store.address());
    return rowsOf(other->select(sql, params));
}

int TestEnv::countOnDisk(const QString& table) const
{
    return rowsOnDisk(QStringLiteral("select count(*) from ") + table).value(0).value(0).toInt();
}

void TestEnv::addUser(const QString& name, const QString& password, const QString& question,
                      const QString& answer)
{
    store.insertRow(QStringLiteral("用户表"),
                    {{QStringLiteral("用户名"), name},
                     {QStringLiteral("用户密码"), password},
                     {QStringLiteral("问题"), question},
                     {QStringLiteral("答案"), answer},
                     {QStringLiteral("区别"), 0}}); // a seeded row, not numbered by the program
}

void insertRow(DataStore& store, const QString& table,
               const QList<std::pair<QString, QVariant>>& values)
{
    store.insertRow(table, values);
}

void insertSale(DataStore& store, const QString& date, const QVariant& amount)
{
    insertRow(store, QStringLiteral("销售表"),
              {{QStringLiteral("名称"), QStringLiteral("茶叶")},
               {QStringLiteral("总金额"), amount},
               {QStringLiteral("日期"), date}});
}

void insertCustomer(DataStore& store, const QString& name, const QString& date)
{
    insertRow(store, QStringLiteral("客户表"),
              {{QStringLiteral("客户名"), name}, {QStringLiteral("购买日期"), date}});
}

void typeText(QWidget* widget, const QString& text)
{
    widget->setFocus();
    // keyClicks aborts on non-Latin text: send each character as a key event with its text.
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, text.mid(i, length),
                            Qt::NoModifier);
        i += length - 1;
    }
}

void click(QWidget* widget)
{
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
}

void doubleClick(QWidget* widget)
{
    QTest::mouseDClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
}

void hover(QWidget* widget)
{
    const QPointF local = widget->rect().center();
    QMouseEvent move(QEvent::MouseMove, local, widget->mapToGlobal(local), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

QString grabTo(QWidget* widget, const QString& name)
{
    QDir().mkpath(QStringLiteral("screenshots"));
    const QString path =
        QDir(QStringLiteral("screenshots")).absoluteFilePath(name + QStringLiteral(".png"));
    widget->grab().save(path);
    return path;
}

} // namespace khgl::test
