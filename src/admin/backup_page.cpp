#include "admin/backup_page.h"

#include "admin/admin_log.h"
#include "admin/database_copy.h"
#include "data_store/data_store.h"
#include "data_store/store_error.h"
#include "data_store/store_hold.h"
#include "platform/app_context.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "ui_backup_page.h"
#include "widgets/hover.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTableWidget>
#include <QThread>
#include <algorithm>
#include <exception>
#include <limits>

namespace khgl {
namespace {

// The bar's maximum is the length plus 5, so it stops 5 short before it is hidden.
constexpr qint64 kProgressSlack = 5;

QString explanation()
{
    const QString paragraphBreak = QStringLiteral("\r\n\r\n");
    return QStringLiteral("操作说明：为了保存现有数据或防止数据丢失等，用户可以对录入的商务数据进行"
                          "备份和还原。") +
           paragraphBreak +
           QStringLiteral("备份说明：备份时点击文本框，选择数据备份文件想要保存的位置，点击“备份”按"
                          "钮将文件备份到指定位置。") +
           paragraphBreak +
           QStringLiteral(
               "数据还原说明：首先点击文本框选择需要还原的文件，然后点击“还原”按钮进行还原。");
}

QString timeText(const QDateTime& when)
{
    return when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString countsText(const RecordCounts& counts)
{
    QStringList parts;
    for (const auto& [table, count] : counts) {
        parts << QStringLiteral("%1 %2").arg(table).arg(count);
    }
    return parts.join(QStringLiteral("，"));
}

} // namespace

BackupPage::BackupPage(PageEnv& env, QWidget* parent)
    : Page(env, parent), m_ui(std::make_unique<Ui::BackupPage>()), m_history(m_context.folder)
{
    m_ui->setupUi(this);
    m_ui->Pro1->hide();
    m_hover.addSmall(m_ui->Frame35, m_ui->Label89, m_ui->Image39, &m_flags.a);
    m_hover.addSmall(m_ui->Frame35, m_ui->Label90, m_ui->Image40, &m_flags.b);
    loadNormalPictures();
    onCommand(m_ui->Label89, &ClickLabel::clicked, &BackupPage::backUp);
    onCommand(m_ui->Text34, &ClickLineEdit::clicked, &BackupPage::chooseSource);
    onCommand(m_ui->Label90, &ClickLabel::clicked, &BackupPage::restore);
    connect(m_ui->History, &QTableWidget::cellClicked, this, &BackupPage::pickFromHistory);
}

BackupPage::~BackupPage() = default;

void BackupPage::loadNormalPictures()
{
    m_context.pictures.show(m_ui->Image39, Pictures::smallNormal());
    m_context.pictures.show(m_ui->Image40, Pictures::smallNormal());
}

void BackupPage::opened()
{
    m_ui->Label93->setText(explanation());
    // The caption stays the program's own; the data folder need not be the program's, so its
    // tooltip and the status line name the one the backup really goes to.
    const QString folder = QDir::toNativeSeparators(m_context.folder);
    m_ui->Label91->setToolTip(QStringLiteral("数据库备份到数据文件夹：") + folder);
    if (m_ui->BackupStatus->text().isEmpty()) {
        m_ui->BackupStatus->setText(QStringLiteral("数据文件夹：") + folder);
    }
    listHistory();
}

// Newest first, each with its time, what it holds and its record counts; a file that cannot
// be read says so in place of the counts.
void BackupPage::listHistory()
{
    QTableWidget* list = m_ui->History;
    const std::vector<BackupEntry> entries = m_history.entries();
    list->setRowCount(static_cast<int>(entries.size()));
    int row = 0;
    for (const BackupEntry& entry : entries) {
        auto* made = new QTableWidgetItem(timeText(entry.made));
        made->setData(Qt::UserRole, entry.path);
        made->setToolTip(QDir::toNativeSeparators(entry.path));
        list->setItem(row, 0, made);
        list->setItem(row, 1, new QTableWidgetItem(backupKind(entry.kind).label.toString()));
        QString counts;
        try {
            counts = countsText(m_history.recordCounts(entry.path));
        } catch (const StoreError& error) {
            counts = error.message();
        }
        list->setItem(row, 2, new QTableWidgetItem(counts));
        ++row;
    }
    list->resizeColumnToContents(0);
    list->resizeColumnToContents(1);
}

void BackupPage::pickFromHistory(int row)
{
    if (m_copying) {
        return;
    }
    const QTableWidgetItem* item = m_ui->History->item(row, 0);
    if (item != nullptr) {
        m_ui->Text34->setText(item->data(Qt::UserRole).toString());
    }
}

void BackupPage::showDailyBackupStatus(const QString& text, bool finished)
{
    m_ui->DailyBackupStatus->setText(text);
    if (finished) {
        listHistory();
    }
}

void BackupPage::showDailyBackupFailure(const QString& message)
{
    showStatus(QStringLiteral("今天的自动备份没有完成：") + message);
}

// What the last backup or restore did, and a word on the clock when names lie ahead of it.
void BackupPage::showStatus(const QString& text, const QDateTime& now)
{
    QString status = text;
    const QString notice = now.isValid() ? m_history.clockNotice(now) : QString();
    if (!notice.isEmpty()) {
        status += QLatin1Char('\n') + notice;
    }
    m_ui->BackupStatus->setText(status);
    m_ui->BackupStatus->setToolTip(status);
}

void BackupPage::backUp()
{
    if (m_copying) {
        return; // one copy at a time
    }
    m_context.pictures.show(m_ui->Image39, Pictures::smallNormal());
    guard([this] {
        const auto answer =
            m_context.dialogs.message(this,
                                      QStringLiteral("将数据备份到程序所在文件夹。") +
                                          QDir::toNativeSeparators(m_context.folder),
                                      QString(), Dialogs::Icon::None, Dialogs::Buttons::OkCancel);
        if (answer != Dialogs::Answer::Ok) {
            return;
        }
        const QString target = QDir(m_context.folder).filePath(backupFileName());
        const QDateTime now = m_context.clock.now();
        const QString folder = m_context.folder;
        const qint64 length = QFileInfo(m_context.store.filePath()).size();
        QString historyFailure;
        showStatus({});
        // Two copies on one bar: 备份卡.dat, then the history's entry.
        runCopy(2 * length, [&](DataStore& store, const CopyProgress& progress) {
            backupDatabase(store, target, progress);
            // The backup stands whatever becomes of its entry in the history.
            try {
                BackupHistory(folder).add(store, now, BackupEntry::Kind::Backup,
                                          [&](qint64 copied) { progress(length + copied); });
            } catch (const StoreError& error) {
                qCWarning(backupLog) << "backup written, its history entry not:" << error.code();
                historyFailure = error.message();
            }
        });
        showStatus(historyFailure.isEmpty()
                       ? QStringLiteral("%1 已备份到%2，并记入备份记录。")
                             .arg(timeText(now), backupFileName())
                       : QStringLiteral("%1 已备份到%2。备份记录中的副本没有写入：%3")
                             .arg(timeText(now), backupFileName(), historyFailure),
                   now);
        m_context.dialogs.message(this, QStringLiteral("备份完成。"));
    });
}

void BackupPage::chooseSource()
{
    if (m_copying) {
        return;
    }
    const QString path = m_context.dialogs.openFile(this, QString(), QStringLiteral("*.dat|*.dat"),
                                                    m_context.folder);
    if (!path.isEmpty()) {
        m_ui->Text34->setText(path);
    }
}

void BackupPage::restore()
{
    if (m_copying) {
        return;
    }
    m_context.pictures.show(m_ui->Image40, Pictures::smallNormal());
    if (m_ui->Text34->text().isEmpty()) {
        chooseSource();
        return;
    }
    guard([this] {
        const auto answer =
            m_context.dialogs.message(this, restoreQuestion(), QString(), Dialogs::Icon::None,
                                      Dialogs::Buttons::YesNoDefaultNo);
        if (answer != Dialogs::Answer::Yes) {
            return;
        }
        const QString source = m_ui->Text34->text();
        const QDateTime now = m_context.clock.now();
        const QString folder = m_context.folder;
        QString safetyCopy;
        showStatus({});
        runCopy(QFileInfo(source).size(), [&](DataStore& store, const CopyProgress& progress) {
            BackupHistory history(folder);
            restoreDatabase(store, source, progress, [&] {
                safetyCopy = history.writeSafetyCopy(store, now, BackupEntry::Kind::BeforeRestore);
            });
            // Only now: the source may be the oldest entry.
            history.removeBeyondKeep(safetyCopy);
        });
        showStatus(QStringLiteral("%1 已还原。还原前的数据已保存，列在备份记录中（还原前，%1）。")
                       .arg(timeText(now)),
                   now);
        m_context.dialogs.message(this, QStringLiteral("还原完毕。"));
    });
}

QString BackupPage::restoreQuestion()
{
    return QStringLiteral("还原的数据将覆盖当前数据。是否确定还原？");
}

void BackupPage::runCopy(qint64 length,
                         const std::function<void(DataStore& store, const CopyProgress&)>& copy)
{
    const qint64 maximum = length + kProgressSlack;
    m_progressUnit = 1 + maximum / std::numeric_limits<int>::max();
    m_ui->Pro1->setRange(0, static_cast<int>(maximum / m_progressUnit));
    m_ui->Pro1->setValue(0);
    m_ui->Pro1->show();
    m_copying = true;
    // Nothing of the window reaches the data meanwhile: a timer or a repaint that asks the
    // store is told it is busy, and the window cannot be closed under the copy.
    DataStore& live = m_context.store;
    live.close();
    setStoreHeld(live, true);
    QWidget* top = window();
    top->installEventFilter(this);
    const StoreAddress address = live.address();
    std::exception_ptr failure;
    QThread* worker = QThread::create([this, &copy, &failure, address] {
        try {
            const auto copying = wholeFileWork(); // after a daily backup under way
            const auto own = openStore(address);
            own->copyOnly();
            own->open();
            copy(*own, [this](qint64 copied) {
                QMetaObject::invokeMethod(
                    this, [this, copied] { showProgress(copied); }, Qt::QueuedConnection);
            });
        } catch (...) {
            failure = std::current_exception();
        }
    });
    bool finished = false;
    connect(worker, &QThread::finished, this, [&finished] { finished = true; });
    worker->start();
    // Repaints, timers and progress go on; typing and clicks wait until the copy is over.
    while (!finished) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                        QEventLoop::WaitForMoreEvents);
    }
    worker->wait();
    delete worker;
    top->removeEventFilter(this);
    setStoreHeld(live, false);
    m_ui->Pro1->hide();
    m_ui->Pro1->setValue(0);
    m_copying = false;
    listHistory(); // what was written, also by a copy that failed later
    if (failure) {
        std::rethrow_exception(failure);
    }
}

bool BackupPage::eventFilter(QObject* watched, QEvent* event)
{
    if (m_copying && event->type() == QEvent::Close) {
        event->ignore();
        return true;
    }
    return Page::eventFilter(watched, event);
}

void BackupPage::showProgress(qint64 copied)
{
    if (m_copying) {
        m_ui->Pro1->setValue(
            std::min(m_ui->Pro1->maximum(), static_cast<int>(copied / m_progressUnit)));
    }
}

} // namespace khgl
