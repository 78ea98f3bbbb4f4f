#pragma once

// Pieces the benchmarks share: stand-ins for the services a window needs, and goods rows.
#include "data_store/data_store.h"
#include "data_store/sqlite_store.h"
#include "input_aids/input_aids.h"
#include "platform/app_context.h"
#include "platform/audio_player.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/mail_transport.h"
#include "widgets/hover.h"
#include "widgets/page.h"

#include <sqlite3.h>

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <cstdio>
#include <ctime>

namespace khgl::bench {

inline double cpuNow()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Wall time and the process's processor time: on a busy machine the second shows the work
// itself, without the waiting for a core.
struct Timing
{
    double wall = 0;
    double cpu = 0;
};

template <typename Work> Timing measure(Work work)
{
    QElapsedTimer timer;
    const double cpuStart = cpuNow();
    timer.start();
    work();
    return {timer.nsecsElapsed() / 1e9, cpuNow() - cpuStart};
}

class FixedClock final : public Clock
{
public:
    QDateTime now() const override { return m_now; }
    QDateTime m_now;
};

class NoMail final : public MailTransport
{
public:
    MailResult send(const MailMessage&) override { return {false, {}}; }
};

class Offline final : public Connectivity
{
public:
    bool isConnected() const override { return false; }
};

// Prints a time beside the raw sqlite3 time of the same work.
inline void report(const char* what, const Timing& timing, const Timing& raw, const char* goal,
                   int width = 30)
{
    std::printf("%-*s wall %7.3f s (%5.2fx raw)  cpu %7.3f s (%5.2fx raw)  %s\n", width, what,
                timing.wall, timing.wall / raw.wall, timing.cpu, timing.cpu / raw.cpu, goal);
}

// Everything a page or window needs around a store, stand-ins for the rest: the clock stands
// at now, no sound, no mail, no network.
struct Services
{
    Services(const QString& folder, DataStore& store, const QDateTime& now = {})
        : aids(clock, dialogs), context{store.folder(), store, dialogs,          clock, audio, mail,
                                        network,        aids,  Pictures(folder), {}},
          hover(context.pictures), env{context, hover, flags}
    {
        clock.m_now = now;
    }
    FixedClock clock;
    QtDialogs dialogs;
    SilentAudioPlayer audio;
    NoMail mail;
    Offline network;
    InputAids aids;
    AppContext context;
    HoverFlags flags;
    HoverCommands hover;
    PageEnv env;
};

// The headers of the sales grid, as its export writes them.
inline const QStringList& salesHeaders()
{
    static const QStringList headers{QStringLiteral("编号"),     QStringLiteral("商品名称"),
                                     QStringLiteral("商品单价"), QStringLiteral("商品数量"),
                                     QStringLiteral("销售金额"), QStringLiteral("销售日期"),
                                     QStringLiteral("备注")};
    return headers;
}

// Appends rows of 进货表 or 销售表 straight through SQLite, in one transaction:
// products named 商品0.., dates spread over 2026, quantities 1 to 7 at 12.5.
inline void fillGoods(sqlite3* db, const char* table, int rows, int products)
{
    sqlite3_exec(db, "begin", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    const QByteArray sql =
        QByteArray("insert into ") + table +
        " (名称, 单价, 数量, 总金额, 日期, 备注, 区别) values (?, ?, ?, ?, ?, ?, ?)";
    sqlite3_prepare_v2(db, sql.constData(), -1, &insert, nullptr);
    for (int i = 0; i < rows; ++i) {
        const QByteArray name = "商品" + QByteArray::number(i % products);
        const QByteArray date =
            "2026-" + QByteArray::number(i % 12 + 1) + "-" + QByteArray::number(i % 28 + 1);
        sqlite3_bind_text(insert, 1, name.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(insert, 2, 12.5);
        sqlite3_bind_int(insert, 3, i % 7 + 1);
        sqlite3_bind_double(insert, 4, 12.5 * (i % 7 + 1));
        sqlite3_bind_text(insert, 5, date.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 6, "备注内容", -1, SQLITE_STATIC);
        sqlite3_bind_int(insert, 7, i + 1);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
}

// The shop most benchmarks run on: a new file with sales and purchases of products.
inline void fillShop(SqliteStore& store, int sales, int purchases, int products)
{
    store.create();
    fillGoods(store.handle(), "销售表", sales, products);
    fillGoods(store.handle(), "进货表", purchases, products);
    std::printf("rows: %d sales, %d purchases, %d products\n", sales, purchases, products);
}

} // namespace khgl::bench
