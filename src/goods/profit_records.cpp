#include "goods/profit_records.h"

#include "data_store/data_store.h"
#include "data_store/date_text.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>

namespace khgl::goods {
namespace {

__extension__ using Wide = __int128;

constexpr int kMoneyDecimals = 2;
constexpr int kQuantityDecimals = 3;
constexpr qint64 kThousand = 1000;
// Day keys are yyyymmdd (date_text.h); a date that names no day has the key -1.
constexpr qint64 kNoDay = kNoDayKey;
constexpr qint64 kLastKey = std::numeric_limits<qint32>::max();

// n / d rounded half away from zero; d > 0.
qint64 divideRounded(Wide n, Wide d)
{
    return static_cast<qint64>((n >= 0 ? 2 * n + d : 2 * n - d) / (2 * d));
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The keys a period counts, both ends included.
struct KeyRange
{
    qint64 low = kNoDay;
    qint64 high = kLastKey;

    bool holds(qint64 key) const { return key >= low && key <= high; }
};

// Sales: the period itself; a date that names no day counts only when both ends are open.
KeyRange salesRange(const ProfitPeriod& period)
{
    if (!period.from.isValid() && !period.to.isValid()) {
        return {};
    }
    return {period.from.isValid() ? dayKey(period.from) : 0,
            period.to.isValid() ? dayKey(period.to) : kLastKey};
}

// Purchases: every one dated up to the period's last day.
KeyRange purchaseRange(const ProfitPeriod& period)
{
    return period.to.isValid() ? KeyRange{0, dayKey(period.to)} : KeyRange{};
}

struct Sums
{
    qint64 soldThousandths = 0;
    qint64 salesCents = 0;
    qint64 boughtThousandths = 0;
    qint64 boughtCents = 0;
    bool sold = false;
};

// One product and its sums for each period.
struct Product
{
    QString name;
    std::vector<Sums> sums;
};

using Cell = DataStore::ScanCell;

// A number the file stores as a double is exact when it has at most `decimals` places, as
// typed amounts do; any other is read from the shortest text of 15 digits, as SQLite
// writes it. Text that is no number counts as 0, as in SQL sums.
qint64 cellNumber(const Cell& cell, int decimals)
{
    if (cell.isNumber) {
        const double scaled = cell.number * (decimals == kMoneyDecimals ? 100.0 : 1000.0);
        const double nearest = std::round(scaled);
        if (std::fabs(scaled - nearest) < 1e-6 && std::fabs(nearest) < 1e15) {
            return static_cast<qint64>(nearest);
        }
        char text[32];
        const int length = std::snprintf(text, sizeof text, "%.15g", cell.number);
        return scaledNumber(text, length, decimals).value_or(0);
    }
    return cell.text == nullptr ? 0 : scaledNumber(cell.text, cell.length, decimals).value_or(0);
}

// The file's rule for names: trailing blanks and letter case do not count.
std::string nameKey(const char* text, int length)
{
    while (length > 0 && text[length - 1] == ' ') {
        --length;
    }
    std::string key(text, static_cast<std::size_t>(length));
    const bool ascii = std::all_of(key.begin(), key.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii) {
        return QString::fromUtf8(key.data(), length).toCaseFolded().toStdString();
    }
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return key;
}

// The product number of each name as stored, in one open-addressed table: looking a name
// up for each of a million rows must not chase a pointer per entry.
class StoredNames
{
public:
    static constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

    std::uint32_t find(std::string_view name) const
    {
        if (m_slots.empty()) {
            return kNone;
        }
        const std::uint64_t hash = hashOf(name);
        for (std::size_t at = hash & m_mask;; at = (at + 1) & m_mask) {
            const Slot& slot = m_slots[at];
            if (slot.product == kNone) {
                return kNone;
            }
            if (slot.hash == hash && slot.length == name.size() &&
                std::memcmp(m_text.data() + slot.offset, name.data(), name.size()) == 0) {
                return slot.product;
            }
        }
    }

    void add(std::string_view name, std::uint32_t product)
    {
        if ((m_count + 1) * 2 > m_slots.size()) {
            grow();
        }
        place({hashOf(name), static_cast<std::uint32_t>(m_text.size()),
               static_cast<std::uint32_t>(name.size()), product});
        m_text.append(name);
        ++m_count;
    }

private:
    struct Slot
    {
        std::uint64_t hash = 0;
        std::uint32_t offset = 0;
        std::uint32_t length = 0;
        std::uint32_t product = kNone;
    };

    static std::uint64_t hashOf(std::string_view name)
    {
        std::uint64_t hash = 14695981039346656037ULL; // FNV-1a
        for (const char c : name) {
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
        }
        return hash ^ (hash >> 29);
    }

    void place(const Slot& slot)
    {
        std::size_t at = slot.hash & m_mask;
        while (m_slots[at].product != kNone) {
            at = (at + 1) & m_mask;
        }
        m_slots[at] = slot;
    }

    void grow()
    {
        std::vector<Slot> old = std::move(m_slots);
        m_slots.assign(std::max<std::size_t>(1024, old.size() * 2), Slot{});
        m_mask = m_slots.size() - 1;
        for (const Slot& slot : old) {
            if (slot.product != kNone) {
                place(slot);
            }
        }
    }

    std::vector<Slot> m_slots;
    std::size_t m_mask = 0;
    std::size_t m_count = 0;
    std::string m_text;
};

// Adds up both tables of the file row by row in storage order: grouping in SQL would walk
// the name index and fetch each row from elsewhere in the file.
class FileTotals
{
public:
    explicit FileTotals(std::size_t periods) : m_periods(periods) {}

    void add(DataStore& store, const QString& table, const std::vector<KeyRange>& ranges,
             bool sales)
    {
        store.scanCells(QStringLiteral("select 名称, 日期, 数量, 总金额 from ") + table, {},
                        [&](const Cell* cells) { addRow(cells, ranges, sales); });
    }

    std::vector<Product> take()
    {
        std::vector<Product> products;
        products.reserve(m_names.size());
        for (std::size_t p = 0; p < m_names.size(); ++p) {
            const auto first = m_sums.begin() + static_cast<std::ptrdiff_t>(p * m_periods);
            products.push_back(
                {m_names[p],
                 std::vector<Sums>(first, first + static_cast<std::ptrdiff_t>(m_periods))});
        }
        return products;
    }

private:
    void addRow(const Cell* cells, const std::vector<KeyRange>& ranges, bool sales)
    {
        const qint64 key =
            cells[1].text == nullptr ? kNoDay : dayKeyOf(cells[1].text, cells[1].length);
        Sums* sums = nullptr;
        for (std::size_t i = 0; i < ranges.size(); ++i) {
            if (!ranges[i].holds(key)) {
                continue;
            }
            if (sums == nullptr) {
                sums = &m_sums[find(cells[0].text, cells[0].length) * m_periods];
            }
            const qint64 quantity = cellNumber(cells[2], kQuantityDecimals);
            const qint64 cents = cellNumber(cells[3], kMoneyDecimals);
            if (sales) {
                sums[i].soldThousandths += quantity;
                sums[i].salesCents += cents;
                sums[i].sold = true;
            } else {
                sums[i].boughtThousandths += quantity;
                sums[i].boughtCents += cents;
            }
        }
    }

    std::size_t find(const char* text, int length)
    {
        const std::string_view stored =
            text == nullptr ? std::string_view() : std::string_view(text, length);
        if (const std::uint32_t known = m_stored.find(stored); known != StoredNames::kNone) {
            return known;
        }
        // A name not seen in this spelling: the same product when it matches by the rule.
        const std::string key = nameKey(stored.data(), static_cast<int>(stored.size()));
        auto [slot, added] = m_byKey.try_emplace(key, m_names.size());
        if (added) {
            m_names.push_back(QString::fromUtf8(stored.data(), stored.size()));
            m_sums.resize(m_sums.size() + m_periods);
        }
        m_stored.add(stored, static_cast<std::uint32_t>(slot->second));
        return slot->second;
    }

    std::size_t m_periods;
    std::vector<QString> m_names;
    std::vector<Sums> m_sums; // m_periods per product
    StoredNames m_stored;
    std::unordered_map<std::string, std::size_t> m_byKey;
};

std::vector<Product> fileProducts(DataStore& store, const std::vector<KeyRange>& sales,
                                  const std::vector<KeyRange>& purchases)
{
    FileTotals totals(sales.size());
    // Both tables from one state of the file.
    store.transaction([&] {
        totals.add(store, QStringLiteral("销售表"), sales, true);
        totals.add(store, QStringLiteral("进货表"), purchases, false);
    });
    return totals.take();
}

// A server groups by its own rule for names, both tables in one statement. The day key is
// the one dayKeyOf reads, worked out once for each distinct date text.
std::vector<Product> serverProducts(DataStore& store, const std::vector<KeyRange>& sales,
                                    const std::vector<KeyRange>& purchases)
{
    QStringList sums;
    QVariantList params;
    for (std::size_t i = 0; i < sales.size(); ++i) {
        const QString inSales = QStringLiteral("t=0 and k between ? and ?");
        const QString inPurchases = QStringLiteral("t=1 and k between ? and ?");
        sums << QStringLiteral("count(case when %1 then 1 end)").arg(inSales)
             << QStringLiteral("sum(case when %1 then 数量 end)").arg(inSales)
             << QStringLiteral("sum(case when %1 then 总金额 end)").arg(inSales)
             << QStringLiteral("sum(case when %1 then 数量 end)").arg(inPurchases)
             << QStringLiteral("sum(case when %1 then 总金额 end)").arg(inPurchases);
        for (int n = 0; n < 3; ++n) {
            params << sales[i].low << sales[i].high;
        }
        for (int n = 0; n < 2; ++n) {
            params << purchases[i].low << purchases[i].high;
        }
    }
    const QString sql =
        QStringLiteral(
            "with dk as materialized (select d, day_key(d) as k from (select 日期::text "
            "collate \"C\" as d from 销售表 union select 日期::text collate \"C\" from 进货表) "
            "as s) select 名称, %1 from (select 名称, t, 数量, 总金额, coalesce(dk.k, -1) as k "
            "from (select 名称, 0 as t, 数量, 总金额, 日期::text collate \"C\" as d from 销售表 "
            "union all select 名称, 1, 数量, 总金额, 日期::text collate \"C\" from 进货表) as u "
            "left join dk on dk.d = u.d) as r group by 名称")
            .arg(sums.join(QStringLiteral(", ")));
    std::vector<Product> products;
    store.scanCells(sql, params, [&](const Cell* cells) {
        Product product{cells[0].text == nullptr
                            ? QString()
                            : QString::fromUtf8(cells[0].text, cells[0].length),
                        std::vector<Sums>(sales.size())};
        for (std::size_t i = 0; i < sales.size(); ++i) {
            const Cell* c = cells + 1 + 5 * i;
            Sums& s = product.sums[i];
            s.sold = cellNumber(c[0], kMoneyDecimals) > 0;
            s.soldThousandths = cellNumber(c[1], kQuantityDecimals);
            s.salesCents = cellNumber(c[2], kMoneyDecimals);
            s.boughtThousandths = cellNumber(c[3], kQuantityDecimals);
            s.boughtCents = cellNumber(c[4], kMoneyDecimals);
        }
        products.push_back(std::move(product));
    });
    return products;
}

ProfitReport reportOf(const std::vector<Product>& products, std::size_t period)
{
    ProfitReport report;
    for (const Product& product : products) {
        const Sums& s = product.sums[period];
        if (!s.sold) {
            continue;
        }
        ProductProfit row{product.name, s.soldThousandths, s.salesCents, s.boughtThousandths,
                          s.boughtCents};
        report.soldThousandths += row.soldThousandths;
        report.salesCents += row.salesCents;
        if (row.hasCost()) {
            report.costedSalesCents += row.salesCents;
            report.costCents += row.costCents();
            report.profitCents += row.profitCents();
        } else {
            ++report.withoutPurchases;
        }
        report.products.push_back(std::move(row));
    }
    std::sort(report.products.begin(), report.products.end(),
              [](const ProductProfit& a, const ProductProfit& b) {
                  if (a.hasCost() != b.hasCost()) {
                      return a.hasCost();
                  }
                  const qint64 left = a.hasCost() ? a.profitCents() : a.salesCents;
                  const qint64 right = b.hasCost() ? b.profitCents() : b.salesCents;
                  return left != right ? left > right : a.name < b.name;
              });
    return report;
}

} // namespace

qint64 ProductProfit::averagePriceCents() const
{
    return hasCost() ? divideRounded(Wide(boughtCents) * kThousand, boughtThousandths) : 0;
}

qint64 ProductProfit::costCents() const
{
    return hasCost() ? divideRounded(Wide(soldThousandths) * boughtCents, boughtThousandths) : 0;
}

std::vector<ProfitReport> profitReports(DataStore& store, const std::vector<ProfitPeriod>& periods)
{
    std::vector<KeyRange> sales;
    std::vector<KeyRange> purchases;
    for (const ProfitPeriod& period : periods) {
        sales.push_back(salesRange(period));
        purchases.push_back(purchaseRange(period));
    }
    // An engine that hands over rows one by one is walked here; one that sends whole answers
    // groups them itself.
    const std::vector<Product> products = store.streamsRows()
                                              ? fileProducts(store, sales, purchases)
                                              : serverProducts(store, sales, purchases);
    std::vector<ProfitReport> reports;
    for (std::size_t i = 0; i < periods.size(); ++i) {
        reports.push_back(reportOf(products, i));
    }
    return reports;
}

ProfitReport profitReport(DataStore& store, const ProfitPeriod& period)
{
    return std::move(profitReports(store, {period}).front());
}

std::vector<qint64> monthlyProfitCents(DataStore& store, int year)
{
    std::vector<ProfitPeriod> months;
    for (int month = 1; month <= 12; ++month) {
        const QDate first(year, month, 1);
        months.push_back({first, first.addMonths(1).addDays(-1)});
    }
    std::vector<qint64> profits;
    for (const ProfitReport& report : profitReports(store, months)) {
        profits.push_back(report.profitCents);
    }
    return profits;
}

std::optional<qint64> scaledNumber(const char* text, int length, int decimals)
{
    int at = 0;
    auto skipBlanks = [&] {
        while (at < length && (text[at] == ' ' || text[at] == '\t')) {
            ++at;
        }
    };
    skipBlanks();
    bool negative = false;
    if (at < length && (text[at] == '+' || text[at] == '-')) {
        negative = text[at++] == '-';
    }
    Wide digits = 0;
    int exponent = 0; // of the last digit kept
    int seen = 0;
    int kept = 0;
    bool fraction = false;
    for (; at < length; ++at) {
        const char c = text[at];
        if (c == '.' && !fraction) {
            fraction = true;
        } else if (isDigit(c)) {
            ++seen;
            if (kept < 30) {
                digits = digits * 10 + (c - '0');
                kept += digits != 0 ? 1 : 0;
                exponent -= fraction ? 1 : 0;
            } else if (!fraction) {
                ++exponent; // a digit beyond what counts still moves the point
            }
        } else {
            break;
        }
    }
    if (seen == 0) {
        return std::nullopt;
    }
    if (at < length && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        bool down = false;
        if (at < length && (text[at] == '+' || text[at] == '-')) {
            down = text[at++] == '-';
        }
        int power = 0;
        const int start = at;
        while (at < length && isDigit(text[at])) {
            power = std::min(power * 10 + (text[at++] - '0'), 1000);
        }
        if (at == start) {
            return std::nullopt;
        }
        exponent += down ? -power : power;
    }
    skipBlanks();
    if (at != length) {
        return std::nullopt;
    }
    int shift = exponent + decimals;
    if (shift > 18 || (shift > 0 && digits > Wide(std::numeric_limits<qint64>::max()))) {
        return std::nullopt;
    }
    for (; shift > 0; --shift) {
        digits *= 10;
    }
    if (shift < -38) {
        digits = 0;
    } else if (shift < 0) {
        Wide divisor = 1;
        for (; shift < 0; ++shift) {
            divisor *= 10;
        }
        digits = divideRounded(digits, divisor);
    }
    if (digits > Wide(std::numeric_limits<qint64>::max())) {
        return std::nullopt;
    }
    const auto value = static_cast<qint64>(digits);
    return negative ? -value : value;
}

QString centsText(qint64 cents)
{
    const qint64 whole = cents / 100;
    const qint64 part = cents % 100;
    const QString sign = cents < 0 ? QStringLiteral("-") : QString();
    return sign + QString::number(whole < 0 ? -whole : whole) + QLatin1Char('.') +
           QString::number(part < 0 ? -part : part).rightJustified(2, QLatin1Char('0'));
}

QString quantityText(qint64 thousandths)
{
    const qint64 magnitude = thousandths < 0 ? -thousandths : thousandths;
    QString text = QString::number(magnitude / kThousand);
    QString part = QString::number(magnitude % kThousand).rightJustified(3, QLatin1Char('0'));
    while (part.endsWith(QLatin1Char('0'))) {
        part.chop(1);
    }
    if (!part.isEmpty()) {
        text += QLatin1Char('.') + part;
    }
    return thousandths < 0 ? QLatin1Char('-') + text : text;
}

QString marginText(qint64 profitCents, qint64 salesCents)
{
    if (salesCents == 0) {
        return {};
    }
    // In hundredths of a per cent, rounded once.
    const Wide scaled = Wide(profitCents) * 10000;
    const qint64 share = salesCents > 0 ? divideRounded(scaled, salesCents)
                                        : divideRounded(-scaled, -Wide(salesCents));
    return centsText(share) + QLatin1Char('%');
}

} // namespace khgl::goods
