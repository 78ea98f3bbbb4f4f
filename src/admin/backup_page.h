#pragma once

#include "admin/backup_history.h"
#include "admin/database_copy.h"
#include "widgets/page.h"

#include <functional>
#include <memory>

namespace Ui {
class BackupPage;
}

namespace khgl {

class DataStore;

// The backup sub-page of the settings: copies khgl.dll to the backup file in the application
// folder, and a chosen backup back over khgl.dll.
class BackupPage final : public Page
{
    Q_OBJECT

public:
    BackupPage(PageEnv& env, QWidget* parent);
    ~BackupPage() override;

    void loadNormalPictures() override;
    void opened() override;

    static QString backupFileName() { return QStringLiteral("备份卡.dat"); }
    static QString restoreQuestion();

    // The state of the daily backup, shown under the progress bar; a finished one is listed.
    void showDailyBackupStatus(const QString& text, bool finished);
    // A daily backup that failed, said in the status line too.
    void showDailyBackupFailure(const QString& message);

private:
    void listHistory();
    void pickFromHistory(int row);
    void backUp();
    void chooseSource();
    void restore();
    // Runs one copy on a thread of its own, through a connection of its own, with the progress
    // bar shown; length is the number of bytes the copy writes. The store is held meanwhile.
    void runCopy(qint64 length,
                 const std::function<void(DataStore& store, const CopyProgress&)>& copy);
    void showProgress(qint64 copied);
    void showStatus(const QString& text, const QDateTime& now = {});
    bool eventFilter(QObject* watched, QEvent* event) override;

    std::unique_ptr<Ui::BackupPage> m_ui;
    BackupHistory m_history;
    bool m_copying = false;
    qint64 m_progressUnit = 1; // bytes per step of the bar, for files beyond its int range
};

} // namespace khgl
