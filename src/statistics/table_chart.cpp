#include "statistics/table_chart.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QFontMetrics>
#include <QLineSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace khgl {
namespace {

const QColor kSeriesColour(0, 102, 204);

// Room the left axis and the margins take from the plot's width, in pixels.
constexpr int kVerticalAxisRoom = 60;
constexpr int kLabelGap = 4;
constexpr double kLowestWholeTop = 5;

} // namespace

TableChart::TableChart(QWidget* parent) : QChartView(parent)
{
    setRenderHint(QPainter::Antialiasing);
    rebuild();
}

void TableChart::setKind(Kind kind)
{
    m_kind = kind;
    rebuild();
}

void TableChart::setTable(const ChartTable& table)
{
    m_table = table;
    rebuild();
}

void TableChart::rebuild()
{
    auto* chart = new QChart();
    chart->legend()->hide();
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->setBackgroundRoundness(0);
    if (m_kind == Kind::Line) {
        addLineSeries(chart);
    } else {
        addBarSeries(chart);
    }
    addAxes(chart);
    QChart* old = this->chart();
    setChart(chart);
    delete old;
}

void TableChart::addLineSeries(QChart* chart)
{
    auto* series = new QLineSeries(chart);
    series->setColor(kSeriesColour);
    series->setPointsVisible(true);
    for (std::size_t i = 0; i < m_table.size(); ++i) {
        series->append(static_cast<qreal>(i), m_table[i].value);
    }
    chart->addSeries(series);
}

void TableChart::addBarSeries(QChart* chart)
{
    auto* set = new QBarSet(QString());
    set->setColor(kSeriesColour);
    for (const ChartPoint& point : m_table) {
        set->append(point.value);
    }
    auto* series = new QBarSeries(chart);
    series->append(set);
    chart->addSeries(series);
}

void TableChart::addAxes(QChart* chart)
{
    QStringList labels;
    double lowest = 0;
    double highest = 0;
    bool whole = true;
    for (const ChartPoint& point : m_table) {
        labels << point.label;
        lowest = std::min(lowest, point.value);
        highest = std::max(highest, point.value);
        whole = whole && point.value == std::floor(point.value);
    }
    QAbstractAxis* bottom =
        m_kind == Kind::Line ? pointAxis(chart, labels) : barAxis(chart, labels);
    QFont small = bottom->labelsFont();
    small.setPointSize(7);
    bottom->setLabelsFont(small);
    bottom->setTruncateLabels(false);
    if (!labelsFitUpright(labels, small)) {
        bottom->setLabelsAngle(-90);
    }
    auto* left = new QValueAxis(chart);
    left->setLabelsFont(small);
    // Counts get whole-number steps; a flat chart still shows a scale.
    const double top = whole ? std::max(highest, kLowestWholeTop) : highest;
    left->setRange(lowest, top > lowest ? top : lowest + 1);
    left->applyNiceNumbers();
    left->setLabelFormat(whole ? QStringLiteral("%.0f") : QStringLiteral("%g"));
    chart->addAxis(bottom, Qt::AlignBottom);
    chart->addAxis(left, Qt::AlignLeft);
    for (QAbstractSeries* series : chart->series()) {
        series->attachAxis(bottom);
        series->attachAxis(left);
    }
}

// Line points sit at 0 .. n-1; each label stands under its point, and half a step of room
// on either side keeps the first and last labels inside the chart.
QAbstractAxis* TableChart::pointAxis(QChart* chart, const QStringList& labels)
{
    auto* axis = new QCategoryAxis(chart);
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    axis->setStartValue(-0.5);
    for (qsizetype i = 0; i < labels.size(); ++i) {
        axis->append(labels.at(i), static_cast<qreal>(i));
    }
    axis->setRange(-0.5, static_cast<qreal>(labels.size()) - 0.5);
    return axis;
}

QAbstractAxis* TableChart::barAxis(QChart* chart, const QStringList& labels)
{
    auto* axis = new QBarCategoryAxis(chart);
    axis->append(labels);
    return axis;
}

// Whether every label fits across its share of the plot's width without turning.
bool TableChart::labelsFitUpright(const QStringList& labels, const QFont& font) const
{
    if (labels.isEmpty()) {
        return true;
    }
    const QFontMetrics metrics(font);
    int widest = 0;
    for (const QString& label : labels) {
        widest = std::max(widest, metrics.horizontalAdvance(label));
    }
    const int share = (width() - kVerticalAxisRoom) / static_cast<int>(labels.size());
    return widest + kLabelGap <= share;
}

} // namespace khgl
