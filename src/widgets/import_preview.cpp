#include "widgets/import_preview.h"

#include "ui_import_preview.h"
#include "widgets/grid_import.h"
#include "widgets/record_grid.h"
#include "widgets/screen_fit.h"

#include <QFileInfo>

namespace khgl {
namespace {

constexpr int kRowHeight = 300;
constexpr int kLineWidth = 700;
constexpr int kCellWidth = 1400;
constexpr int kProblemWidth = 3600;

void fill(RecordGrid& grid, const ImportPlan& plan)
{
    const int cols = static_cast<int>(plan.headers.size()) + 3;
    RecordGrid::Batch batch(grid);
    grid.setCols(cols);
    grid.setRows(static_cast<int>(plan.rows.size()) + 1);
    grid.setText(0, 1, QStringLiteral("行号"));
    for (int c = 0; c < plan.headers.size(); ++c) {
        grid.setText(0, c + 2, plan.headers[c]);
    }
    grid.setText(0, cols - 1, QStringLiteral("问题"));
    for (size_t r = 0; r < plan.rows.size(); ++r) {
        const int row = static_cast<int>(r) + 1;
        grid.setText(row, 1, QString::number(plan.lines[r]));
        const QStringList& cells = plan.rows[r];
        for (int c = 0; c < cells.size(); ++c) {
            grid.setText(row, c + 2, cells[c]);
        }
        grid.setText(row, cols - 1, plan.problems[r]);
    }
}

} // namespace

ImportPreview::ImportPreview(const ImportPlan& plan, const QString& fileName, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::ImportPreview>())
{
    m_ui->setupUi(this);
    screen_fit::fitWindow(this);
    setWindowTitle(QStringLiteral("导入预览 - ") + QFileInfo(fileName).fileName());
    RecordGrid& grid = *m_ui->ImportGrid;
    fill(grid, plan);
    grid.setColWidth(0, 300);
    grid.setColWidth(1, kLineWidth);
    for (int c = 2; c < grid.cols() - 1; ++c) {
        grid.setColWidth(c, kCellWidth);
    }
    grid.setColWidth(grid.cols() - 1, kProblemWidth);
    grid.setRowHeight(0, kRowHeight);
    std::vector<bool> bad;
    bad.reserve(plan.problems.size());
    for (const QString& problems : plan.problems) {
        bad.push_back(!problems.isEmpty());
    }
    grid.setRowMarker([bad = std::move(bad)](int row) {
        return row >= 1 && row <= static_cast<int>(bad.size()) && bad[static_cast<size_t>(row - 1)];
    });
    const int badRows = static_cast<int>(plan.rows.size()) - plan.good;
    QString counts = QStringLiteral("共 %1 条记录：有效 %2 条，有问题 %3 条（红色，不导入）。")
                         .arg(plan.rows.size())
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
