#pragma once

#include <QDate>
#include <QString>

namespace khgl {

class DataStore;

// The figures the desktop page shows that no area's records module holds.
namespace desktop_figures {

// The sum of 总金额 of the sales dated in the month of this day, as the store writes it;
// "0" when there were none.
QString monthSalesText(DataStore& store, const QDate& day);

} // namespace desktop_figures
} // namespace khgl
