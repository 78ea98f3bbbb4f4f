#include "widgets/grid_menu.h"

#include "data_store/replaced_file.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include "widgets/csv_export.h"
#include "widgets/csv_import.h"
#include "widgets/grid_import.h"
#include "widgets/import_preview.h"
#include "widgets/record_grid.h"
#include "widgets/xlsx_export.h"

#include "data_store/store_error.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPageSize>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QSaveFile>
#include <QStandardPaths>
#include <memory>

namespace khgl {
namespace {

// Below this a grid is written before a progress window would even show.
constexpr int kProgressFromRows = 100000;

// Every output gets the same margins, so the preview shows the pages the PDF and the printer
// get; the paper is turned as the table needs.
void setUpPaper(QPagedPaintDevice& device, const PrintedTable& table)
{
    device.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    choosePrintOrientation(device, table);
}

} // namespace

GridMenu::GridMenu(RecordGrid& grid, Env env)
    : QObject(&grid), m_grid(grid), m_env(std::move(env)), m_menu(new QMenu(&grid))
{
    m_menu->setObjectName(QStringLiteral("gridMenu"));
    struct Entry
    {
        const char16_t* text;
        const char* name;
        void (GridMenu::*run)();
    };
    // One line per entry, in menu order.
    const Entry entries[] = {
        {u"导出为 CSV…", "exportCsv", &GridMenu::exportCsv},
        {u"导出为 Excel…", "exportXlsx", &GridMenu::exportXlsx},
        {u"打印…", "printGrid", &GridMenu::print},
        {u"打印预览…", "printPreview", &GridMenu::printPreview},
        {u"导出为 PDF…", "exportPdf", &GridMenu::exportPdf},
        {u"从 CSV 导入…", "importCsv", &GridMenu::importCsv},
    };
    for (const Entry& entry : entries) {
        QAction* action = m_menu->addAction(QString::fromUtf16(entry.text));
        action->setObjectName(QLatin1String(entry.name));
        connect(action, &QAction::triggered, this, entry.run);
    }
    // Shown once the page hands in an importer.
    m_menu->findChild<QAction*>(QStringLiteral("importCsv"))->setVisible(false);
    m_grid.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&m_grid, &QWidget::customContextMenuRequested, this, &GridMenu::popUp);
}

GridMenu::~GridMenu() = default;

QAction* GridMenu::addCommand(const QString& objectName, const QString& text)
{
    if (!m_hasCommands) {
        m_menu->addSeparator();
        m_hasCommands = true;
    }
    QAction* action = m_menu->addAction(text);
    action->setObjectName(objectName);
    return action;
}

void GridMenu::setImporter(std::unique_ptr<GridImporter> importer,
                           std::function<void()> beforeWrite, std::function<void()> shown)
{
    m_importer = std::move(importer);
    m_beforeWrite = std::move(beforeWrite);
    m_shown = std::move(shown);
    m_menu->findChild<QAction*>(QStringLiteral("importCsv"))->setVisible(m_importer != nullptr);
}

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
        std::unique_ptr<QProgressDialog> progress = progressFor(QStringLiteral("正在导出表格…"));
        const int dataRows = m_grid.rows() - 1;
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

std::unique_ptr<QProgressDialog> GridMenu::progressFor(const QString& text) const
{
    const int dataRows = m_grid.rows() - 1;
    if (dataRows < kProgressFromRows) {
        return nullptr;
    }
    auto progress =
        std::make_unique<QProgressDialog>(text, QStringLiteral("取消"), 0, dataRows, &m_grid);
    progress->setWindowTitle(Dialogs::applicationTitle());
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(300);
    return progress;
}

void GridMenu::exportXlsx()
{
    guarded(m_env.dialogs, &m_grid, [this] {
        QString path = m_env.dialogs.saveFile(&m_grid, QStringLiteral("导出为 Excel"),
                                              QStringLiteral("Excel 工作簿(*.xlsx)|*.xlsx"),
                                              suggestedPath(QStringLiteral(".xlsx")));
        if (path.isEmpty()) {
            return;
        }
        if (QFileInfo(path).suffix().isEmpty()) {
            path += QStringLiteral(".xlsx");
        }
        std::unique_ptr<QProgressDialog> progress = progressFor(QStringLiteral("正在导出表格…"));
        int cut = 0;
        const bool written = writeGridXlsx(
            m_grid, path, m_env.caption ? m_env.caption() : QString(),
            [&progress](int done, int /*total*/) {
                if (!progress) {
                    return true;
                }
                progress->setValue(done);
                return !progress->wasCanceled();
            },
            &cut);
        progress.reset();
        if (written) {
            QString text = QStringLiteral("已导出 %1 行到“%2”。")
                               .arg(m_grid.rows() - 1)
                               .arg(QDir::toNativeSeparators(path));
            if (cut > 0) {
                text +=
                    QStringLiteral("\n其中 %1 格超过 32767 个字，只写入了前 32767 个字。").arg(cut);
            }
            m_env.dialogs.message(&m_grid, text, QStringLiteral("提示"),
                                  Dialogs::Icon::Information);
        }
    });
}

void GridMenu::importCsv()
{
    guarded(m_env.dialogs, &m_grid, [this] {
        if (!m_importer) {
            return;
        }
        const QString path =
            m_env.dialogs.openFile(&m_grid, QStringLiteral("从 CSV 导入"),
                                   QStringLiteral("CSV 文件(*.csv)|*.csv|文本文件(*.txt)|*.txt"),
                                   QFileInfo(suggestedPath(QString())).absolutePath());
        if (path.isEmpty()) {
            return;
        }
        try {
            importFile(path);
        } catch (const ImportCancelled&) {
            m_env.dialogs.inform(&m_grid, QStringLiteral("导入已取消，没有导入任何记录。"));
        }
    });
}

// Read and checked on a thread of their own, the rows are previewed, then written on it.
void GridMenu::importFile(const QString& path)
{
    ImportPlan plan;
    runWithProgress(
        m_grid, QStringLiteral("正在读取文件…"), nullptr, [&](const ImportProgress& progress) {
            // Reading, the encoding and checking the rows: each reports a third of the way.
            const auto third = [&progress](qint64 base) {
                return [&progress, base](qint64 done, qint64 total) {
                    return progress(base * total + done, 3 * total);
                };
            };
            auto text =
                std::make_shared<CsvText>(csvText(readCsvBytes(path, third(0)), path, third(1)));
            plan = planImport(std::move(text), *m_importer, third(2));
        });
    if (plan.rows == 0) {
        m_env.dialogs.inform(&m_grid, QStringLiteral("文件中没有记录，没有导入任何记录。"));
        return;
    }
    {
        ImportPreview preview(plan, *m_importer, path, &m_grid);
        preview.setWindowModality(Qt::WindowModal);
        if (m_env.dialogs.exec(preview) != QDialog::Accepted) {
            return;
        }
    }
    if (m_beforeWrite) {
        m_beforeWrite();
    }
    runWithProgress(
        m_grid, QStringLiteral("正在导入…"), &m_importer->store(),
        [&](const ImportProgress& progress) { writeGoodRows(plan, *m_importer, progress); });
    if (m_shown) {
        m_shown();
    }
    m_env.dialogs.inform(&m_grid, QStringLiteral("已导入 %1 条记录。").arg(plan.good));
}

void GridMenu::print()
{
    guarded(m_env.dialogs, &m_grid, [this] {
        const PrintedTable table = printedTable();
        QPrinter printer(QPrinter::HighResolution);
        printer.setDocName(table.title);
        setUpPaper(printer, table);
        if (m_env.dialogs.choosePrinter(&m_grid, printer)) {
            printTable(printer, table);
        }
    });
}

// The pages as they would print, in Qt's preview window; its own print button prints them.
void GridMenu::printPreview()
{
    guarded(m_env.dialogs, &m_grid, [this] {
        const PrintedTable table = printedTable();
        QPrinter printer(QPrinter::HighResolution);
        printer.setDocName(table.title);
        setUpPaper(printer, table);
        QPrintPreviewDialog preview(&printer, &m_grid);
        preview.setObjectName(QStringLiteral("printPreviewDialog"));
        preview.setWindowTitle(QStringLiteral("打印预览"));
        connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                [&table](QPrinter* target) { printTable(*target, table); });
        m_env.dialogs.exec(preview);
    });
}

void GridMenu::exportPdf()
{
    guarded(m_env.dialogs, &m_grid, [this] {
        QString path = m_env.dialogs.saveFile(&m_grid, QStringLiteral("导出为 PDF"),
                                              QStringLiteral("PDF 文件(*.pdf)|*.pdf"),
                                              suggestedPath(QStringLiteral(".pdf")));
        if (path.isEmpty()) {
            return;
        }
        if (QFileInfo(path).suffix().isEmpty()) {
            path += QStringLiteral(".pdf");
        }
        // The PDF goes to a temporary file beside the target and replaces it only when whole.
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            throw StoreError(QStringLiteral("无法写入文件“%1”：%2").arg(path, file.errorString()));
        }
        const PrintedTable table = printedTable();
        QPdfWriter writer(&file);
        writer.setTitle(table.title);
        writer.setPageSize(QPageSize(QPageSize::A4));
        setUpPaper(writer, table);
        printTable(writer, table);
        if (!commitWhole(file)) {
            throw StoreError(QStringLiteral("写入文件“%1”失败：%2").arg(path, file.errorString()));
        }
    });
}

// What the grid shows, for paper: its header, its rows and the page's total line.
PrintedTable GridMenu::printedTable() const
{
    PrintedTable table;
    const QString caption = m_env.caption ? m_env.caption() : QString();
    table.title =
        caption + QStringLiteral("  ") + m_env.clock.today().toString(QStringLiteral("yyyy-M-d"));
    const int cols = m_grid.cols();
    for (int col = 1; col < cols; ++col) {
        table.header << m_grid.text(0, col);
    }
    table.rows.reserve(static_cast<size_t>(std::max(m_grid.rows() - 1, 0)));
    m_grid.visitRows([&](int /*row*/, const std::string* cells) {
        QStringList& row = table.rows.emplace_back();
        for (int col = 1; col < cols; ++col) {
            const std::string& text = cells[col];
            row << QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        }
        return true;
    });
    table.total = m_env.total ? m_env.total() : QString();
    return table;
}

} // namespace khgl
