#pragma once

#include <QtGlobal>

namespace khgl {

// The target codes of the boxes the calendar (1..14) and the calculator (2..5) write to.
// Unscoped on purpose: the codes are plain numbers wherever they are routed.
namespace aid {
enum Target : qint16
{
    // calendar
    SalesDate = 1,
    QueryDate = 2,        // goods query window: purchases of a date
    QueryProductDate = 3, // goods query window: a product on a date
    PurchaseDate = 4,
    ScheduleDate = 5,
    CustomerDate = 6,
    MailFrom = 7,        // mail page: bought between, first date
    MailTo = 8,          // mail page: bought between, last date
    MailProductFrom = 9, // mail page: product bought between, first date
    MailProductTo = 10,  // mail page: product bought between, last date
    SalesQueryDate = 11, // the sales page's date query dialog
    ProfitFrom = 12,     // profit window: first day
    ProfitTo = 13,       // profit window: last day
    EditorDate = 14,     // the date box of the record editor
                         // calculator
    CustomerAmount = 2,
    PurchaseAmount = 3,
    SalesAmount = 4,
    EditorAmount = 5, // the amount box of the record editor
};
} // namespace aid

} // namespace khgl
