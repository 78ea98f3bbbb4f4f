#pragma once

#include "statistics/chart_tables.h"

#include <QChartView>

namespace khgl {

// A chart fed one two-column table (label, value): one point or bar per row, the labels
// along the bottom axis.
class TableChart final : public QChartView
{
    Q_OBJECT

public:
    enum class Kind
    {
        Line,
        Bar
    };

    explicit TableChart(QWidget* parent = nullptr);

    void setKind(Kind kind);
    Kind kind() const { return m_kind; }
    // Replaces what the chart shows with the table, in one step.
    void setTable(const ChartTable& table);
    const ChartTable& table() const { return m_table; }

private:
    void rebuild();
    void addLineSeries(QChart* chart);
    void addBarSeries(QChart* chart);
    void addAxes(QChart* chart);
    static QAbstractAxis* pointAxis(QChart* chart, const QStringList& labels);
    static QAbstractAxis* barAxis(QChart* chart, const QStringList& labels);
    bool labelsFitUpright(const QStringList& labels, const QFont& font) const;

    Kind m_kind = Kind::Line;
    ChartTable m_table;
};

} // namespace khgl
