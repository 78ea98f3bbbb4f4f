#include "admin/data_page.h"

#include "admin/account_records.h"
#include "admin/backup_history.h"
#include "data_store/store_error.h"
#include "platform/app_context.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "ui_data_page.h"
#include "widgets/hover.h"

namespace khgl {
namespace {

// The business tables, in the order they are emptied.
QStringList businessTables()
{
    return {QStringLiteral("提醒表"), QStringLiteral("进货表"), QStringLiteral("销售表"),
            QStringLiteral("客户表")};
}

} // namespace

DataPage::DataPage(PageEnv& env, QWidget* parent)
    : Page(env, parent), m_ui(std::make_unique<Ui::DataPage>())
{
    m_ui->setupUi(this);
    m_hover.addLarge(m_ui->Frame31, m_ui->Label86, m_ui->Image37, nullptr);
    m_hover.addLarge(m_ui->Frame30, m_ui->Label88, m_ui->Image38, nullptr);
    loadNormalPictures();
    onCommand(m_ui->Label88, &ClickLabel::clicked, &DataPage::deleteTicked);
    onCommand(m_ui->Label86, &ClickLabel::clicked, &DataPage::format);
}

DataPage::~DataPage() = default;

void DataPage::loadNormalPictures()
{
    m_context.pictures.show(m_ui->Image37, Pictures::largeNormal());
    m_context.pictures.show(m_ui->Image38, Pictures::largeNormal());
}

void DataPage::deleteTicked()
{
    m_context.pictures.show(m_ui->Image38, Pictures::largeNormal());
    const auto answer = m_context.dialogs.message(this, QStringLiteral("即将删除选中的数据项。"),
                                                  QStringLiteral("删除"), Dialogs::Icon::None,
                                                  Dialogs::Buttons::OkCancelDefaultCancel);
    if (answer != Dialogs::Answer::Ok) {
        return;
    }
    emptyTables(tickedTables());
    reportDone();
}

void DataPage::format()
{
    m_context.pictures.show(m_ui->Image37, Pictures::largeNormal());
    const auto answer =
        m_context.dialogs.message(this, QStringLiteral("确定要格式化系统数据吗？"), QString(),
                                  Dialogs::Icon::Question, Dialogs::Buttons::YesNoDefaultNo);
    if (answer != Dialogs::Answer::Yes) {
        return;
    }
    emptyTables(businessTables());
    reportDone();
}

QStringList DataPage::tickedTables() const
{
    const QStringList tables = businessTables();
    const QCheckBox* boxes[] = {m_ui->Check1, m_ui->Check2, m_ui->Check3, m_ui->Check4};
    QStringList ticked;
    for (qsizetype i = 0; i < tables.size(); ++i) {
        if (boxes[i]->isChecked()) {
            ticked << tables[i];
        }
    }
    return ticked;
}

// A checked copy of the data goes into the backup history first; without it nothing is
// deleted. One transaction for all of them: a failure leaves every table as it was.
void DataPage::emptyTables(const QStringList& tables)
{
    if (tables.isEmpty()) {
        return;
    }
    BackupHistory history(m_context.folder);
    const QDateTime now = m_context.clock.now();
    QString written;
    try {
        written = history.writeSafetyCopy(m_context.store, now, BackupEntry::Kind::BeforeClear);
    } catch (const StoreError& error) {
        throw StoreError(QStringLiteral("没有删除。\n") + error.message());
    }
    history.removeBeyondKeep(written);
    account_records::emptyTables(m_context.store, tables);
    // The questions keep their own words; where the deleted data went is said here.
    m_ui->DataStatus->setText(
        QStringLiteral("删除前的数据已保存一份副本（%1），可在“数据库备份还原”的备份记录中还原。")
            .arg(now.toString(QStringLiteral("yyyy-M-d H:mm"))));
}

void DataPage::reportDone()
{
    inform(QStringLiteral("删除完毕。"));
}

} // namespace khgl
