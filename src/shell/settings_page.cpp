#include "shell/settings_page.h"

#include "admin/users_page.h"

#include "platform/app_context.h"
#include "shell/page_factory.h"
#include "shell/view_zoom.h"
#include "ui_settings_page.h"
#include "widgets/hover.h"
#include "widgets/screen_fit.h"

namespace khgl {
namespace {

// Sub-page frames: left 2610, top 180, width 10575, height 6855 twips.
const QRect kSubPageGeometry(174, 12, 705, 457);

} // namespace

SettingsPage::SettingsPage(PageEnv& env, QWidget* parent)
    : Page(env, parent), m_ui(std::make_unique<Ui::SettingsPage>())
{
    m_ui->setupUi(this);
    m_users = createSettingsPage(QStringLiteral("Frame27"), QStringLiteral("用户"), env, this);
    m_data = createSettingsPage(QStringLiteral("Frame29"), QStringLiteral("数据"), env, this);
    m_backup = createSettingsPage(QStringLiteral("Frame34"), QStringLiteral("备份还原"), env, this);
    if (auto* users = qobject_cast<UsersPage*>(m_users)) {
        users->attachUnlockBox(m_ui->Text32);
        connect(users, &UsersPage::unlocked, this, [this] { showSubPage(m_users); });
    }
    for (Page* page : {m_users, m_data, m_backup}) {
        page->setGeometry(kSubPageGeometry); // the design: the main window fits it to the screen
        page->hide();
    }
    m_hover.addLarge(m_ui->Frame26, m_ui->Label74, m_ui->Image31, &m_flags.a);
    m_hover.addLarge(m_ui->Frame26, m_ui->Label75, m_ui->Image32, &m_flags.b);
    m_hover.addLarge(m_ui->Frame26, m_ui->Label76, m_ui->Image33, &m_flags.c);
    onCommand(m_ui->Label74, &ClickLabel::clicked, &SettingsPage::showUsersTab);
    onCommand(m_ui->Label75, &ClickLabel::clicked, &SettingsPage::showDataTab);
    onCommand(m_ui->Label76, &ClickLabel::clicked, &SettingsPage::showBackupTab);
    m_ui->Text32->setEchoMode(QLineEdit::Password);
    // Every typed character shows as "*". Under the main window's style sheet, a sheet given
    // to a box not yet polished is only stored, and a line edit reads its mask character only
    // when its style changes: polished first, the box takes the "*" at once.
    m_ui->Text32->ensurePolished();
    m_ui->Text32->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    hideUnlockPrompt();
    for (const int percent : view_zoom::kLevels) {
        m_ui->ZoomSetting->addItem(QStringLiteral("%1%").arg(percent), percent);
    }
    showZoom();
    connect(m_ui->ZoomSetting, &QComboBox::activated, this, &SettingsPage::chooseZoom);
    // The tabs show their normal pictures from the start.
    for (QLabel* tab : {m_ui->Image31, m_ui->Image32, m_ui->Image33}) {
        m_context.pictures.show(tab, Pictures::largeNormal());
    }
}

SettingsPage::~SettingsPage() = default;

void SettingsPage::loadNormalPictures()
{
    m_context.pictures.show(m_ui->Image32, Pictures::largeNormal());
    m_data->loadNormalPictures(); // its two command backgrounds
}

void SettingsPage::opened()
{
    hideUnlockPrompt();
    showZoom();
    showSubPage(m_data);
    m_data->opened();
}

void SettingsPage::showZoom()
{
    m_ui->ZoomSetting->setCurrentIndex(m_ui->ZoomSetting->findData(view_zoom::current()));
}

void SettingsPage::chooseZoom(int index)
{
    view_zoom::choose(m_context.folder, m_ui->ZoomSetting->itemData(index).toInt());
}

void SettingsPage::closeWindows()
{
    for (Page* page : {m_users, m_data, m_backup}) {
        page->closeWindows();
    }
}

QLineEdit* SettingsPage::unlockBox() const
{
    return m_ui->Text32;
}

void SettingsPage::hideUnlockPrompt()
{
    m_ui->Label83->hide();
    m_ui->Text32->hide();
}

void SettingsPage::showSubPage(Page* page)
{
    for (Page* other : {m_users, m_data, m_backup}) {
        if (other != page) {
            other->hide();
        }
    }
    page->setGeometry(screen_fit::scaled(kSubPageGeometry));
    page->show();
}

Page* SettingsPage::subPage(const QString& frameName) const
{
    for (Page* page : {m_users, m_data, m_backup}) {
        if (page->objectName() == frameName) {
            return page;
        }
    }
    return nullptr;
}

void SettingsPage::showUsersTab()
{
    // The accounts sub-page shows only after the unlock; the visible sub-page stays.
    m_context.pictures.show(m_ui->Image31, Pictures::largeNormal());
    m_ui->Label83->show();
    m_ui->Text32->show();
    m_ui->Text32->setFocus();
}

void SettingsPage::showDataTab()
{
    m_context.pictures.show(m_ui->Image32, Pictures::largeNormal());
    showSubPage(m_data);
    m_data->loadNormalPictures();
    hideUnlockPrompt();
    m_data->opened();
}

void SettingsPage::showBackupTab()
{
    m_context.pictures.show(m_ui->Image33, Pictures::largeNormal());
    hideUnlockPrompt();
    showSubPage(m_backup);
    m_backup->loadNormalPictures();
    m_backup->opened();
}

} // namespace khgl
