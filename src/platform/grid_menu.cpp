#include "platform/grid_menu.h"

#include "platform/clock.h"
#include "platform/csv_export.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include "platform/record_grid.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QProgressDialog>
#include <QStandardPaths>
#include <memory>

namespace khgl {
namespace {

// Below this a grid is written before a progress window would even show.
constexpr int kProgressFromRows = 100000;

} // namespace

GridMenu::GridMenu(RecordGrid& grid, Env env)
    : QObject(&grid), m_grid(grid), m_env(std::move(env)), m_menu(new QMenu(&grid))
{
    m_menu->setObjectName(QStringLiteral("gridMenu"));
    QAction* csv = m_menu->addAction(QStringLiteral("导出为 CSV…"));
    csv->setObjectName(QStringLiteral("exportCsv"));
    connect(csv, &QAction::triggered, this, &GridMenu::exportCsv);
    m_grid.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&m_grid, &QWidget::customContextMenuRequested, this, &GridMenu::popUp);
}

GridMenu::~GridMenu() = default;

QString GridMenu::csvFilter()
{
    return QStringLiteral("CSV 文件，UTF-8(*.csv)|*.csv|CSV 文件，GB18030(*.csv)|*.csv");
}

void GridMenu::popUp(const QPoint& pos)
{
    m_menu->popup(m_grid.viewport()->mapToGlobal(pos));
}

QString GridMenu::suggestedPath(const QString& suffix) const
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        folder = QDir::homePath();
    }
    QString name = m_env.caption ? m_env.caption() : QString();
    if (name.isEmpty()) {
        name = QStringLiteral("表格");
    }
    return QDir(folder).filePath(name + m_env.clock.today().toString(QStringLiteral("-yyyyMMdd")) +
                                 suffix);
}

void GridMenu::exportCsv()
{
    guarded(m_env.dialogs, &m_grid, [this] {
        int type = 0;
        QString path = m_env.dialogs.saveFile(&m_grid, QStringLiteral("导出为 CSV"), csvFilter(),
                                              suggestedPath(QStringLiteral(".csv")), &type);
        if (path.isEmpty()) {
            return;
        }
        if (QFileInfo(path).suffix().isEmpty()) {
            path += QStringLiteral(".csv");
        }
        const CsvEncoding encoding = type == 1 ? CsvEncoding::Gb18030 : CsvEncoding::Utf8WithBom;
        std::unique_ptr<QProgressDialog> progress;
        const int dataRows = m_grid.rows() - 1;
        if (dataRows >= kProgressFromRows) {
            progress = std::make_unique<QProgressDialog>(
                QStringLiteral("正在导出表格…"), QStringLiteral("取消"), 0, dataRows, &m_grid);
            progress->setWindowTitle(Dialogs::applicationTitle());
            progress->setWindowModality(Qt::WindowModal);
            progress->setMinimumDuration(300);
        }
        const bool written =
            writeGridCsv(m_grid, path, encoding, [&progress](int done, int /*total*/) {
                if (!progress) {
                    return true;
                }
                progress->setValue(done);
                return !progress->wasCanceled();
            });
        progress.reset();
        if (written) {
            m_env.dialogs.message(&m_grid,
                                  QStringLiteral("已导出 %1 行到“%2”。")
                                      .arg(dataRows)
                                      .arg(QDir::toNativeSeparators(path)),
                                  QStringLiteral("提示"), Dialogs::Icon::Information);
        }
    });
}

} // namespace khgl
