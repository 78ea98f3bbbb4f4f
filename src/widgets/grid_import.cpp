#include "widgets/grid_import.h"

#include "data_store/store_error.h"
#include "data_store/values.h"

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

void GridImporter::save(const std::vector<QStringList>& rows)
{
    write(feedOf(rows));
}

ImportReader::ImportReader(const CsvText& text, const GridImporter& importer)
    : m_importer(importer), m_columns(importer.columns()),
      m_reader(std::make_unique<CsvReader>(text))
{
    const QStringList header = m_reader->header();
    QSet<QString> seen;
    for (const QString& name : header) {
        if (seen.contains(name)) {
            throw StoreError(
                QStringLiteral("文件中“%1”列出现了两次，没有导入任何记录。").arg(name));
        }
        seen.insert(name);
    }
    for (const ImportColumn& column : m_columns) {
        m_headers << column.header;
        m_from.push_back(header.indexOf(column.header));
        if (column.required && m_from.back() < 0) {
            throw StoreError(
                QStringLiteral("文件中没有“%1”列，没有导入任何记录。").arg(column.header));
        }
    }
    for (const QString& name : header) {
        if (!m_headers.contains(name)) {
            m_unknown << name;
        }
    }
    m_fileColumns = header.size();
}

ImportReader::~ImportReader() = default;

qsizetype ImportReader::position() const
{
    return m_reader->position();
}

int ImportReader::line() const
{
    return m_reader->line();
}

void ImportReader::seek(qsizetype position, int line)
{
    m_reader->seek(position, line);
}

bool ImportReader::next(ImportRow& row, bool explain)
{
    if (!m_reader->next(m_fields, row.line)) {
        return false;
    }
    row.cells.clear();
    QStringList problems;
    bool bad = false;
    for (size_t c = 0; c < m_columns.size(); ++c) {
        const qsizetype at = m_from[c];
        const bool read = m_columns[c].taken && at >= 0 && at < m_fields.size();
        row.cells << (read ? unguardedCsvText(m_fields[at]) : QString());
        // The one size rule of every stored text, whatever the column's own limit.
        if (characterCount(row.cells.back()) > kMaxStoredCharacters) {
            bad = true;
            if (explain) {
                import_check::length(problems, m_columns[c].header, row.cells.back(),
                                     kMaxStoredCharacters);
            }
        }
        if (m_columns[c].required && row.cells.back().trimmed().isEmpty()) {
            bad = true;
            if (explain) {
                problems << QStringLiteral("“%1”不能为空").arg(m_columns[c].header);
            }
        }
    }
    if (m_fields.size() > m_fileColumns) {
        bad = true;
        if (explain) {
            problems << QStringLiteral("比标题行多出 %1 格").arg(m_fields.size() - m_fileColumns);
        }
    }
    // A row already bad needs no more checks unless its problems are shown.
    if (!bad || explain) {
        const QStringList found = m_importer.check(row.cells);
        bad = bad || !found.isEmpty();
        problems << found;
    }
    row.good = !bad;
    row.problems = problems.join(QStringLiteral("；"));
    return true;
}

ImportPlan planImport(std::shared_ptr<const CsvText> text, const GridImporter& importer,
                      const ImportProgress& progress)
{
    ImportReader reader(*text, importer);
    ImportPlan plan;
    plan.headers = reader.headers();
    plan.unknown = reader.unknown();
    const qint64 total = text->bytes.size();
    ImportRow row;
    for (;;) {
        if (plan.rows % ImportPlan::kBlockRows == 0) {
            plan.marks.push_back({reader.position(), reader.line()});
            if (progress && !progress(reader.position(), total)) {
                throw ImportCancelled();
            }
        }
        if (!reader.next(row, false)) {
            break;
        }
        ++plan.rows;
        plan.bad.push_back(!row.good);
        plan.good += row.good ? 1 : 0;
    }
    plan.text = std::move(text);
    return plan;
}

void writeGoodRows(const ImportPlan& plan, GridImporter& importer, const ImportProgress& progress)
{
    ImportReader reader(*plan.text, importer);
    const qint64 total = plan.text->bytes.size();
    ImportRow row;
    int fed = 0;
    importer.write([&](QStringList& cells) {
        // The rows after the last good one are not read again.
        while (fed < plan.good && reader.next(row, false)) {
            if (progress && !progress(reader.position(), total)) {
                throw ImportCancelled();
            }
            if (row.good) {
                cells = std::move(row.cells);
                ++fed;
                return true;
            }
        }
        return false;
    });
}

} // namespace khgl
