#include "admin/users_page.h"

#include "admin/account_records.h"
#include "data_store/schema.h"
#include "platform/app_context.h"
#include "platform/dialogs.h"
#include "ui_users_page.h"
#include "widgets/hover.h"

#include <algorithm>
#include <array>

namespace khgl {
namespace {

constexpr int kShownColumns = 4; // 区别, the last column, is never shown
constexpr std::array<int, 5> kColumnWidths{300, 1500, 1500, 3000, 3000};
// Longer question or answer texts are refused while they are typed.
constexpr qsizetype kMaxAnswerLength = 48;

} // namespace

UsersPage::UsersPage(PageEnv& env, QWidget* parent)
    : Page(env, parent), m_ui(std::make_unique<Ui::UsersPage>())
{
    m_ui->setupUi(this);
    addGridMenus();
    m_hover.addSmall(m_ui->Frame28, m_ui->Label82, m_ui->Image35, &m_flags.a);
    m_hover.addSmall(m_ui->Frame28, m_ui->Label84, m_ui->Image36, &m_flags.b);
    loadNormalPictures();
    resetGrid();
    onCommand(m_ui->Label82, &ClickLabel::clicked, &UsersPage::saveAccount);
    onCommand(m_ui->Label84, &ClickLabel::clicked, &UsersPage::deleteAccount);
    new EnterMovesOn({m_ui->Text9, m_ui->Text19, m_ui->Text30, m_ui->Text31}, m_ui->Label82);
    connect(m_ui->Text30, &QLineEdit::textChanged, this,
            [this] { limitLength(m_ui->Text30, QStringLiteral("问题长度不大于50字。")); });
    connect(m_ui->Text31, &QLineEdit::textChanged, this,
            [this] { limitLength(m_ui->Text31, QStringLiteral("答案长度不大于50字。")); });
}

UsersPage::~UsersPage() = default;

void UsersPage::attachUnlockBox(QLineEdit* box)
{
    m_unlockBox = box;
    onCommand(m_unlockBox, &QLineEdit::returnPressed, &UsersPage::unlock);
}

void UsersPage::loadNormalPictures()
{
    m_hover.showNormal(m_ui->Frame28);
}

void UsersPage::unlock()
{
    const QString typed = m_unlockBox->text();
    m_unlockBox->clear();
    if (!isStoredPassword(typed)) {
        inform(QStringLiteral("密码错误。"));
        return;
    }
    listAccounts();
    Q_EMIT unlocked();
}

// Any account's password unlocks.
bool UsersPage::isStoredPassword(const QString& typed)
{
    return account_records::isStoredPassword(m_context.store, typed);
}

void UsersPage::resetGrid()
{
    RecordGrid* grid = m_ui->M1;
    grid->setCols(static_cast<int>(kColumnWidths.size()));
    for (int c = 0; c < grid->cols(); ++c) {
        grid->setColWidth(c, kColumnWidths[static_cast<size_t>(c)]);
    }
    grid->setText(0, 1, QStringLiteral("管理员"));
    grid->setText(0, 2, QStringLiteral("管理员密码"));
    grid->setText(0, 3, QStringLiteral("密码问题"));
    grid->setText(0, 4, QStringLiteral("密码答案"));
    grid->setRows(2);
    for (int c = 1; c < grid->cols(); ++c) {
        grid->setText(1, c, QString());
    }
    grid->setRowKey(1, -1);
    grid->setRow(1);
}

void UsersPage::listAccounts()
{
    RecordSet users = account_records::all(m_context.store);
    const QStringList names = columnNames(QStringLiteral("用户表"));
    resetGrid();
    RecordGrid* grid = m_ui->M1;
    {
        RecordGrid::Batch batch(*grid);
        grid->setRows(std::max(2, users.recordCount() + 1));
        int row = 1;
        for (users.moveFirst(); !users.eof(); users.moveNext(), ++row) {
            for (int k = 0; k < kShownColumns; ++k) {
                if (!users.isEmpty(names[k])) {
                    grid->setText(row, k + 1, users.text(names[k]));
                }
            }
            grid->setRowKey(row, users.rowKey());
        }
    }
    grid->setRow(std::max(1, users.recordCount()));
}

void UsersPage::saveAccount()
{
    const QString name = m_ui->Text9->text();
    const QString password = m_ui->Text19->text();
    const QString question = m_ui->Text30->text();
    const QString answer = m_ui->Text31->text();
    if (name.isEmpty() || password.isEmpty() || question.isEmpty() || answer.isEmpty()) {
        inform(QStringLiteral("用户信息不完整。"));
        return;
    }
    const qint64 key = account_records::add(m_context.store, {name, password, question, answer});

    const int row = gridRowForNewAccount();
    RecordGrid* grid = m_ui->M1;
    grid->setText(row, 1, name);
    grid->setText(row, 2, password);
    grid->setText(row, 3, question);
    grid->setText(row, 4, answer);
    grid->setRowKey(row, key);
    grid->setRow(row);
}

int UsersPage::gridRowForNewAccount()
{
    RecordGrid* grid = m_ui->M1;
    if (grid->rows() == 2) {
        if (grid->text(1, 2).isEmpty()) {
            return 1;
        }
        grid->setRows(3);
        return 2;
    }
    grid->setRows(grid->rows() + 1);
    grid->setRow(grid->rows() - 1);
    return grid->rows() - 1;
}

// Deletes exactly the account the current grid row shows, found by its hidden row key.
void UsersPage::deleteAccount()
{
    const auto answer =
        m_context.dialogs.message(this, QStringLiteral("是否删除？"), QStringLiteral("提示"),
                                  Dialogs::Icon::Question, Dialogs::Buttons::YesNoDefaultNo);
    if (answer != Dialogs::Answer::Yes) {
        return;
    }
    RecordGrid* grid = m_ui->M1;
    const int row = grid->row();
    const qint64 key = grid->rowKey(row);
    if (key < 0) {
        return; // the row shows no account
    }
    QList<std::pair<QString, QString>> shown;
    const QStringList names = columnNames(QStringLiteral("用户表"));
    for (int c = 1; c <= kShownColumns; ++c) {
        shown.append({names[c - 1], grid->text(row, c)});
    }
    account_records::remove(m_context.store, key, shown);
    if (grid->rows() == 2) {
        for (int c = 1; c <= kShownColumns; ++c) {
            grid->setText(1, c, QString());
        }
        grid->setRowKey(1, -1);
    } else {
        grid->removeItem(row);
    }
}

void UsersPage::limitLength(QLineEdit* box, const QString& message)
{
    if (box->text().toUcs4().size() <= kMaxAnswerLength) {
        return;
    }
    inform(message);
    box->clear();
}

} // namespace khgl
