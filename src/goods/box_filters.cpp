#include "goods/box_filters.h"

#include "data_store/values.h"

#include <QLineEdit>

namespace khgl::goods {

void keepOnlyNumber(QLineEdit* box)
{
    if (!box->text().isEmpty() && !parseNumber(box->text())) {
        box->clear();
    }
}

void keepOnlyDate(QLineEdit* box)
{
    if (!box->text().isEmpty() && !parseDate(box->text())) {
        box->clear();
    }
}

} // namespace khgl::goods
