#include "goods/sales_page.h"

#include "data_store/data_store.h"
#include "data_store/values.h"
#include "goods/date_query_dialog.h"
#include "goods/goods_grid.h"
#include "goods/goods_records.h"
#include "input_aids/input_aids.h"
#include "platform/app_context.h"
#include "platform/dialogs.h"
#include "platform/hover.h"
#include "ui_sales_page.h"

namespace khgl {
namespace {

const QString kTable = QStringLiteral("销售表");
const QString kTotal = QStringLiteral("select sum(总金额) as 金额 from 销售表");
const QString kProductQuery = QStringLiteral("select*from 销售表 where 名称=? order by rowid");

constexpr qint16 kDateCode = 1;
constexpr qint16 kAmountCode = 4;
// The date dialog opens left of and below "按日期查询" (twips).
constexpr int kDialogLeft = -1600;
constexpr int kDialogDown = 500;

QStringList headers()
{
    return {QStringLiteral("编号"),     QStringLiteral("商品名称"), QStringLiteral("商品单价"),
            QStringLiteral("商品数量"), QStringLiteral("销售金额"), QStringLiteral("销售日期"),
            QStringLiteral("备注")};
}

} // namespace

SalesPage::SalesPage(PageEnv& env, QWidget* parent)
    : Page(env, parent), m_ui(std::make_unique<Ui::SalesPage>())
{
    m_ui->setupUi(this);
    addGridMenus();
    m_hover.addLarge(this, m_ui->Label45, m_ui->Image29, &m_flags.a);
    m_hover.addLarge(this, m_ui->Label46, m_ui->Image30, &m_flags.b);
    m_hover.addSmall(m_ui->Frame3, m_ui->Label72, m_ui->Image27, &m_flags.a);
    m_hover.addSmall(m_ui->Frame3, m_ui->Label73, m_ui->Image28, &m_flags.b);
    m_context.inputAids.registerDateBox(kDateCode, m_ui->Text24);
    m_context.inputAids.registerAmountBox(kAmountCode, m_ui->Text28);

    connect(m_ui->Label45, &ClickLabel::clicked, this, &SalesPage::queryByProduct);
    connect(m_ui->Label46, &ClickLabel::clicked, this, &SalesPage::openDateDialog);
    connect(m_ui->Label72, &ClickLabel::clicked, this, &SalesPage::save);
    connect(m_ui->Label73, &ClickLabel::clicked, this, &SalesPage::deleteSelected);
    connect(m_ui->MS5, &RecordGrid::cellClicked, this,
            [this](int row, int) { copyRowToBoxes(row); });
    connect(m_ui->Text24, &ClickLineEdit::clicked, this, &SalesPage::openCalendar);
    connect(m_ui->Text28, &ClickLineEdit::clicked, this, &SalesPage::openCalculator);
    for (ClickLineEdit* box : {m_ui->Text25, m_ui->Text26, m_ui->Text27, m_ui->Text29}) {
        connect(box, &ClickLineEdit::clicked, this, &SalesPage::closeAids);
    }
    connect(m_ui->Text24, &QLineEdit::textChanged, this,
            [this] { goods::keepOnlyDate(m_ui->Text24); });
    for (QLineEdit* box :
         std::initializer_list<QLineEdit*>{m_ui->Text26, m_ui->Text27, m_ui->Text28}) {
        connect(box, &QLineEdit::textChanged, box, [box] { goods::keepOnlyNumber(box); });
    }
}

SalesPage::~SalesPage() = default;

void SalesPage::loadNormalPictures()
{
    for (QLabel* image : {m_ui->Image29, m_ui->Image30}) {
        m_context.pictures.show(image, Pictures::largeNormal());
    }
    for (QLabel* image : {m_ui->Image27, m_ui->Image28}) {
        m_context.pictures.show(image, Pictures::smallNormal());
    }
}

void SalesPage::opened()
{
    guard([this] {
        setUpGrid();
        refreshTotal();
        listTable();
    });
}

void SalesPage::closeWindows()
{
    if (m_dateDialog) {
        m_dateDialog->close();
    }
}

RecordGrid& SalesPage::grid()
{
    return *m_ui->MS5;
}

void SalesPage::setUpGrid()
{
    goods::setUpEntryGrid(*m_ui->MS5, headers(), 3600);
}

void SalesPage::listTable()
{
    const RecordSet table = m_context.store.select(kTable);
    goods::resetGrid(*m_ui->MS5);
    goods::listRecords(*m_ui->MS5, table, goods::shownColumns());
}

void SalesPage::refreshTotal()
{
    const auto total = goods::sumOf(m_context.store.select(kTotal), QStringLiteral("金额"));
    m_ui->Label7->setText(QStringLiteral("当前销售总额为：") + moneyFixed(total.value_or(0.0)) +
                          QStringLiteral("元。"));
}

void SalesPage::queryByProduct()
{
    m_context.pictures.show(m_ui->Image29, Pictures::largeNormal());
    const QString name = m_context.dialogs.input(this, QStringLiteral("请输入要查询的商品名称。"),
                                                 QStringLiteral("按商品名查询商品信息"));
    if (name.isEmpty()) {
        return;
    }
    guard([this, &name] {
        const RecordSet found =
            m_context.store.selectKeyed(goods::withRowKey(kProductQuery), {name});
        if (found.recordCount() == 0) {
            m_context.dialogs.message(this, QStringLiteral("不存在查询商品的记录。"),
                                      QStringLiteral("查询提示"), Dialogs::Icon::Information);
            return;
        }
        goods::resetGrid(*m_ui->MS5);
        goods::listRecords(*m_ui->MS5, found, goods::shownColumns());
    });
}

void SalesPage::openDateDialog()
{
    m_context.pictures.show(m_ui->Image30, Pictures::largeNormal());
    if (!m_dateDialog) {
        m_dateDialog = new DateQueryDialog(m_context, *m_ui->MS5, this);
    }
    const QPoint command = m_ui->Label46->mapToGlobal(QPoint(0, 0));
    m_dateDialog->move(command +
                       QPoint(kDialogLeft / 15, m_ui->Label46->height() + kDialogDown / 15));
    m_dateDialog->show();
    m_dateDialog->raise();
    m_dateDialog->activateWindow();
}

void SalesPage::copyRowToBoxes(int row)
{
    const RecordGrid& grid = *m_ui->MS5;
    m_ui->Text25->setText(grid.text(row, 2));
    m_ui->Text26->setText(grid.text(row, 3));
    m_ui->Text27->setText(grid.text(row, 4));
    m_ui->Text28->setText(grid.text(row, 5));
    m_ui->Text24->setText(grid.text(row, 6));
    m_ui->Text29->setText(grid.text(row, 7));
}

void SalesPage::save()
{
    m_context.pictures.show(m_ui->Image27, Pictures::smallNormal());
    if (!boxesFilled()) {
        m_context.dialogs.message(this, QStringLiteral("商品信息不能有空白项。"),
                                  QStringLiteral("提示"), Dialogs::Icon::Information);
        return;
    }
    guard([this] {
        saveRecord();
        refreshTotal();
        m_context.dialogs.message(this, QStringLiteral("保存完毕。"), QStringLiteral("保存"),
                                  Dialogs::Icon::Information);
    });
}

bool SalesPage::boxesFilled() const
{
    for (const QLineEdit* box : std::initializer_list<const QLineEdit*>{
             m_ui->Text24, m_ui->Text25, m_ui->Text26, m_ui->Text27, m_ui->Text28}) {
        if (box->text().isEmpty()) {
            return false;
        }
    }
    return true;
}

void SalesPage::saveRecord()
{
    if (m_ui->Text29->text().isEmpty()) {
        m_ui->Text29->setText(QStringLiteral("备注内容"));
    }
    const goods::GoodsEntry entry{m_ui->Text25->text(), m_ui->Text26->text(), m_ui->Text27->text(),
                                  m_ui->Text28->text(), m_ui->Text24->text(), m_ui->Text29->text()};
    const goods::SavedRecord saved = goods::appendRecord(m_context.store, kTable, entry);
    goods::showSavedRow(*m_ui->MS5, saved, entry);
}

void SalesPage::deleteSelected()
{
    m_context.pictures.show(m_ui->Image28, Pictures::smallNormal());
    const auto answer = m_context.dialogs.message(this, QStringLiteral("确定要删除当前记录吗？"),
                                                  QStringLiteral("删除提示"),
                                                  Dialogs::Icon::Question, Dialogs::Buttons::YesNo);
    guard([this, answer] {
        const RecordGrid& grid = *m_ui->MS5;
        const int row = grid.row();
        if (answer == Dialogs::Answer::Yes) {
            if (grid.text(row, 1).isEmpty()) {
                m_context.dialogs.message(this, QStringLiteral("当前记录已经删除。"),
                                          QStringLiteral("提示"), Dialogs::Icon::Information);
            } else {
                goods::removeShownRecord(m_context.store, kTable, grid, row);
            }
        }
        listTable();
    });
    clearBoxes();
    guard([this] { refreshTotal(); });
}

void SalesPage::clearBoxes()
{
    for (QLineEdit* box : std::initializer_list<QLineEdit*>{
             m_ui->Text25, m_ui->Text26, m_ui->Text27, m_ui->Text28, m_ui->Text24, m_ui->Text29}) {
        box->clear();
    }
}

void SalesPage::openCalendar()
{
    m_context.inputAids.closeCalculator();
    m_context.inputAids.showCalendarBelow(kDateCode, m_ui->Text24);
}

void SalesPage::openCalculator()
{
    m_context.inputAids.closeCalendar();
    m_context.inputAids.showCalculatorBelow(kAmountCode, m_ui->Text28);
}

void SalesPage::closeAids()
{
    m_context.inputAids.closeCalendar();
    m_context.inputAids.closeCalculator();
}

QString SalesPage::printedTotal() const
{
    return m_ui->Label7->text();
}

} // namespace khgl
