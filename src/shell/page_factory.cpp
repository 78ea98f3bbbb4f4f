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
#include "shell/page.h"
#include "shell/settings_page.h"
#include "statistics/month_chart_page.h"
#include "statistics/year_chart_page.h"

namespace khgl {

Page* createPage(const QString& frameName, const QString& caption, PageEnv& env, QWidget* parent)
{
    if (frameName == QStringLiteral("Frame23")) {
        return new DesktopPage(env, parent);
    }
    if (frameName == QStringLiteral("Frame16")) {
        return new MonthChartPage(env, parent);
    }
    if (frameName == QStringLiteral("Frame15")) {
        return new YearChartPage(env, parent);
    }
    if (frameName == QStringLiteral("Frame9")) {
        return new SchedulePage(env, parent);
    }
    if (frameName == QStringLiteral("Frame1")) {
        return new CustomerPage(env, parent);
    }
    if (frameName == QStringLiteral("Frame4")) {
        return new MailPage(env, parent);
    }
    if (frameName == QStringLiteral("Frame11")) {
        return new PurchasePage(env, parent);
    }
    if (frameName == QStringLiteral("Frame12")) {
        return new SalesPage(env, parent);
    }
    if (frameName == QStringLiteral("Frame13")) {
        return new StockPage(env, parent);
    }
    if (frameName == QStringLiteral("Frame25")) {
        return new SettingsPage(env, parent);
    }
    return new CaptionPage(env, frameName, caption, parent);
}

Page* createSettingsPage(const QString& frameName, const QString& caption, PageEnv& env,
                         QWidget* parent)
{
    if (frameName == QStringLiteral("Frame27")) {
        return new UsersPage(env, parent);
    }
    if (frameName == QStringLiteral("Frame29")) {
        return new DataPage(env, parent);
    }
    if (frameName == QStringLiteral("Frame34")) {
        return new BackupPage(env, parent);
    }
    return new CaptionPage(env, frameName, caption, parent);
}

} // namespace khgl
