#include "goods/goods_query.h"

#include "data_store/record_set.h"
#include "goods/goods_grid.h"
#include "platform/aid_opener.h"
#include "platform/app_context.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include "widgets/click_widgets.h"

namespace khgl {
namespace {

const QString kNormalPicture = Pictures::smallHover();
const QString kHoverPicture = Pictures::smallNormal();

} // namespace

GoodsQuery::GoodsQuery(AppContext& context, QWidget& window, RecordGrid& grid)
    : m_context(context), m_window(window), m_grid(grid), m_hover(context.pictures)
{
}

void GoodsQuery::addCommand(QWidget* area, QWidget* label, QLabel* image, size_t flag)
{
    m_hover.addCommand(area, label, image, &m_flags.at(flag), kNormalPicture, kHoverPicture);
}

void GoodsQuery::showNormal(QLabel* image) const
{
    m_context.pictures.show(image, kNormalPicture);
}

void GoodsQuery::addDateBox(qint16 target, ClickLineEdit* box, int gapTwips)
{
    m_context.inputAids.registerDateBox(target, box);
    QObject::connect(box, &ClickLineEdit::clicked, &m_window, [this, target, box, gapTwips] {
        m_context.inputAids.showCalendarBelow(target, box, gapTwips);
    });
}

bool GoodsQuery::list(std::unique_ptr<KeysetPages> found, const QString& missing, bool listWhenNone)
{
    const bool any = found->count() > 0;
    if (any || listWhenNone) {
        goods::resetGrid(m_grid);
        goods::listPages(m_grid, std::move(found));
    }
    if (!any) {
        m_context.dialogs.message(&m_window, missing, QStringLiteral("查询提示"),
                                  Dialogs::Icon::Information);
    }
    return any;
}

void GoodsQuery::queryDate(const QString& date, const DateQuery& query,
                           const std::function<void(const QString&)>& afterwards)
{
    if (date.isEmpty()) {
        if (query.noDateIsPrompt) {
            m_context.dialogs.inform(&m_window, query.noDate);
        } else {
            m_context.dialogs.message(&m_window, query.noDate);
        }
        return;
    }
    guarded(m_context.dialogs, &m_window, [&] {
        list(goods::datePages(m_context.store, query.table, date), query.missing,
             query.listWhenNone);
        if (afterwards) {
            afterwards(date);
        }
    });
}

} // namespace khgl
