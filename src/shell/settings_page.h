#pragma once

#include "widgets/page.h"

#include <memory>

class QLineEdit;

namespace Ui {
class SettingsPage;
}

namespace khgl {

// The settings page: three tabs choose the accounts, data and backup sub-pages.
class SettingsPage final : public Page
{
    Q_OBJECT

public:
    SettingsPage(PageEnv& env, QWidget* parent);
    ~SettingsPage() override;

    void loadNormalPictures() override;
    void opened() override;
    void closeWindows() override;

    // The unlock prompt of the accounts sub-page.
    QLineEdit* unlockBox() const;
    void hideUnlockPrompt();
    // Places one sub-page and shows it; the other two are hidden.
    void showSubPage(Page* page);
    Page* subPage(const QString& frameName) const;
    // The zoom entry shows the zoom in use.
    void showZoom();

private:
    void showUsersTab();
    void showDataTab();
    void showBackupTab();
    void chooseZoom(int index);

    std::unique_ptr<Ui::SettingsPage> m_ui;
    Page* m_users;
    Page* m_data;
    Page* m_backup;
};

} // namespace khgl
