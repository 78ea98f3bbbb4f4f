#include "goods/goods_entry_page.h"

#include "data_store/values.h"
#include "goods/goods_grid.h"
#include "input_aids/input_aids.h"
#include "platform/app_context.h"
#include "platform/click_widgets.h"
#include "platform/hover.h"
#include "platform/record_grid.h"

namespace khgl {

GoodsEntryPage::GoodsEntryPage(PageEnv& env, QWidget* parent) : Page(env, parent) {}

void GoodsEntryPage::setUp(const GoodsEntryControls& controls, GoodsEntryConfig config)
{
    m_controls = controls;
    m_config = std::move(config);
    m_context.inputAids.registerDateBox(m_config.dateTarget, m_controls.date);
    m_context.inputAids.registerAmountBox(m_config.amountTarget, m_controls.amount);

    onCommand(m_controls.productQuery, &ClickLabel::clicked, &GoodsEntryPage::queryByProduct);
    onCommand(m_controls.save, &ClickLabel::clicked, &GoodsEntryPage::save);
    onCommand(m_controls.remove, &ClickLabel::clicked, &GoodsEntryPage::deleteSelected);
    onCommand(m_controls.grid, &RecordGrid::cellClicked, &GoodsEntryPage::copyRowToBoxes);
    onCommand(m_controls.date, &ClickLineEdit::clicked, &GoodsEntryPage::openCalendar);
    onCommand(m_controls.amount, &ClickLineEdit::clicked, &GoodsEntryPage::openCalculator);
    for (QLineEdit* box :
         {m_controls.price, m_controls.quantity, static_cast<QLineEdit*>(m_controls.amount)}) {
        connect(box, &QLineEdit::textChanged, box, [box] { goods::keepOnlyNumber(box); });
    }
}

void GoodsEntryPage::opened()
{
    guard([this] {
        setUpGrid(3600);
        refreshTotal();
        listTable();
    });
}

RecordGrid& GoodsEntryPage::grid()
{
    return *m_controls.grid;
}

void GoodsEntryPage::setUpGrid(int lastWidth)
{
    goods::setUpEntryGrid(*m_controls.grid, m_config.headers, lastWidth);
}

void GoodsEntryPage::listTable()
{
    const RecordSet table = goods::listing(m_context.store, m_config.table);
    goods::resetGrid(*m_controls.grid);
    goods::listRecords(*m_controls.grid, table, 6);
}

void GoodsEntryPage::refreshTotal()
{
    const auto total = goods::tableTotal(m_context.store, m_config.table);
    m_controls.total->setText(m_config.totalCaption + moneyFixed(total.value_or(0.0)) +
                              QStringLiteral("元。"));
}

void GoodsEntryPage::openCalendar()
{
    if (m_config.aidsExclusive) {
        m_context.inputAids.closeCalculator();
    }
    m_context.inputAids.showCalendarBelow(m_config.dateTarget, m_controls.date);
}

void GoodsEntryPage::openCalculator()
{
    if (m_config.aidsExclusive) {
        m_context.inputAids.closeCalendar();
    }
    m_context.inputAids.showCalculatorBelow(m_config.amountTarget, m_controls.amount);
}

void GoodsEntryPage::closeAids()
{
    m_context.inputAids.closeCalendar();
    m_context.inputAids.closeCalculator();
}

void GoodsEntryPage::showWindowAt(QWidget* window, QPoint place)
{
    window->move(place);
    window->show();
    window->raise();
    window->activateWindow();
}

void GoodsEntryPage::queryByProduct()
{
    m_context.pictures.show(m_controls.productQueryImage, Pictures::largeNormal());
    const QString name =
        m_context.dialogs.input(this, m_config.productPrompt, m_config.productTitle);
    if (name.isEmpty()) {
        return;
    }
    const RecordSet found = goods::ofProduct(m_context.store, m_config.table, name);
    const bool none = found.recordCount() == 0;
    if (!none || m_config.listEmptyProductQuery) {
        goods::resetGrid(*m_controls.grid);
        goods::listRecords(*m_controls.grid, found, 6);
    }
    if (none) {
        m_context.dialogs.message(this, m_config.productMissing, QStringLiteral("查询提示"),
                                  Dialogs::Icon::Information);
        if (!m_config.listEmptyProductQuery) {
            return;
        }
    }
    productQueried(name);
}

void GoodsEntryPage::copyRowToBoxes(int row)
{
    if (row == 0 && !m_config.headerRowCopies) {
        return;
    }
    const RecordGrid& grid = *m_controls.grid;
    m_controls.name->setText(grid.text(row, 2));
    m_controls.price->setText(grid.text(row, 3));
    m_controls.quantity->setText(grid.text(row, 4));
    m_controls.amount->setText(grid.text(row, 5));
    m_controls.date->setText(grid.text(row, 6));
    m_controls.remark->setText(grid.text(row, 7));
}

void GoodsEntryPage::save()
{
    m_context.pictures.show(m_controls.saveImage, Pictures::smallNormal());
    if (!boxesFilled()) {
        inform(QStringLiteral("商品信息不能有空白项。"));
    } else if (guard([this] {
                   saveRecord();
                   if (!m_config.totalAfterEveryTry) {
                       refreshTotal();
                   }
               })) {
        m_context.dialogs.message(this, m_config.savedText, m_config.savedTitle,
                                  m_config.savedIcon);
    }
    if (m_config.totalAfterEveryTry) {
        refreshTotal();
    }
}

bool GoodsEntryPage::boxesFilled() const
{
    for (const QLineEdit* box :
         std::initializer_list<const QLineEdit*>{m_controls.date, m_controls.name, m_controls.price,
                                                 m_controls.quantity, m_controls.amount}) {
        if (box->text().isEmpty()) {
            return false;
        }
    }
    return true;
}

void GoodsEntryPage::saveRecord()
{
    if (m_controls.remark->text().isEmpty()) {
        m_controls.remark->setText(QStringLiteral("备注内容"));
    }
    const goods::GoodsEntry entry{m_controls.name->text(),     m_controls.price->text(),
                                  m_controls.quantity->text(), m_controls.amount->text(),
                                  m_controls.date->text(),     m_controls.remark->text()};
    const goods::SavedRecord saved = goods::appendRecord(m_context.store, m_config.table, entry);
    goods::showSavedRow(*m_controls.grid, saved, entry);
}

void GoodsEntryPage::deleteSelected()
{
    m_context.pictures.show(m_controls.removeImage, Pictures::smallNormal());
    const auto answer = m_context.dialogs.message(this, QStringLiteral("确定要删除当前记录吗？"),
                                                  QStringLiteral("删除提示"),
                                                  Dialogs::Icon::Question, Dialogs::Buttons::YesNo);
    guard([this, answer] {
        const RecordGrid& grid = *m_controls.grid;
        const int row = grid.row();
        if (answer == Dialogs::Answer::Yes) {
            // A blank row shows no record: nothing to delete.
            if (!grid.text(row, 1).isEmpty()) {
                goods::removeRecord(m_context.store, m_config.table, grid.rowKey(row));
            } else if (!m_config.alreadyDeleted.isEmpty()) {
                inform(m_config.alreadyDeleted);
            }
        }
        listTable();
    });
    clearBoxes();
    refreshTotal();
}

void GoodsEntryPage::clearBoxes()
{
    for (QLineEdit* box :
         std::initializer_list<QLineEdit*>{m_controls.name, m_controls.price, m_controls.quantity,
                                           m_controls.amount, m_controls.date, m_controls.remark}) {
        box->clear();
    }
}

} // namespace khgl
