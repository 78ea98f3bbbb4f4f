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
#include <QFont>
#include <QMenu>
#include <QPageSize>
#include <QPdfWriter>
#include <QPrinter>
#include <QProgressDialog>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
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
    QAction* print = m_menu->addAction(QStringLiteral("打印…"));
    print->setObjectName(QStringLiteral("printGrid"));
    connect(print, &QAction::triggered, this, &GridMenu::print);
    QAction* pdf = m_menu->addAction(QStringLiteral("导出为 PDF…"));
    pdf->setObjectName(QStringLiteral("exportPdf"));
    connect(pdf, &QAction::triggered, this, &GridMenu::exportPdf);
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
        QPrinter printer(QPrinter::HighResolution);
        printer.setDocName(m_env.caption ? m_env.caption() : QString());
        if (m_env.dialogs.choosePrinter(&m_grid, printer)) {
            layOut()->print(&printer);
        }
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
        QPdfWriter writer(&file);
        writer.setTitle(m_env.caption ? m_env.caption() : QString());
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        layOut()->print(&writer);
        if (!file.commit()) {
            throw StoreError(QStringLiteral("写入文件“%1”失败：%2").arg(path, file.errorString()));
        }
    });
}

// The grid as a document: title, the table with its header row marked to repeat on every
// page, and the total line. QTextDocument numbers the pages when it prints.
std::unique_ptr<QTextDocument> GridMenu::layOut() const
{
    auto document = std::make_unique<QTextDocument>();
    document->setDefaultFont(QFont(QStringLiteral("WenQuanYi Micro Hei"), 9));
    QTextCursor cursor(document.get());
    QTextCharFormat titleFormat;
    titleFormat.setFontPointSize(14);
    titleFormat.setFontWeight(QFont::Bold);
    const QString caption = m_env.caption ? m_env.caption() : QString();
    cursor.insertText(caption + QStringLiteral("  ") +
                          m_env.clock.today().toString(QStringLiteral("yyyy-M-d")),
                      titleFormat);
    cursor.insertBlock();
    const int cols = m_grid.cols() - 1;
    const int rows = m_grid.rows();
    QTextTableFormat tableFormat;
    tableFormat.setHeaderRowCount(1);
    tableFormat.setCellPadding(2);
    tableFormat.setCellSpacing(0);
    tableFormat.setBorderCollapse(true);
    tableFormat.setBorder(0.5);
    tableFormat.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    QTextTable* table = cursor.insertTable(rows, std::max(cols, 1), tableFormat);
    QTextCharFormat headerFormat;
    headerFormat.setFontWeight(QFont::Bold);
    for (int col = 1; col <= cols; ++col) {
        table->cellAt(0, col - 1)
            .firstCursorPosition()
            .insertText(m_grid.text(0, col), headerFormat);
    }
    m_grid.visitRows([&](int row, const std::string* cells) {
        for (int col = 1; col <= cols; ++col) {
            const std::string& text = cells[col];
            table->cellAt(row, col - 1)
                .firstCursorPosition()
                .insertText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
        }
        return true;
    });
    cursor.movePosition(QTextCursor::End);
    const QString total = m_env.total ? m_env.total() : QString();
    if (!total.isEmpty()) {
        cursor.insertBlock();
        cursor.insertText(total);
    }
    return document;
}

} // namespace khgl
