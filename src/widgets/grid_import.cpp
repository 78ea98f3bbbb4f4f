#include "widgets/grid_import.h"

#include "data_store/store_error.h"
#include "data_store/values.h"
#include "widgets/csv_import.h"

#include <QSet>

namespace khgl {

namespace import_check {

void number(QStringList& problems, const QString& header, const QString& text)
{
    if (!text.isEmpty() && !parseNumber(text)) {
        problems << QStringLiteral("“%1”不是数字").arg(header);
    }
}

void date(QStringList& problems, const QString& header, const QString& text)
{
    if (!text.isEmpty() && !parseDate(text)) {
        problems << QStringLiteral("“%1”不是日期").arg(header);
    }
}

void length(QStringList& problems, const QString& header, const QString& text, qsizetype most)
{
    if (characterCount(text) > most) {
        problems << QStringLiteral("“%1”超过 %2 个字").arg(header).arg(most);
    }
}

} // namespace import_check

std::vector<QStringList> ImportPlan::goodRows() const
{
    std::vector<QStringList> kept;
    kept.reserve(static_cast<size_t>(good));
    for (size_t i = 0; i < rows.size(); ++i) {
        if (problems[i].isEmpty()) {
            kept.push_back(rows[i]);
        }
    }
    return kept;
}

ImportPlan planImport(const CsvTable& table, const GridImporter& importer)
{
    const std::vector<ImportColumn> columns = importer.columns();
    ImportPlan plan;
    std::vector<qsizetype> from; // the file column of each importer column, -1 for none
    QSet<QString> seen;
    for (const QString& header : table.header) {
        if (seen.contains(header)) {
            throw StoreError(
                QStringLiteral("文件中“%1”列出现了两次，没有导入任何记录。").arg(header));
        }
        seen.insert(header);
    }
    for (const ImportColumn& column : columns) {
        plan.headers << column.header;
        from.push_back(table.header.indexOf(column.header));
        if (column.required && from.back() < 0) {
            throw StoreError(
                QStringLiteral("文件中没有“%1”列，没有导入任何记录。").arg(column.header));
        }
    }
    for (const QString& header : table.header) {
        if (!plan.headers.contains(header)) {
            plan.unknown << header;
        }
    }
    plan.rows.reserve(table.rows.size());
    plan.problems.reserve(table.rows.size());
    for (const QStringList& fields : table.rows) {
        QStringList row;
        QStringList problems;
        for (size_t c = 0; c < columns.size(); ++c) {
            const qsizetype at = from[c];
            const bool read = columns[c].taken && at >= 0 && at < fields.size();
            row << (read ? unguardedCsvText(fields[at]) : QString());
            import_check::length(problems, columns[c].header, row.back(), kMaxStoredCharacters);
            if (columns[c].required && row.back().trimmed().isEmpty()) {
                problems << QStringLiteral("“%1”不能为空").arg(columns[c].header);
            }
        }
        if (fields.size() > table.header.size()) {
            problems
                << QStringLiteral("比标题行多出 %1 格").arg(fields.size() - table.header.size());
        }
        problems << importer.check(row);
        plan.problems.push_back(problems.join(QStringLiteral("；")));
        plan.good += problems.isEmpty() ? 1 : 0;
        plan.rows.push_back(std::move(row));
    }
    plan.lines = table.lines;
    return plan;
}

} // namespace khgl
