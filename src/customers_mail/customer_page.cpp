#include "customers_mail/customer_page.h"

#include "customers_mail/customer_entry_window.h"
#include "customers_mail/customer_file.h"
#include "customers_mail/customer_grid_editor.h"
#include "customers_mail/customer_records.h"
#include "data_store/data_store.h"
#include "data_store/schema.h"
#include "data_store/values.h"
#include "platform/aid_opener.h"
#include "platform/aid_target.h"
#include "platform/app_context.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include "ui_customer_page.h"
#include "widgets/hover.h"
#include "widgets/paged_rows.h"
#include "widgets/record_editor.h"
#include "widgets/screen_fit.h"

#include <array>
#include <vector>

namespace khgl {
namespace {

constexpr int kColumns = 12;
constexpr int kDateColumn = 4;    // 购买日期
constexpr int kShownColumns = 11; // 区别 and 附加信息 are never shown

// The columns grid columns 1 to 11 show, in that order.
QStringList shownColumnNames()
{
    return columnNames(QStringLiteral("客户表")).first(kShownColumns);
}
constexpr int kRowHeight = 300;
constexpr int kEntryWindowDropTwips = 800;
constexpr int kTwipsPerPixel = 15;

const std::array<const char16_t*, kShownColumns> kHeaders{
    u"客户名",   u"邮寄地址", u"客户邮箱", u"购买日期", u"商品名称", u"商品单价",
    u"商品数量", u"收取金额", u"商品简述", u"客户简述", u"备注"};

// 购买日期 reads back with leading zeros (2026-12-07), whatever form was typed: a saved row
// shows it so too, as the listing will after the page is opened again.
QString storedDateForm(const QString& typed)
{
    const auto date = parseDate(typed);
    return date ? isoDateText(*date) : typed;
}

// The entry window's captions of its boxes, in table order, then 附加信息.
const std::array<const char16_t*, kShownColumns + 1> kEntryCaptions{
    u"客户名：",   u"邮寄地址：", u"电子信箱：", u"购买日期：",     u"商品名称：", u"商品单价：",
    u"商品数量：", u"实收金额：", u"商品简述：", u"客户简单描述：", u"其他：",     u"附加信息："};
constexpr size_t kAmountField = 7;

// The editor's boxes: the entry window's, named as there (Text1 .. Text12), with its checks.
std::vector<RecordEditor::Field> entryFields(const QStringList& texts, AppContext& context,
                                             QWidget* parent)
{
    std::vector<RecordEditor::Field> fields;
    for (size_t i = 0; i < kEntryCaptions.size(); ++i) {
        RecordEditor::Field field;
        field.name = QStringLiteral("Text%1").arg(i + 1);
        field.caption = QString::fromUtf16(kEntryCaptions[i]);
        field.text = texts.value(static_cast<qsizetype>(i));
        fields.push_back(std::move(field));
    }
    const auto limit = [&context, parent](const QString& message) {
        return [&context, parent, message](QLineEdit* box) {
            CustomerEntryWindow::checkLength(context.dialogs, parent, box, message);
        };
    };
    fields[0].check = limit(CustomerEntryWindow::tooLongText());
    fields[2].check = limit(CustomerEntryWindow::tooLongText());
    fields[4].check = limit(CustomerEntryWindow::productTooLongText());
    fields[5].check = &CustomerEntryWindow::checkNumeric;
    fields[6].check = &CustomerEntryWindow::checkNumeric;
    fields[kDateColumn - 1].clicked = [&context](QLineEdit* box) {
        context.inputAids.showCalendarBelow(aid::EditorDate, box);
    };
    fields[kAmountField].clicked = [&context](QLineEdit* box) {
        context.inputAids.showCalculatorBelow(aid::EditorAmount, box);
    };
    fields.back().kind = RecordEditor::Field::Kind::Lines;
    return fields;
}

int columnWidth(int col)
{
    if (col == 0) {
        return 300;
    }
    return col <= 8 ? 1800 : 3000;
}

// Values other than text as the customer listing shows them.
void customerValueText(std::string& out, const QVariant& value)
{
    out = displayText(value).toStdString();
}

} // namespace

CustomerPage::CustomerPage(PageEnv& env, QWidget* parent)
    : Page(env, parent), m_ui(std::make_unique<Ui::CustomerPage>())
{
    m_ui->setupUi(this);
    addGridMenus();
    QStringList headers;
    for (const char16_t* header : kHeaders) {
        headers << QString::fromUtf16(header);
    }
    setGridImporter(*m_ui->MS1, customer_records::importer(m_context.store, headers),
                    [this] { loadAll(); });
    m_editor = new CustomerGridEditor(*m_ui->MS1);
    m_hover.addLarge(this, m_ui->Label49, m_ui->Image19, &m_flags.a);
    m_hover.addLarge(this, m_ui->Label11, m_ui->Image20, &m_flags.b);
    m_hover.addSmall(m_ui->Frame18, m_ui->Label66, m_ui->Image21, nullptr);
    onCommand(m_ui->Label49, &ClickLabel::clicked, &CustomerPage::openEntryWindow);
    onCommand(m_ui->Label11, &ClickLabel::clicked, &CustomerPage::findCustomer);
    onCommand(m_ui->Label66, &ClickLabel::clicked, &CustomerPage::deleteSelectedRow);
    onCommand(m_ui->Command15, &QPushButton::clicked, &CustomerPage::saveLastRow);
    onCommand(m_ui->MS1, &RecordGrid::cellClicked, &CustomerPage::showExtraInformation);
    addEditCommand(m_ui->MS1, &CustomerPage::editSelected);
    prepareGrid();
}

CustomerPage::~CustomerPage() = default;

void CustomerPage::loadNormalPictures()
{
    m_context.pictures.show(m_ui->Image19, Pictures::largeNormal());
    m_context.pictures.show(m_ui->Image20, Pictures::largeNormal());
    m_context.pictures.show(m_ui->Image21, Pictures::smallNormal());
}

void CustomerPage::opened()
{
    guard([this] { loadAll(); });
}

QWidget* CustomerPage::firstEntryBox() const
{
    return m_ui->MS1;
}

void CustomerPage::closeWindows()
{
    if (m_entry) {
        m_entry->close();
    }
}

// Blank grid: the header row and one empty data row that names no record.
void CustomerPage::prepareGrid()
{
    RecordGrid& grid = *m_ui->MS1;
    m_editor->cancel();
    {
        RecordGrid::Batch batch(grid);
        grid.clearTexts();
        grid.setCols(kColumns);
        grid.setRows(1);
        grid.setRows(2);
        for (int c = 1; c <= kShownColumns; ++c) {
            grid.setText(0, c, QString::fromUtf16(kHeaders.at(static_cast<size_t>(c - 1))));
        }
    }
    for (int c = 0; c < kColumns; ++c) {
        grid.setColWidth(c, columnWidth(c));
    }
    grid.setRowHeight(0, kRowHeight);
    grid.setRowHeight(1, kRowHeight);
}

void CustomerPage::loadAll()
{
    auto customers = customer_records::allPages(m_context.store);
    customers->count();
    prepareGrid();
    fillFromFirstRow(std::move(customers));
}

// Lists the records from row 1 on, read a block at a time as they come into view. Each row
// keeps the key of the record it shows, so delete can name it exactly.
void CustomerPage::fillFromFirstRow(std::unique_ptr<KeysetPages> records)
{
    if (records->count() == 0) {
        return;
    }
    RecordGrid& grid = *m_ui->MS1;
    grid.showSource(std::make_unique<PagedRows>(std::move(records), 1, false, &customerValueText));
    for (int c = 0; c < kColumns; ++c) {
        grid.setColWidth(c, columnWidth(c));
    }
    grid.setRowHeight(0, kRowHeight);
}

bool CustomerPage::gridIsEmpty() const
{
    return m_ui->MS1->rows() == 2 && m_ui->MS1->text(1, 1).isEmpty();
}

void CustomerPage::openEntryWindow()
{
    m_context.pictures.show(m_ui->Image19, Pictures::largeNormal());
    if (!m_entry || !m_entry->isVisible()) {
        // A closed window starts afresh, as a newly opened one would.
        m_entry = std::make_unique<CustomerEntryWindow>(m_context, this);
        onCommand(m_entry.get(), &CustomerEntryWindow::recordSaved, &CustomerPage::showSavedEntry);
        placeEntryWindow();
    }
    m_entry->show();
    m_entry->raise();
    m_entry->activateWindow();
}

// Over the grid: a third of the grid's width from its left, 800 twips below its top.
void CustomerPage::placeEntryWindow()
{
    const RecordGrid* grid = m_ui->MS1;
    m_entry->move(grid->mapToGlobal(
        QPoint(grid->width() / 3, screen_fit::scaled(kEntryWindowDropTwips / kTwipsPerPixel))));
}

void CustomerPage::showSavedEntry(const QStringList& texts, qint64 key)
{
    RecordGrid& grid = *m_ui->MS1;
    m_editor->commit();
    int row = 1;
    if (!gridIsEmpty()) {
        row = grid.rows();
        grid.setRows(row + 1);
        grid.setRowHeight(row, kRowHeight);
    }
    grid.setRow(row);
    for (int c = 1; c <= kShownColumns && c <= texts.size(); ++c) {
        grid.setText(row, c, texts.at(c - 1)); // as typed in the box, the date too
    }
    grid.setRowKey(row, key);
}

void CustomerPage::findCustomer()
{
    m_context.pictures.show(m_ui->Image20, Pictures::largeNormal());
    if (m_entry) {
        m_entry->close();
    }
    const QString name =
        m_context.dialogs.input(this, QStringLiteral("请输入用户名。"), QStringLiteral("查找客户"));
    if (name.isEmpty()) {
        return;
    }
    guard([this, &name] {
        auto found = customer_records::namePages(m_context.store, name);
        if (found->count() == 0) {
            m_context.dialogs.message(this, QStringLiteral("客户不存在。"), QStringLiteral("提示"),
                                      Dialogs::Icon::Information);
            return;
        }
        prepareGrid();
        fillFromFirstRow(std::move(found));
    });
}

void CustomerPage::showExtraInformation(int row, int col)
{
    const RecordGrid& grid = *m_ui->MS1;
    if (grid.rowKey(row) < 0) {
        return; // a purchase still being typed into the grid: its description is typed here
    }
    // The box shows the clicked customer's text or nothing, never the one shown before.
    m_ui->Text1->clear();
    const QString name = grid.text(row, 1);
    const QString mail = grid.text(row, 3);
    if (col != 1 || name.isEmpty() || mail.isEmpty()) {
        return;
    }
    guard([this, &name, &mail] {
        RecordSet info = customer_records::extraInformation(m_context.store, name, mail);
        if (!info.eof() && !info.isEmpty(0)) {
            m_ui->Text1->setLongText(info.text(0));
        }
    });
}

void CustomerPage::deleteSelectedRow()
{
    m_context.pictures.show(m_ui->Image21, Pictures::smallNormal());
    if (m_context.dialogs.message(this, QStringLiteral("是否删除？"), QStringLiteral("提示"),
                                  Dialogs::Icon::Question,
                                  Dialogs::Buttons::YesNoDefaultNo) != Dialogs::Answer::Yes) {
        return;
    }
    m_editor->cancel();
    RecordGrid& grid = *m_ui->MS1;
    const int row = grid.row();
    if (row < 1) {
        return;
    }
    const qint64 key = grid.rowKey(row);
    guard([this, &grid, row, key] {
        // The record goes first: a failure leaves the grid showing it still.
        if (key >= 0) {
            QList<std::pair<QString, QString>> shown;
            const QStringList names = shownColumnNames();
            for (int c = 1; c <= kShownColumns; ++c) {
                shown.append({names[c - 1], grid.text(row, c)});
            }
            customer_records::remove(m_context.store, key, shown);
        }
        if (grid.rows() == 2) {
            for (int c = 1; c <= kShownColumns; ++c) {
                grid.setText(1, c, QString());
            }
            grid.setRowKey(1, -1);
        } else {
            grid.removeItem(row);
        }
    });
}

void CustomerPage::saveLastRow()
{
    m_editor->commit();
    guard([this] { writeLastRow(); });
}

void CustomerPage::writeLastRow()
{
    RecordGrid& grid = *m_ui->MS1;
    customer_records::requery(m_context.store);
    bool complete = true;
    grid.visitRows([&complete, &grid](int, const std::string* cells) {
        for (int c = 1; c <= kShownColumns && c < grid.cols(); ++c) {
            complete = complete && !cells[c].empty();
        }
        return complete;
    });
    if (!complete) {
        m_context.dialogs.message(this, QStringLiteral("存在不完整记录，请检查后再保存。"),
                                  QStringLiteral("提示"));
        return;
    }
    const int last = grid.rows() - 1;
    grid.setRow(last);
    QStringList texts;
    for (int c = 1; c <= kShownColumns; ++c) {
        texts << grid.text(last, c);
    }
    const qint64 key = customer_records::appendRecord(m_context.store, texts, {},
                                                      customer_records::Numbering::OneBeyond);
    // The row now shows the record just written.
    grid.setRowKey(last, key);
    grid.setText(last, kDateColumn, storedDateForm(grid.text(last, kDateColumn)));
    m_context.dialogs.message(this, QStringLiteral("记录已保存。"), QStringLiteral("提示"),
                              Dialogs::Icon::Information);
    writeDescriptionFile(grid.text(last, 1));
}

void CustomerPage::writeDescriptionFile(const QString& customerName)
{
    const QString error =
        customer_file::write(m_context.folder, customerName, m_ui->Text1->toPlainText());
    if (!error.isEmpty()) {
        m_context.dialogs.message(this, error, QStringLiteral("提示"), Dialogs::Icon::Warning);
    }
}

void CustomerPage::editSelected()
{
    m_editor->commit();
    const int row = m_ui->MS1->row();
    const qint64 key = selectedRecordKey(*m_ui->MS1);
    if (key < 0) {
        return;
    }
    const auto read = customer_records::readEntry(m_context.store, key);
    if (!read) {
        inform(DataStore::recordMissingText());
        return;
    }
    RecordEditor editor(QStringLiteral("修改客户记录"), entryFields(read->texts, m_context, this),
                        this);
    m_context.inputAids.registerDateBox(aid::EditorDate, editor.lineBox(kDateColumn - 1));
    m_context.inputAids.registerAmountBox(aid::EditorAmount, editor.lineBox(kAmountField));
    editor.setSave([this, &editor, &read] { return writeEdit(editor, read->read); });
    m_context.dialogs.exec(editor);
    m_context.inputAids.closeCalendar();
    m_context.inputAids.closeCalculator();
    // Refused or not, the row shows what the record now holds.
    showStoredRow(row, key);
}

bool CustomerPage::writeEdit(RecordEditor& editor, const DataStore::ReadRecord& read)
{
    QStringList texts = editor.texts();
    if (texts[0].isEmpty()) {
        m_context.dialogs.inform(&editor, QStringLiteral("请添加用户名！"));
        return false;
    }
    // The number boxes keep what was typed ("1,234"); the file holds the number.
    for (const qsizetype number : {5, 6}) {
        texts[number] = customer_records::storedNumber(texts[number]);
    }
    return guarded(m_context.dialogs, &editor,
                   [&] { customer_records::updateEntry(m_context.store, read, texts); });
}

void CustomerPage::showStoredRow(int row, qint64 key)
{
    guard([&] {
        const auto stored = customer_records::readEntry(m_context.store, key);
        if (!stored) {
            return;
        }
        RecordGrid& grid = *m_ui->MS1;
        for (int c = 1; c <= kShownColumns; ++c) {
            grid.setText(row, c, stored->texts[c - 1]);
        }
    });
}

} // namespace khgl
