#include "goods/purchase_page.h"

#include "data_store/data_store.h"
#include "data_store/values.h"
#include "goods/goods_grid.h"
#include "goods/goods_query_window.h"
#include "goods/goods_records.h"
#include "input_aids/input_aids.h"
#include "platform/app_context.h"
#include "platform/dialogs.h"
#include "platform/hover.h"
#include "ui_purchase_page.h"

namespace khgl {
namespace {

const QString kTable = QStringLiteral("进货表");
const QString kPageTotal = QStringLiteral("select sum(总金额) as 金额 from 进货表");
const QString kProductQuery =
    QStringLiteral("select 名称,单价,数量,总金额,日期,备注 from 进货表 where 名称= ? "
                   "order by rowid");
const QString kProductTotal =
    QStringLiteral("select sum (总金额) as 金额 from 进货表 where 名称=?");

constexpr qint16 kDateCode = 4;
constexpr qint16 kAmountCode = 3;
// The query window opens left of and below the "其他查询" picture (twips).
constexpr int kQueryWindowLeft = -1600;
constexpr int kQueryWindowDown = 500;

QStringList headers()
{
    return {QStringLiteral("编号"),     QStringLiteral("商品名称"), QStringLiteral("商品单价"),
            QStringLiteral("商品数量"), QStringLiteral("进货总额"), QStringLiteral("进货日期"),
            QStringLiteral("备注")};
}

} // namespace

PurchasePage::PurchasePage(PageEnv& env, QWidget* parent)
    : Page(env, parent), m_ui(std::make_unique<Ui::PurchasePage>())
{
    m_ui->setupUi(this);
    addGridMenus();
    m_hover.addLarge(this, m_ui->Label50, m_ui->Image11, &m_flags.a);
    m_hover.addLarge(this, m_ui->Label51, m_ui->Image12, &m_flags.b);
    m_hover.addLarge(this, m_ui->Label52, m_ui->Image13, &m_flags.c);
    m_hover.addSmall(m_ui->Frame2, m_ui->Label61, m_ui->Image14, &m_flags.a);
    m_hover.addSmall(m_ui->Frame2, m_ui->Label62, m_ui->Image15, &m_flags.b);
    m_context.inputAids.registerDateBox(kDateCode, m_ui->Text10);
    m_context.inputAids.registerAmountBox(kAmountCode, m_ui->Text22);

    connect(m_ui->Label50, &ClickLabel::clicked, this, &PurchasePage::listWholeTable);
    connect(m_ui->Label51, &ClickLabel::clicked, this, &PurchasePage::queryByProduct);
    connect(m_ui->Label52, &ClickLabel::clicked, this, &PurchasePage::openQueryWindow);
    connect(m_ui->Label61, &ClickLabel::clicked, this, &PurchasePage::save);
    connect(m_ui->Label62, &ClickLabel::clicked, this, &PurchasePage::deleteSelected);
    connect(m_ui->MS4, &RecordGrid::cellClicked, this,
            [this](int row, int) { copyRowToBoxes(row); });
    connect(m_ui->Text10, &ClickLineEdit::clicked, this,
            [this] { m_context.inputAids.showCalendarBelow(kDateCode, m_ui->Text10); });
    connect(m_ui->Text22, &ClickLineEdit::clicked, this,
            [this] { m_context.inputAids.showCalculatorBelow(kAmountCode, m_ui->Text22); });
    connect(m_ui->Text23, &ClickLineEdit::clicked, m_ui->Text23, &QLineEdit::clear);
    for (QLineEdit* box :
         std::initializer_list<QLineEdit*>{m_ui->Text12, m_ui->Text21, m_ui->Text22}) {
        connect(box, &QLineEdit::textChanged, box, [box] { goods::keepOnlyNumber(box); });
    }
}

PurchasePage::~PurchasePage() = default;

void PurchasePage::loadNormalPictures()
{
    for (QLabel* image : {m_ui->Image11, m_ui->Image12, m_ui->Image13}) {
        m_context.pictures.show(image, Pictures::largeNormal());
    }
    for (QLabel* image : {m_ui->Image14, m_ui->Image15}) {
        m_context.pictures.show(image, Pictures::smallNormal());
    }
}

void PurchasePage::opened()
{
    guard([this] {
        setUpGrid(3600);
        refreshPageTotal();
        listTable();
    });
}

void PurchasePage::closeWindows()
{
    if (m_queryWindow) {
        m_queryWindow->close();
    }
}

RecordGrid& PurchasePage::grid()
{
    return *m_ui->MS4;
}

void PurchasePage::showQueryTotal(std::optional<double> total)
{
    m_ui->Label8->setText(total ? QStringLiteral("商品进货总金额为：") + moneyHashes(*total) +
                                      QStringLiteral("元")
                                : QStringLiteral("当前商品进货总额为0.00元。"));
}

void PurchasePage::setUpGrid(int lastWidth)
{
    goods::setUpEntryGrid(*m_ui->MS4, headers(), lastWidth);
}

void PurchasePage::listTable()
{
    const RecordSet table = m_context.store.select(kTable);
    goods::resetGrid(*m_ui->MS4);
    goods::listRecords(*m_ui->MS4, table, goods::shownColumns());
}

void PurchasePage::refreshPageTotal()
{
    const auto total = goods::sumOf(m_context.store.select(kPageTotal), QStringLiteral("金额"));
    m_ui->Label8->setText(QStringLiteral("当前商品进货总额为") + moneyFixed(total.value_or(0.0)) +
                          QStringLiteral("元。"));
}

void PurchasePage::listWholeTable()
{
    m_context.pictures.show(m_ui->Image11, Pictures::largeNormal());
    guard([this] {
        setUpGrid(3300);
        m_ui->MS4->setRowHeight(1, 300);
        listTable();
    });
}

void PurchasePage::queryByProduct()
{
    m_context.pictures.show(m_ui->Image12, Pictures::largeNormal());
    const QString name = m_context.dialogs.input(this, QStringLiteral("输入要查询的商品名。"),
                                                 QStringLiteral("商品查询"));
    if (name.isEmpty()) {
        return;
    }
    guard([this, &name] {
        const RecordSet found =
            m_context.store.selectKeyed(goods::withRowKey(kProductQuery), {name});
        goods::resetGrid(*m_ui->MS4);
        goods::listRecords(*m_ui->MS4, found, goods::shownColumns());
        if (found.recordCount() == 0) {
            m_context.dialogs.message(this, QStringLiteral("查询的商品不存在。"),
                                      QStringLiteral("查询提示"), Dialogs::Icon::Information);
        }
        showQueryTotal(
            goods::sumOf(m_context.store.select(kProductTotal, {name}), QStringLiteral("金额")));
    });
}

void PurchasePage::openQueryWindow()
{
    m_context.pictures.show(m_ui->Image13, Pictures::largeNormal());
    if (!m_queryWindow) {
        m_queryWindow = new GoodsQueryWindow(m_context, *this, this);
    }
    const QPoint picture = m_ui->Image13->mapToGlobal(QPoint(0, 0));
    m_queryWindow->move(picture + QPoint(kQueryWindowLeft / 15, kQueryWindowDown / 15));
    m_queryWindow->show();
    m_queryWindow->raise();
    m_queryWindow->activateWindow();
}

void PurchasePage::copyRowToBoxes(int row)
{
    if (row == 0) {
        return;
    }
    const RecordGrid& grid = *m_ui->MS4;
    m_ui->Text11->setText(grid.text(row, 2));
    m_ui->Text12->setText(grid.text(row, 3));
    m_ui->Text21->setText(grid.text(row, 4));
    m_ui->Text22->setText(grid.text(row, 5));
    m_ui->Text10->setText(grid.text(row, 6));
    m_ui->Text23->setText(grid.text(row, 7));
}

void PurchasePage::save()
{
    m_context.pictures.show(m_ui->Image14, Pictures::smallNormal());
    if (!boxesFilled()) {
        m_context.dialogs.message(this, QStringLiteral("商品信息不能有空白项。"),
                                  QStringLiteral("提示"), Dialogs::Icon::Information);
    } else if (guard([this] { saveRecord(); })) {
        m_context.dialogs.message(this, QStringLiteral("保存成功。"));
    }
    guard([this] { refreshPageTotal(); });
}

bool PurchasePage::boxesFilled() const
{
    for (const QLineEdit* box : std::initializer_list<const QLineEdit*>{
             m_ui->Text10, m_ui->Text11, m_ui->Text12, m_ui->Text21, m_ui->Text22}) {
        if (box->text().isEmpty()) {
            return false;
        }
    }
    return true;
}

void PurchasePage::saveRecord()
{
    if (m_ui->Text23->text().isEmpty()) {
        m_ui->Text23->setText(QStringLiteral("备注内容"));
    }
    const goods::GoodsEntry entry{m_ui->Text11->text(), m_ui->Text12->text(), m_ui->Text21->text(),
                                  m_ui->Text22->text(), m_ui->Text10->text(), m_ui->Text23->text()};
    const goods::SavedRecord saved = goods::appendRecord(m_context.store, kTable, entry);
    goods::showSavedRow(*m_ui->MS4, saved, entry);
}

void PurchasePage::deleteSelected()
{
    m_context.pictures.show(m_ui->Image15, Pictures::smallNormal());
    const auto answer = m_context.dialogs.message(this, QStringLiteral("确定要删除当前记录吗？"),
                                                  QStringLiteral("删除提示"),
                                                  Dialogs::Icon::Question, Dialogs::Buttons::YesNo);
    guard([this, answer] {
        const RecordGrid& grid = *m_ui->MS4;
        const int row = grid.row();
        // A blank row shows no record: nothing to delete, and nothing to say about it.
        if (answer == Dialogs::Answer::Yes && !grid.text(row, 1).isEmpty()) {
            goods::removeShownRecord(m_context.store, kTable, grid, row);
        }
        listTable();
    });
    clearBoxes();
    guard([this] { refreshPageTotal(); });
}

void PurchasePage::clearBoxes()
{
    for (QLineEdit* box : std::initializer_list<QLineEdit*>{
             m_ui->Text11, m_ui->Text12, m_ui->Text21, m_ui->Text22, m_ui->Text10, m_ui->Text23}) {
        box->clear();
    }
}

QString PurchasePage::printedTotal() const
{
    return m_ui->Label8->text();
}

} // namespace khgl
