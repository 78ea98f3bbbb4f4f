#pragma once

#include "widgets/page.h"

#include <memory>

class QLineEdit;

namespace Ui {
class UsersPage;
}

namespace khgl {

// The accounts sub-page of the settings: hidden until a stored password is typed into the
// settings page's unlock box, then lists, adds and deletes the accounts of 用户表.
class UsersPage final : public Page
{
    Q_OBJECT

public:
    UsersPage(PageEnv& env, QWidget* parent);
    ~UsersPage() override;

    void loadNormalPictures() override;
    // The settings page's unlock box: a stored password typed there unlocks this page.
    void attachUnlockBox(QLineEdit* box);

Q_SIGNALS:
    // A stored password was typed: the accounts are listed and this page wants showing.
    void unlocked();

private:
    void unlock();
    bool isStoredPassword(const QString& typed);
    void resetGrid();
    void listAccounts();
    void saveAccount();
    int gridRowForNewAccount();
    void deleteAccount();
    void limitLength(QLineEdit* box, const QString& message);

    std::unique_ptr<Ui::UsersPage> m_ui;
    QLineEdit* m_unlockBox = nullptr;
};

} // namespace khgl
