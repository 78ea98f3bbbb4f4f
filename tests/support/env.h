#pragma once

#include "data_store/data_store.h"
#include "input_aids/input_aids.h"
#include "platform/app_context.h"
#include "platform/audio_player.h"
#include "platform/mail_transport.h"
#include "support/fake_clock.h"
#include "support/fake_dialogs.h"

#include <QStringList>
#include <QTemporaryDir>
#include <QVariantList>
#include <memory>

class QWidget;

namespace khgl::test {

class FakeMail final : public MailTransport
{
public:
    MailResult send(const MailMessage& message) override
    {
        sent.push_back(message);
        return {true, {}};
    }
    std::vector<MailMessage> sent;
};

class FakeConnectivity final : public Connectivity
{
public:
    bool isConnected() const override { return connected; }
    bool connected = true;
};

// A whole program context on a fresh temporary application folder with a new khgl.dll,
// the pictures copied in, and fake dialogs and clock.
class TestEnv final
{
public:
    // withDatabase false leaves the folder without khgl.dll.
    explicit TestEnv(bool withDatabase = true);
    ~TestEnv();

    QString folder() const { return m_dir.path(); }
    QString databasePath() const { return store.filePath(); }

    // Runs a query on a second, independent connection to the file: what the disk holds.
    QList<QStringList> rowsOnDisk(const QString& sql, const QVariantList& params = {}) const;
    int countOnDisk(const QString& table) const;
    void addUser(const QString& name, const QString& password, const QString& question = {},
                 const QString& answer = {});

    QTemporaryDir m_dir;
    // With KHGL_TEST_BACKEND=postgresql: a new database of its own on the server named by
    // KHGL_TEST_PG_URI, dropped at the end; otherwise empty and the store is khgl.dll.
    QString m_serverDatabase;
    std::unique_ptr<DataStore> m_store;
    DataStore& store;
    FakeDialogs dialogs;
    FakeClock clock;
    SilentAudioPlayer audio;
    FakeMail mail;
    FakeConnectivity connectivity;
    InputAids inputAids;
    AppContext context;
};

// True when the tests run against the PostgreSQL server of KHGL_TEST_PG_URI.
bool onTestServer();
// Makes a new, empty database on the test server; returns its connection text.
QString newTestServerDatabase(QString* name = nullptr);
void dropTestServerDatabase(const QString& name);

// Appends one row to a table through the store: (column, value) pairs in any order.
void insertRow(DataStore& store, const QString& table,
               const QList<std::pair<QString, QVariant>>& values);
// A sale of 茶叶 and a customer, only the columns the figures count filled.
void insertSale(DataStore& store, const QString& date, const QVariant& amount);
void insertCustomer(DataStore& store, const QString& name, const QString& date);

// Types text into a widget as a person would, Chinese included.
void typeText(QWidget* widget, const QString& text);
// Clicks a widget in its middle with the left button.
void click(QWidget* widget);
void doubleClick(QWidget* widget);
// Sends a pointer move without buttons to a widget (hover handling).
void hover(QWidget* widget);
// Saves a picture of a widget under the build's screenshots/ folder; returns its path.
QString grabTo(QWidget* widget, const QString& name);

} // namespace khgl::test
