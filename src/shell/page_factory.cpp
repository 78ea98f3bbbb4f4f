#include "shell/page_factory.h"

#include "shell/page.h"
#include "shell/settings_page.h"

namespace khgl {

Page* createPage(const QString& frameName, const QString& caption, PageEnv& env, QWidget* parent)
{
    if (frameName == QStringLiteral("Frame25")) {
        return new SettingsPage(env, parent);
    }
    return new CaptionPage(env, frameName, caption, parent);
}

Page* createSettingsPage(const QString& frameName, const QString& caption, PageEnv& env,
                         QWidget* parent)
{
    return new CaptionPage(env, frameName, caption, parent);
}

} // namespace khgl
