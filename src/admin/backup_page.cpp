#include "admin/backup_page.h"

#include "admin/database_copy.h"
#include "data_store/data_store.h"
#include "platform/app_context.h"
#include "platform/dialogs.h"
#include "platform/hover.h"
#include "ui_backup_page.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
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

} // namespace

BackupPage::BackupPage(PageEnv& env, QWidget* parent)
    : Page(env, parent), m_ui(std::make_unique<Ui::BackupPage>())
{
    m_ui->setupUi(this);
    m_ui->Pro1->hide();
    m_hover.addSmall(m_ui->Frame35, m_ui->Label89, m_ui->Image39, &m_flags.a);
    m_hover.addSmall(m_ui->Frame35, m_ui->Label90, m_ui->Image40, &m_flags.b);
    loadNormalPictures();
    connect(m_ui->Label89, &ClickLabel::clicked, this, &BackupPage::backUp);
    connect(m_ui->Text34, &ClickLineEdit::clicked, this, &BackupPage::chooseSource);
    connect(m_ui->Label90, &ClickLabel::clicked, this, &BackupPage::restore);
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
    // The data folder need not be the program's: name the one the backup really goes to.
    const QString caption =
        QStringLiteral("数据库备份到数据文件夹：") + QDir::toNativeSeparators(m_context.folder);
    m_ui->Label91->setToolTip(caption);
    m_ui->Label91->setText(
        m_ui->Label91->fontMetrics().elidedText(caption, Qt::ElideMiddle, m_ui->Label91->width()));
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
        runCopy(QFileInfo(m_context.store.filePath()).size(),
                [this, &target](const CopyProgress& progress) {
                    backupDatabase(m_context.store, target, progress);
                });
        m_context.dialogs.message(this, QStringLiteral("备份完成。"));
    });
}

void BackupPage::chooseSource()
{
    if (m_copying) {
        return;
    }
    const QString path =
        m_context.dialogs.openFile(this, QString(), QStringLiteral("*.dat|*.dat"), QString());
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
        const auto answer = m_context.dialogs.message(
            this, QStringLiteral("还原的数据将覆盖当前数据。是否确定还原？"), QString(),
            Dialogs::Icon::None, Dialogs::Buttons::YesNo);
        if (answer != Dialogs::Answer::Yes) {
            return;
        }
        const QString source = m_ui->Text34->text();
        runCopy(QFileInfo(source).size(), [this, &source](const CopyProgress& progress) {
            restoreDatabase(m_context.store, source, progress);
        });
        m_context.dialogs.message(this, QStringLiteral("还原完毕。"));
    });
}

void BackupPage::runCopy(qint64 length, const std::function<void(const CopyProgress&)>& copy)
{
    const qint64 maximum = length + kProgressSlack;
    m_progressUnit = 1 + maximum / std::numeric_limits<int>::max();
    m_ui->Pro1->setRange(0, static_cast<int>(maximum / m_progressUnit));
    m_ui->Pro1->setValue(0);
    m_ui->Pro1->show();
    m_copying = true;
    const auto finish = [this] {
        m_ui->Pro1->hide();
        m_ui->Pro1->setValue(0);
        m_copying = false;
    };
    try {
        copy([this](qint64 copied) { showProgress(copied); });
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

// Repaints the bar between blocks; input waits until the copy is over.
void BackupPage::showProgress(qint64 copied)
{
    m_ui->Pro1->setValue(
        std::min(m_ui->Pro1->maximum(), static_cast<int>(copied / m_progressUnit)));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace khgl
