#pragma once

#include <QDate>
#include <QString>
#include <optional>
#include <vector>

namespace khgl {

class DataStore;

// Gross profit per product: what the sales of a period brought in, less what those goods
// cost at the weighted average purchase price of every purchase dated up to the period's
// last day. Money is counted in whole cents and quantities in thousandths, so sums are
// exact; amounts are rounded once, half away from zero.
namespace goods {

// A period of sale dates, both days included; an invalid date leaves that end open. Rows
// whose date names no day count only in a period open at both ends.
struct ProfitPeriod
{
    QDate from;
    QDate to;
};

struct ProductProfit
{
    QString name;
    qint64 soldThousandths = 0;
    qint64 salesCents = 0;
    // Σ 数量 and Σ 总金额 of the purchases up to the period's last day; no cost is known
    // while the quantity is not above 0.
    qint64 boughtThousandths = 0;
    qint64 boughtCents = 0;

    bool hasCost() const { return boughtThousandths > 0; }
    qint64 averagePriceCents() const; // per unit, rounded once
    qint64 costCents() const;         // sold quantity at the exact average price, rounded once
    qint64 profitCents() const { return salesCents - costCents(); }
};

struct ProfitReport
{
    // The products sold in the period, largest 毛利 first; those without a purchase on
    // record last.
    std::vector<ProductProfit> products;
    qint64 soldThousandths = 0;
    qint64 salesCents = 0;       // every sale of the period
    qint64 costedSalesCents = 0; // the sales of products with a cost
    qint64 costCents = 0;
    qint64 profitCents = 0;
    int withoutPurchases = 0; // products sold without any purchase on record
};

// One pass over each table, whatever the number of periods.
std::vector<ProfitReport> profitReports(DataStore& store, const std::vector<ProfitPeriod>& periods);
ProfitReport profitReport(DataStore& store, const ProfitPeriod& period);
// The 毛利 of each month of a year, January first.
std::vector<qint64> monthlyProfitCents(DataStore& store, int year);

// A decimal text (blanks around, sign, fraction, exponent) in units of 10^-decimals,
// rounded half away from zero; nothing when it is no number.
std::optional<qint64> scaledNumber(const char* text, int length, int decimals);

// Display texts: money with two places ("-0.05"), a quantity without trailing zeros, a
// share of two sums as a percentage with two places (empty when the whole is 0).
QString centsText(qint64 cents);
QString quantityText(qint64 thousandths);
QString marginText(qint64 profitCents, qint64 salesCents);

} // namespace goods
} // namespace khgl
