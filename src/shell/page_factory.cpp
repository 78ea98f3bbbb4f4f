#include "shell/page_factory.h"

#include "admin/backup_page.h"
#include "admin/data_page.h"
#include "admin/users_page.h"
#include "customers_mail/customer_page.h"
#include "customers_mail/mail_page.h"
#include "goods/purchase_page.h"
#include "goods/sales_page.h"
#include "goods/stock_page.h"
#include "schedule/schedule_page.h"
#include "shell/desktop_page.h"
#include "shell/settings_page.h"
#include "statistics/month_chart_page.h"
#include "statistics/profit_window.h"
#include "statistics/year_chart_page.h"
#include "widgets/page.h"

namespace khgl {
namespace {

template <typename P> Page* make(PageEnv& env, QWidget* parent)
{
    return new P(env, parent);
}

struct PageKind
{
    const char16_t* frame;
    Page* (*create)(PageEnv&, QWidget*);
};

constexpr PageKind kPages[] = {
    {u"Frame23", make<DesktopPage>},   {u"Frame1", make<CustomerPage>},
    {u"Frame4", make<MailPage>},       {u"Frame9", make<SchedulePage>},
    {u"Frame11", make<PurchasePage>},  {u"Frame12", make<SalesPage>},
    {u"Frame13", make<StockPage>},     {u"Frame16", make<MonthChartPage>},
    {u"Frame15", make<YearChartPage>}, {u"Frame25", make<SettingsPage>},
    {u"Frame27", make<UsersPage>},     {u"Frame29", make<DataPage>},
    {u"Frame34", make<BackupPage>},
};

// Windows of a higher layer that a page asks for.
Page* connectWindows(Page* page, PageEnv& env)
{
    if (auto* stock = qobject_cast<StockPage*>(page)) {
        AppContext& context = env.context;
        QObject::connect(stock, &StockPage::profitRequested, stock,
                         [&context, stock] { ProfitWindow::open(context, stock); });
    }
    return page;
}

Page* build(const QString& frameName, const QString& caption, PageEnv& env, QWidget* parent)
{
    for (const PageKind& kind : kPages) {
        if (frameName == QString::fromUtf16(kind.frame)) {
            return connectWindows(kind.create(env, parent), env);
        }
    }
    return new CaptionPage(env, frameName, caption, parent);
}

} // namespace

Page* createPage(const QString& frameName, const QString& caption, PageEnv& env, QWidget* parent)
{
    return build(frameName, caption, env, parent);
}

Page* createSettingsPage(const QString& frameName, const QString& caption, PageEnv& env,
                         QWidget* parent)
{
    return build(frameName, caption, env, parent);
}

} // namespace khgl
