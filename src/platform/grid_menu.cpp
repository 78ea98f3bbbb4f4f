#include "platform/grid_menu.h"

#include "platform/clock.h"
#include "platform/csv_export.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include "platform/record_grid.h"

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
        QString text;
        const char* name;
        void (GridMenu::*run)();
    };
    // One line per entry, in the order the menu shows them.
    const Entry entries[] = {
        {QStringLiteral("导出为 CSV…"), "exportCsv", &GridMenu::exportCsv},
        {QStringLiteral("打印…"), "printGrid", &GridMenu::print},
        {QStringLiteral("打印预览…"), "printPreview", &GridMenu::printPreview},
        {QStringLiteral("导出为 PDF…"), "exportPdf", &GridMenu::exportPdf},
    };
    for (const Entry& entry : entries) {
        QAction* action = m_menu->addAction(entry.text);
        action->setObjectName(QString::fromLatin1(entry.name));
        connect(action, &QAction::triggered, this, entry.run);
    }
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
        if (!file.commit()) {
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
