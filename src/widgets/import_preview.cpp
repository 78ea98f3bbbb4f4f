#include "widgets/import_preview.h"

#include "data_store/store_hold.h"
#include "platform/dialogs.h"
#include "ui_import_preview.h"
#include "widgets/grid_import.h"
#include "widgets/record_grid.h"
#include "widgets/screen_fit.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <atomic>

namespace khgl {
namespace {

constexpr int kRowHeight = 300;
constexpr int kLineWidth = 700;
constexpr int kCellWidth = 1400;
constexpr int kProblemWidth = 3600;

std::string utf8(const QString& text)
{
    return text.toStdString();
}

// The plan's rows, read again a block at a time from the mark before the first one asked.
class PlannedRows final : public RowSource
{
public:
    PlannedRows(const ImportPlan& plan, const GridImporter& importer)
        : m_plan(plan), m_reader(*plan.text, importer)
    {
    }

    int count() override { return m_plan.rows; }

    int fetch(int first, int n, int cols, std::vector<std::string>& cells,
              std::vector<qint64>& /*keys*/) override
    {
        const ImportPlan::Mark& mark =
            m_plan.marks[static_cast<size_t>(first / ImportPlan::kBlockRows)];
        m_reader.seek(mark.position, mark.line);
        ImportRow row;
        for (int skip = first % ImportPlan::kBlockRows; skip > 0; --skip) {
            m_reader.next(row);
        }
        int written = 0;
        while (written < n && first + written < m_plan.rows && m_reader.next(row)) {
            std::string* out = &cells[static_cast<size_t>(written) * static_cast<size_t>(cols)];
            out[1] = std::to_string(row.line);
            for (int c = 0; c < row.cells.size() && c + 2 < cols - 1; ++c) {
                out[c + 2] = utf8(row.cells[c]);
            }
            out[cols - 1] = utf8(row.problems);
            ++written;
        }
        return written;
    }

    void removed(int /*row*/) override {}

private:
    const ImportPlan& m_plan;
    ImportReader m_reader;
};

void fill(RecordGrid& grid, const ImportPlan& plan, const GridImporter& importer)
{
    const int cols = static_cast<int>(plan.headers.size()) + 3;
    {
        RecordGrid::Batch batch(grid);
        grid.setCols(cols);
        grid.setRows(1);
        grid.setText(0, 1, QStringLiteral("行号"));
        for (int c = 0; c < plan.headers.size(); ++c) {
            grid.setText(0, c + 2, plan.headers[c]);
        }
        grid.setText(0, cols - 1, QStringLiteral("问题"));
    }
    grid.showSource(std::make_unique<PlannedRows>(plan, importer));
    grid.scrollToTop();
}

// Keeps a window open while work it hosts goes on.
class KeepOpen final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Close) {
            event->ignore();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

// How far the work came, written by its thread and shown by the window's.
struct Shared
{
    std::atomic<qint64> done{0};
    std::atomic<qint64> total{1};
    std::atomic<bool> cancelled{false};
    std::atomic<bool> finished{false};
};

constexpr int kProgressSteps = 1000;

} // namespace

void runWithProgress(QWidget& top, const QString& text, DataStore* held,
                     const std::function<void(const ImportProgress&)>& work)
{
    Shared shared;
    QProgressDialog dialog(text, QStringLiteral("取消"), 0, kProgressSteps, &top);
    dialog.setObjectName(QStringLiteral("importProgress"));
    dialog.setWindowTitle(Dialogs::applicationTitle());
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setMinimumDuration(300);
    QObject::connect(&dialog, &QProgressDialog::canceled, &dialog,
                     [&shared] { shared.cancelled = true; });
    QTimer poll;
    poll.setInterval(100);
    QObject::connect(&poll, &QTimer::timeout, &dialog, [&] {
        if (!shared.cancelled) {
            const qint64 total = std::max<qint64>(shared.total, 1);
            dialog.setValue(static_cast<int>(shared.done * kProgressSteps / total));
        }
    });
    KeepOpen keepOpen;
    top.window()->installEventFilter(&keepOpen);
    if (held != nullptr) {
        setStoreHeld(*held, true);
    }
    std::exception_ptr failure;
    QThread* thread = QThread::create([&] {
        if (held != nullptr) {
            useHeldStore();
        }
        try {
            work([&shared](qint64 done, qint64 total) {
                shared.done = done;
                shared.total = total;
                return !shared.cancelled;
            });
        } catch (...) {
            failure = std::current_exception();
        }
        shared.finished = true;
    });
    QObject::connect(thread, &QThread::finished, &dialog, [] {});
    poll.start();
    thread->start();
    // Input waits until the progress window shows (it then takes it all, 取消 included) and
    // again once it is cancelled and hidden.
    while (!shared.finished) {
        const bool shown = dialog.isVisible();
        QCoreApplication::processEvents(
            (shown ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents) |
            QEventLoop::WaitForMoreEvents);
    }
    thread->wait();
    delete thread;
    poll.stop();
    if (held != nullptr) {
        setStoreHeld(*held, false);
    }
    top.window()->removeEventFilter(&keepOpen);
    if (failure) {
        std::rethrow_exception(failure);
    }
}

ImportPreview::ImportPreview(const ImportPlan& plan, const GridImporter& importer,
                             const QString& fileName, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::ImportPreview>())
{
    m_ui->setupUi(this);
    screen_fit::fitWindow(this);
    setWindowTitle(QStringLiteral("导入预览 - ") + QFileInfo(fileName).fileName());
    RecordGrid& grid = *m_ui->ImportGrid;
    fill(grid, plan, importer);
    grid.setColWidth(0, 300);
    grid.setColWidth(1, kLineWidth);
    for (int c = 2; c < grid.cols() - 1; ++c) {
        grid.setColWidth(c, kCellWidth);
    }
    grid.setColWidth(grid.cols() - 1, kProblemWidth);
    grid.setRowHeight(0, kRowHeight);
    grid.setRowMarker([&bad = plan.bad](int row) {
        return row >= 1 && row <= static_cast<int>(bad.size()) && bad[static_cast<size_t>(row - 1)];
    });
    const int badRows = plan.rows - plan.good;
    QString counts = QStringLiteral("共 %1 条记录：有效 %2 条，有问题 %3 条（红色，不导入）。")
                         .arg(plan.rows)
                         .arg(plan.good)
                         .arg(badRows);
    if (!plan.unknown.isEmpty()) {
        counts +=
            QStringLiteral("\n不认识的列（已忽略）：") + plan.unknown.join(QStringLiteral("、"));
    }
    m_ui->ImportCounts->setText(counts);
    m_ui->ImportConfirm->setText(QStringLiteral("导入 %1 条有效记录").arg(plan.good));
    m_ui->ImportConfirm->setEnabled(plan.good > 0);
    connect(m_ui->ImportConfirm, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui->ImportCancel, &QPushButton::clicked, this, &QDialog::reject);
}

ImportPreview::~ImportPreview() = default;

} // namespace khgl
