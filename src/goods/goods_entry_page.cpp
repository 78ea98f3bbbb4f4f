#include "goods/goods_entry_page.h"

#include "data_store/data_store.h"
#include "data_store/values.h"
#include "goods/box_filters.h"
#include "goods/goods_grid.h"
#include "goods/goods_log.h"
#include "platform/aid_opener.h"
#include "platform/aid_target.h"
#include "platform/app_context.h"
#include "platform/guard.h"
#include "widgets/click_widgets.h"
#include "widgets/hover.h"
#include "widgets/record_grid.h"
#include "widgets/screen_fit.h"

namespace khgl {
// How the purchase and the sales page differ besides their forms.
struct GoodsEntryPage::Config
{
    goods::GoodsTable table;
    QStringList headers;
    qint16 dateTarget;
    qint16 amountTarget;
    QString dateCaption;  // names the date box in a refusal
    QString totalCaption; // before the table total
    QString productPrompt;
    QString productTitle;
    QString productMissing;
    // Purchases list a product's records even when there are none, then its total.
    bool listEmptyProductQuery;
    // Sales copy a clicked header row into the boxes as well.
    bool headerRowCopies;
    QString savedText;
    QString savedTitle;
    Dialogs::Icon savedIcon;
    // Purchases refresh the total after every save attempt, sales after a saved record.
    bool totalAfterEveryTry;
    // Said when delete meets a blank row; empty: passed over silently.
    QString alreadyDeleted;
    // Sales: opening the calendar closes the calculator and the other way round.
    bool aidsExclusive;
};

// The controls of one goods entry page, as its form names them.
struct GoodsEntryPage::Controls
{
    // The page's large commands and their pictures, left to right.
    std::vector<std::pair<ClickLabel*, QLabel*>> largeCommands;
    QWidget* entryFrame;
    RecordGrid* grid;
    QLabel* total;
    ClickLabel* productQuery;
    QLabel* productQueryImage;
    ClickLabel* save;
    QLabel* saveImage;
    ClickLabel* remove;
    QLabel* removeImage;
    ClickLineEdit* date;
    QLineEdit* name;
    QLineEdit* price;
    QLineEdit* quantity;
    ClickLineEdit* amount;
    QLineEdit* remark;
    // The captions of the six boxes in the order of an entry, and the sales' amount check.
    std::vector<QLabel*> captions;
    QLabel* amountCheck;
};

GoodsEntryPage::Controls GoodsEntryPage::controlsFor(goods::GoodsTable table)
{
    const bool bought = table == goods::GoodsTable::Purchases;
    const auto find = [this, bought](auto* type, const char16_t* purchase, const char16_t* sale) {
        using Control = std::remove_pointer_t<decltype(type)>;
        auto* control = findChild<Control*>(QString::fromUtf16(bought ? purchase : sale));
        Q_ASSERT(control);
        return control;
    };
    const auto label = [&](const char16_t* purchase, const char16_t* sale) {
        return find(static_cast<QLabel*>(nullptr), purchase, sale);
    };
    const auto command = [&](const char16_t* purchase, const char16_t* sale) {
        return find(static_cast<ClickLabel*>(nullptr), purchase, sale);
    };
    const auto box = [&](const char16_t* purchase, const char16_t* sale) {
        return find(static_cast<QLineEdit*>(nullptr), purchase, sale);
    };
    const auto clickBox = [&](const char16_t* purchase, const char16_t* sale) {
        return find(static_cast<ClickLineEdit*>(nullptr), purchase, sale);
    };
    Controls controls{{{command(u"Label50", u"Label45"), label(u"Image11", u"Image29")},
                       {command(u"Label51", u"Label46"), label(u"Image12", u"Image30")}},
                      find(static_cast<QWidget*>(nullptr), u"Frame2", u"Frame3"),
                      find(static_cast<RecordGrid*>(nullptr), u"MS4", u"MS5"),
                      label(u"Label8", u"Label7"),
                      command(u"Label51", u"Label45"),
                      label(u"Image12", u"Image29"),
                      command(u"Label61", u"Label72"),
                      label(u"Image14", u"Image27"),
                      command(u"Label62", u"Label73"),
                      label(u"Image15", u"Image28"),
                      clickBox(u"Text10", u"Text24"),
                      box(u"Text11", u"Text25"),
                      box(u"Text12", u"Text26"),
                      box(u"Text21", u"Text27"),
                      clickBox(u"Text22", u"Text28"),
                      box(u"Text23", u"Text29"),
                      {},
                      findChild<QLabel*>(QStringLiteral("AmountCheck"))};
    for (const char* name : {"captionName", "captionPrice", "captionQuantity", "captionAmount",
                             "captionDate", "captionRemark"}) {
        controls.captions.push_back(findChild<QLabel*>(QLatin1String(name)));
    }
    if (bought) {
        controls.largeCommands.emplace_back(command(u"Label52", u""), label(u"Image13", u""));
    }
    return controls;
}

GoodsEntryPage::Config GoodsEntryPage::configFor(goods::GoodsTable table)
{
    const bool bought = table == goods::GoodsTable::Purchases;
    const auto pick = [bought](const char16_t* purchase, const char16_t* sale) {
        return QString::fromUtf16(bought ? purchase : sale);
    };
    return {table,
            {QStringLiteral("编号"), QStringLiteral("商品名称"), QStringLiteral("商品单价"),
             QStringLiteral("商品数量"), pick(u"进货总额", u"销售金额"),
             pick(u"进货日期", u"销售日期"), QStringLiteral("备注")},
            bought ? aid::PurchaseDate : aid::SalesDate,
            bought ? aid::PurchaseAmount : aid::SalesAmount,
            pick(u"日期", u"售出日期"),
            pick(u"当前商品进货总额为", u"当前销售总额为："),
            pick(u"输入要查询的商品名。", u"请输入要查询的商品名称。"),
            pick(u"商品查询", u"按商品名查询商品信息"),
            pick(u"查询的商品不存在。", u"不存在查询商品的记录。"),
            /*listEmptyProductQuery=*/bought,
            /*headerRowCopies=*/!bought,
            pick(u"保存成功。", u"保存完毕。"),
            bought ? QString() : QStringLiteral("保存"),
            bought ? Dialogs::Icon::None : Dialogs::Icon::Information,
            /*totalAfterEveryTry=*/bought,
            bought ? QString() : QStringLiteral("当前记录已经删除。"),
            /*aidsExclusive=*/!bought};
}

GoodsEntryPage::GoodsEntryPage(PageEnv& env, QWidget* parent) : Page(env, parent) {}

GoodsEntryPage::~GoodsEntryPage() = default;

void GoodsEntryPage::setUp(goods::GoodsTable table)
{
    m_controls = std::make_unique<const Controls>(controlsFor(table));
    m_config = std::make_unique<const Config>(configFor(table));
    addGridMenus();
    setGridImporter(*m_controls->grid, goods::importer(m_context.store, table, m_config->headers),
                    [this] {
                        refreshTotal();
                        listTable();
                    });
    qint16* const flags[] = {&m_flags.a, &m_flags.b, &m_flags.c};
    for (size_t i = 0; i < m_controls->largeCommands.size(); ++i) {
        const auto& [label, image] = m_controls->largeCommands[i];
        m_hover.addLarge(this, label, image, flags[i]);
    }
    m_hover.addSmall(m_controls->entryFrame, m_controls->save, m_controls->saveImage, &m_flags.a);
    m_hover.addSmall(m_controls->entryFrame, m_controls->remove, m_controls->removeImage,
                     &m_flags.b);
    m_context.inputAids.registerDateBox(m_config->dateTarget, m_controls->date);
    m_context.inputAids.registerAmountBox(m_config->amountTarget, m_controls->amount);

    onCommand(m_controls->productQuery, &ClickLabel::clicked, &GoodsEntryPage::queryByProduct);
    onCommand(m_controls->save, &ClickLabel::clicked, &GoodsEntryPage::save);
    onCommand(m_controls->remove, &ClickLabel::clicked, &GoodsEntryPage::deleteSelected);
    onCommand(m_controls->grid, &RecordGrid::cellClicked, &GoodsEntryPage::copyRowToBoxes);
    onCommand(m_controls->date, &ClickLineEdit::clicked, &GoodsEntryPage::openCalendar);
    onCommand(m_controls->amount, &ClickLineEdit::clicked, &GoodsEntryPage::openCalculator);
    // Enter walks the boxes in the order they sit in the panel; the last one saves.
    new EnterMovesOn({m_controls->name, m_controls->price, m_controls->quantity, m_controls->amount,
                      m_controls->date, m_controls->remark},
                     m_controls->save);
    for (QLineEdit* box :
         {m_controls->price, m_controls->quantity, static_cast<QLineEdit*>(m_controls->amount)}) {
        HalfWidthNumbers::install(box);
        connect(box, &QLineEdit::textChanged, box, [box] { goods::keepOnlyNumber(box); });
        if (m_controls->amountCheck != nullptr) {
            connect(box, &QLineEdit::textChanged, this, &GoodsEntryPage::showAmountCheck);
        }
    }
    if (m_controls->amountCheck != nullptr) {
        m_controls->amountCheck->hide();
    }
    addEditCommand(m_controls->grid, &GoodsEntryPage::editSelected);
}

// Sales only: a line under the boxes while 数量 × 单价 is not 销售金额 to the cent.
void GoodsEntryPage::showAmountCheck()
{
    const QString warning = goods::amountMismatch(
        m_controls->price->text(), m_controls->quantity->text(), m_controls->amount->text());
    m_controls->amountCheck->setText(warning);
    m_controls->amountCheck->setVisible(!warning.isEmpty());
}

void GoodsEntryPage::opened()
{
    guard([this] {
        setUpGrid(3600);
        refreshTotal();
        listTable();
    });
}

void GoodsEntryPage::loadNormalPictures()
{
    for (const auto& command : m_controls->largeCommands) {
        m_context.pictures.show(command.second, Pictures::largeNormal());
    }
    for (QLabel* image : {m_controls->saveImage, m_controls->removeImage}) {
        m_context.pictures.show(image, Pictures::smallNormal());
    }
}

QWidget* GoodsEntryPage::firstEntryBox() const
{
    return m_controls->name;
}

RecordGrid& GoodsEntryPage::grid()
{
    return *m_controls->grid;
}

void GoodsEntryPage::setUpGrid(int lastWidth)
{
    goods::setUpEntryGrid(*m_controls->grid, m_config->headers, lastWidth);
}

void GoodsEntryPage::listTable()
{
    auto table = goods::listingPages(m_context.store, m_config->table);
    goods::resetGrid(*m_controls->grid);
    goods::listPages(*m_controls->grid, std::move(table));
}

QString GoodsEntryPage::printedTotal() const
{
    return m_controls->total->text();
}

void GoodsEntryPage::refreshTotal()
{
    const auto total = goods::tableTotal(m_context.store, m_config->table);
    m_controls->total->setText(m_config->totalCaption + moneyFixed(total.value_or(0.0)) +
                               QStringLiteral("元。"));
}

void GoodsEntryPage::openCalendar()
{
    if (m_config->aidsExclusive) {
        m_context.inputAids.closeCalculator();
    }
    m_context.inputAids.showCalendarBelow(m_config->dateTarget, m_controls->date);
}

void GoodsEntryPage::openCalculator()
{
    if (m_config->aidsExclusive) {
        m_context.inputAids.closeCalendar();
    }
    m_context.inputAids.showCalculatorBelow(m_config->amountTarget, m_controls->amount);
}

void GoodsEntryPage::closeAids()
{
    m_context.inputAids.closeCalendar();
    m_context.inputAids.closeCalculator();
}

void GoodsEntryPage::showWindowNear(QWidget* window, const QWidget* anchor, int drop)
{
    // 1600 twips left of the anchor and 500 below it.
    window->move(anchor->mapToGlobal(QPoint(0, 0)) +
                 screen_fit::scaled(QPoint(-1600 / 15, 500 / 15)) + QPoint(0, drop));
    window->show();
    window->raise();
    window->activateWindow();
}

void GoodsEntryPage::queryByProduct()
{
    m_context.pictures.show(m_controls->productQueryImage, Pictures::largeNormal());
    const QString name =
        m_context.dialogs.input(this, m_config->productPrompt, m_config->productTitle);
    if (name.isEmpty()) {
        return;
    }
    auto found = goods::productPages(m_context.store, m_config->table, name);
    const bool none = found->count() == 0;
    if (!none || m_config->listEmptyProductQuery) {
        goods::resetGrid(*m_controls->grid);
        goods::listPages(*m_controls->grid, std::move(found));
    }
    if (none) {
        m_context.dialogs.message(this, m_config->productMissing, QStringLiteral("查询提示"),
                                  Dialogs::Icon::Information);
        if (!m_config->listEmptyProductQuery) {
            return;
        }
    }
    productQueried(name);
}

void GoodsEntryPage::copyRowToBoxes(int row)
{
    if (row == 0 && !m_config->headerRowCopies) {
        return;
    }
    const RecordGrid& grid = *m_controls->grid;
    m_controls->name->setText(grid.text(row, 2));
    m_controls->price->setText(grid.text(row, 3));
    m_controls->quantity->setText(grid.text(row, 4));
    m_controls->amount->setText(grid.text(row, 5));
    m_controls->date->setText(grid.text(row, 6));
    m_controls->remark->setText(grid.text(row, 7));
}

void GoodsEntryPage::save()
{
    m_context.pictures.show(m_controls->saveImage, Pictures::smallNormal());
    const QString refusal = goods::entryRefusal(
        {m_controls->name->text(), m_controls->price->text(), m_controls->quantity->text(),
         m_controls->amount->text(), m_controls->date->text(), m_controls->remark->text()},
        m_config->dateCaption);
    if (!refusal.isEmpty()) {
        inform(refusal);
    } else if (guard([this] {
                   saveRecord();
                   if (!m_config->totalAfterEveryTry) {
                       refreshTotal();
                   }
               })) {
        m_context.dialogs.message(this, m_config->savedText, m_config->savedTitle,
                                  m_config->savedIcon);
    }
    if (m_config->totalAfterEveryTry) {
        refreshTotal();
    }
}

void GoodsEntryPage::saveRecord()
{
    if (m_controls->remark->text().isEmpty()) {
        m_controls->remark->setText(QStringLiteral("备注内容"));
    }
    const goods::GoodsEntry entry{m_controls->name->text(),     m_controls->price->text(),
                                  m_controls->quantity->text(), m_controls->amount->text(),
                                  m_controls->date->text(),     m_controls->remark->text()};
    const goods::SavedRecord saved = goods::appendRecord(m_context.store, m_config->table, entry);
    goods::showSavedRow(*m_controls->grid, saved, entry);
}

void GoodsEntryPage::deleteSelected()
{
    m_context.pictures.show(m_controls->removeImage, Pictures::smallNormal());
    const auto answer = m_context.dialogs.message(
        this, QStringLiteral("确定要删除当前记录吗？"), QStringLiteral("删除提示"),
        Dialogs::Icon::Question, Dialogs::Buttons::YesNoDefaultNo);
    guard([this, answer] {
        const RecordGrid& grid = *m_controls->grid;
        const int row = grid.row();
        if (answer == Dialogs::Answer::Yes) {
            // A blank row shows no record: nothing to delete.
            if (!grid.text(row, 1).isEmpty()) {
                goods::removeRecord(m_context.store, m_config->table, grid.rowKey(row),
                                    goods::shownTexts(grid, row));
            } else if (!m_config->alreadyDeleted.isEmpty()) {
                inform(m_config->alreadyDeleted);
            }
        }
        listTable();
    });
    clearBoxes();
    refreshTotal();
}

void GoodsEntryPage::clearBoxes()
{
    for (QLineEdit* box : std::initializer_list<QLineEdit*>{
             m_controls->name, m_controls->price, m_controls->quantity, m_controls->amount,
             m_controls->date, m_controls->remark}) {
        box->clear();
    }
}

void GoodsEntryPage::editSelected()
{
    const int row = m_controls->grid->row();
    const qint64 key = selectedRecordKey(*m_controls->grid);
    if (key < 0) {
        return;
    }
    const auto read = goods::readEntry(m_context.store, m_config->table, key);
    if (!read) {
        inform(DataStore::recordMissingText());
        return;
    }
    RecordEditor editor(QStringLiteral("修改记录"), editorFields(read->entry), this);
    m_context.inputAids.registerDateBox(aid::EditorDate, editor.lineBox(4));
    m_context.inputAids.registerAmountBox(aid::EditorAmount, editor.lineBox(3));
    editor.setSave([this, &editor, &read] { return writeEdit(editor, read->read); });
    if (m_controls->amountCheck != nullptr) {
        editor.setChanged([&editor] {
            editor.setWarning(
                goods::amountMismatch(editor.text(1), editor.text(2), editor.text(3)));
        });
    }
    const bool written = m_context.dialogs.exec(editor) == QDialog::Accepted;
    closeAids();
    // Refused or not, the row shows what the record now holds.
    showStoredRow(row, key);
    if (written) {
        refreshTotal();
    }
}

std::vector<RecordEditor::Field> GoodsEntryPage::editorFields(const goods::GoodsEntry& entry)
{
    const QStringList texts{entry.name,   entry.price, entry.quantity,
                            entry.amount, entry.date,  entry.remark};
    const std::vector<QLineEdit*> boxes{m_controls->name,   m_controls->price, m_controls->quantity,
                                        m_controls->amount, m_controls->date,  m_controls->remark};
    std::vector<RecordEditor::Field> fields;
    for (size_t i = 0; i < boxes.size(); ++i) {
        RecordEditor::Field field;
        field.name = boxes[i]->objectName();
        field.caption = m_controls->captions[i] ? m_controls->captions[i]->text() : QString();
        field.text = texts[static_cast<qsizetype>(i)];
        fields.push_back(std::move(field));
    }
    for (const size_t i : {size_t{1}, size_t{2}, size_t{3}}) {
        fields[i].check = &goods::keepOnlyNumber;
    }
    if (m_config->table == goods::GoodsTable::Sales) {
        fields[4].check = &goods::keepOnlyDate; // as the sales page's date box
    }
    fields[4].clicked = [this](QLineEdit* box) {
        m_context.inputAids.closeCalculator();
        m_context.inputAids.showCalendarBelow(aid::EditorDate, box);
    };
    fields[3].clicked = [this](QLineEdit* box) {
        m_context.inputAids.closeCalendar();
        m_context.inputAids.showCalculatorBelow(aid::EditorAmount, box);
    };
    return fields;
}

bool GoodsEntryPage::writeEdit(RecordEditor& editor, const DataStore::ReadRecord& read)
{
    const QStringList texts = editor.texts();
    goods::GoodsEntry entry{texts[0], texts[1], texts[2], texts[3], texts[4], texts[5]};
    if (entry.remark.isEmpty()) {
        entry.remark = QStringLiteral("备注内容"); // as a save from the boxes stores it
    }
    const QString refusal = goods::entryRefusal(entry, m_config->dateCaption);
    if (!refusal.isEmpty()) {
        m_context.dialogs.inform(&editor, refusal);
        return false;
    }
    return guarded(m_context.dialogs, &editor,
                   [&] { goods::updateEntry(m_context.store, m_config->table, read, entry); });
}

void GoodsEntryPage::showStoredRow(int row, qint64 key)
{
    guard([&] {
        if (const auto stored = goods::readEntry(m_context.store, m_config->table, key)) {
            goods::showEntry(*m_controls->grid, row, stored->entry);
        }
    });
}

} // namespace khgl
