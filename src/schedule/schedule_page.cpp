#include "schedule/schedule_page.h"

#include "data_store/schema.h"
#include "data_store/values.h"
#include "platform/aid_opener.h"
#include "platform/app_context.h"
#include "platform/audio_player.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include "schedule/reminder_records.h"
#include "schedule/schedule_log.h"
#include "ui_schedule_page.h"
#include "widgets/hover.h"
#include "widgets/record_editor.h"

#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>
#include <array>
#include <vector>

namespace khgl {
namespace {

constexpr int kGridCols = 7;
constexpr std::array<int, kGridCols> kColWidths{300, 1200, 1200, 1200, 1200, 3300, 3500};
constexpr std::array<const char16_t*, kGridCols - 1> kHeaders{
    u"编号", u"设置日期", u"提醒日期", u"提醒时间", u"日程安排", u"提醒音乐"};
// Typing the 49th character empties the content box (49, not 50).
constexpr int kContentLimit = 49;

QString musicFilter()
{
    return QStringLiteral("MP3音乐(*.mp3)|*.mp3|wave声音(*.wav)|*.wav");
}

} // namespace

SchedulePage::SchedulePage(PageEnv& env, QWidget* parent)
    : Page(env, parent), m_ui(std::make_unique<Ui::SchedulePage>())
{
    m_ui->setupUi(this);
    addGridMenus();
    QStringList headers;
    for (const char16_t* header : kHeaders) {
        headers << QString::fromUtf16(header);
    }
    setGridImporter(
        *m_ui->MS3,
        reminder_records::importer(m_context.store, m_context.clock, headers, kContentLimit - 1),
        [this] {
            clearGrid();
            fillGrid(reminder_records::all(m_context.store));
        });
    m_hover.addLarge(this, m_ui->Label65, m_ui->Image17, nullptr);
    m_hover.addSmall(m_ui->Frame10, m_ui->Label63, m_ui->Image16, &m_flags.a);
    m_hover.addSmall(m_ui->Frame10, m_ui->Label64, m_ui->Image18, &m_flags.b);
    m_context.inputAids.registerDateBox(kDateBoxCode, m_ui->Text16);
    connectControls();
    setUpGrid();
}

SchedulePage::~SchedulePage() = default;

void SchedulePage::connectControls()
{
    onCommand(m_ui->Text16, &ClickLineEdit::clicked, &SchedulePage::openCalendar);
    onCommand(m_ui->Text16, &QLineEdit::textChanged, &SchedulePage::openCalendarWhileTyping);
    connect(m_ui->Text17, &ClickLineEdit::mouseClicked, m_ui->Text17, &QLineEdit::clear);
    onCommand(m_ui->Text17, &QLineEdit::textChanged, &SchedulePage::emptyContentAtLimit);
    onCommand(m_ui->Text18, &ClickLineEdit::clicked, &SchedulePage::chooseMusic);
    onCommand(m_ui->Text18, &QLineEdit::textChanged, &SchedulePage::previewMusic);
    onCommand(m_ui->Label63, &ClickLabel::clicked, &SchedulePage::confirm);
    onCommand(m_ui->Label64, &ClickLabel::clicked, &SchedulePage::save);
    onCommand(m_ui->Label65, &ClickLabel::clicked, &SchedulePage::listToday);
    new EnterMovesOn({m_ui->Text16, m_ui->Combo1, m_ui->Combo2, m_ui->Text17, m_ui->Text18},
                     m_ui->Label64);
    addEditCommand(m_ui->MS3, &SchedulePage::editSelected);
}

void SchedulePage::loadNormalPictures()
{
    m_context.pictures.show(m_ui->Image17, Pictures::largeNormal());
    m_context.pictures.show(m_ui->Image16, Pictures::smallNormal());
    m_context.pictures.show(m_ui->Image18, Pictures::smallNormal());
}

void SchedulePage::opened()
{
    guard([this] {
        setUpGrid();
        const RecordSet reminders = reminder_records::all(m_context.store);
        clearGrid();
        fillGrid(reminders);
    });
    fillTimeBoxes();
}

void SchedulePage::setUpGrid()
{
    RecordGrid* grid = m_ui->MS3;
    grid->setCols(kGridCols);
    if (grid->rows() < 2) {
        grid->setRows(2);
    }
    grid->setRowHeight(0, 300);
    grid->setRowHeight(1, 300);
    for (int c = 0; c < kGridCols; ++c) {
        grid->setColWidth(c, kColWidths[static_cast<size_t>(c)]);
    }
    for (int c = 1; c < kGridCols; ++c) {
        grid->setText(0, c, QString::fromUtf16(kHeaders[static_cast<size_t>(c - 1)]));
    }
}

// Back to the header row and one empty data row, which becomes the current row.
void SchedulePage::clearGrid()
{
    RecordGrid* grid = m_ui->MS3;
    grid->setRows(2);
    for (int c = 1; c < kGridCols; ++c) {
        grid->setText(1, c, QString());
    }
    grid->setRowKey(1, -1);
    grid->setRow(1);
}

// Copies every non-empty value of the first six columns into grid columns 1 to 6, one grid
// row per record; 区别, the last column, is not shown.
void SchedulePage::fillGrid(const RecordSet& reminders)
{
    const int count = reminders.recordCount();
    if (count == 0) {
        return;
    }
    RecordGrid* grid = m_ui->MS3;
    RecordGrid::Batch batch(*grid);
    const int first = grid->row();
    grid->setRows(first + count);
    // By name: a column another tool added to the file neither shows nor shifts the others.
    std::vector<int> fields;
    for (const QString& name : columnNames(QStringLiteral("提醒表")).first(6)) {
        fields.push_back(reminders.fieldIndex(name));
    }
    for (int r = 0; r < count; ++r) {
        grid->setRowKey(first + r, reminders.rowKeyAt(r));
        for (int k = 0; k < static_cast<int>(fields.size()); ++k) {
            const int field = fields[static_cast<size_t>(k)];
            if (field < 0) {
                continue;
            }
            int length = 0;
            if (const char* raw = reminders.rawText(r, field, &length)) {
                if (length > 0) {
                    grid->setText(first + r, k + 1, raw, length);
                }
                continue;
            }
            const QString text = displayText(reminders.valueAt(r, field));
            if (!text.isEmpty()) {
                grid->setText(first + r, k + 1, text);
            }
        }
    }
    grid->setRow(first + count - 1);
}

void SchedulePage::fillTimeBoxes()
{
    const auto fill = [](QComboBox* box, int last) {
        box->clear();
        for (int i = 0; i <= last; ++i) {
            box->addItem(QString::number(i));
        }
        // Empty until the operator picks: a reminder may have no time of day.
        box->setCurrentIndex(-1);
        box->clearEditText();
    };
    fill(m_ui->Combo1, 23);
    fill(m_ui->Combo2, 59);
}

void SchedulePage::openCalendar()
{
    m_context.inputAids.showCalendarBelow(kDateBoxCode, m_ui->Text16);
}

void SchedulePage::openCalendarWhileTyping()
{
    m_context.inputAids.showCalendarBelow(kDateBoxCode, m_ui->Text16, 0,
                                          AidOpener::Opening::WhileTyping);
}

void SchedulePage::emptyContentAtLimit()
{
    if (m_ui->Text17->text().length() == kContentLimit) {
        m_ui->Text17->clear();
    }
}

void SchedulePage::chooseMusic()
{
    const QString chosen = m_context.dialogs.openFile(
        this, QString(), musicFilter(),
        QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    if (!chosen.isEmpty()) {
        m_ui->Text18->setText(chosen);
    }
}

void SchedulePage::previewMusic()
{
    AudioPlayer& player = m_context.audio;
    player.setFileName(m_ui->Text18->text());
    player.open();
    player.play();
}

void SchedulePage::confirm()
{
    m_context.audio.stop();
    m_context.audio.close();
    m_ui->Label6->setText(QStringLiteral("提醒日期为：") + m_ui->Text16->text() +
                          QStringLiteral("日，") + m_ui->Combo1->currentText() +
                          QStringLiteral("时") + m_ui->Combo2->currentText() +
                          QStringLiteral("分，提醒音乐为：") + m_ui->Text18->text());
}

QString SchedulePage::timeBoxesText() const
{
    return m_ui->Combo1->currentText() + QStringLiteral("时") + m_ui->Combo2->currentText() +
           QStringLiteral("分");
}

void SchedulePage::save()
{
    resumeAlarmWhenTodayHasReminders();
    const QString date = m_ui->Text16->text();
    const QString content = m_ui->Text17->text();
    if (date.trimmed().isEmpty() || content.trimmed().isEmpty()) {
        qCInfo(scheduleLog) << "save refused: no date or no content";
        inform(QStringLiteral("提醒内容和提醒日期不能为空。"));
        return;
    }
    const bool hasTime =
        !m_ui->Combo1->currentText().isEmpty() && !m_ui->Combo2->currentText().isEmpty();
    const QString music = m_ui->Text18->text();
    qint64 key = -1;
    const int number = reminder_records::append(
        m_context.store,
        {m_context.clock.today(), date, hasTime ? timeBoxesText() : QString(), content, music},
        &key);
    appendSavedRow(number);
    m_ui->MS3->setRowKey(m_ui->MS3->row(), key);
}

// A day that already has reminders gets its alarm check back at once, even while a stopped
// alarm is still holding it off.
void SchedulePage::resumeAlarmWhenTodayHasReminders()
{
    if (!reminder_records::anyOn(m_context.store, m_context.clock.today())) {
        return;
    }
    auto* timer =
        window()->findChild<QTimer*>(QStringLiteral("Timer1"), Qt::FindDirectChildrenOnly);
    if (timer && !timer->isActive()) {
        timer->start(1000);
    }
}

void SchedulePage::appendSavedRow(int number)
{
    RecordGrid* grid = m_ui->MS3;
    int row = 1;
    if (grid->rows() != 2 || !grid->text(1, 2).isEmpty()) {
        row = grid->rows();
        grid->setRows(row + 1);
    }
    grid->setRow(row);
    grid->setText(row, 1, QString::number(number));
    // The form a listing shows for the stored date, so the column reads alike before and
    // after the page is opened again.
    grid->setText(row, 2, isoDateText(m_context.clock.today()));
    grid->setText(row, 3, m_ui->Text16->text());
    grid->setText(row, 4, timeBoxesText());
    grid->setText(row, 5, m_ui->Text17->text());
    grid->setText(row, 6, m_ui->Text18->text());
}

void SchedulePage::listToday()
{
    const RecordSet today = reminder_records::on(m_context.store, m_context.clock.today());
    if (today.recordCount() == 0) {
        inform(QStringLiteral("你还未设置今日日程。"));
        return;
    }
    clearGrid();
    fillGrid(today);
}

namespace {

// "9时5分" as its hour and minute; two empty texts for no time.
std::pair<QString, QString> hourAndMinute(const QString& time)
{
    static const QRegularExpression pattern(QStringLiteral(R"(^\s*(\d*)时(\d*)分\s*$)"));
    const auto match = pattern.match(time);
    if (!match.hasMatch()) {
        return {time, QString()};
    }
    return {match.captured(1), match.captured(2)};
}

QStringList numbersTo(int last)
{
    QStringList numbers;
    for (int i = 0; i <= last; ++i) {
        numbers << QString::number(i);
    }
    return numbers;
}

} // namespace

void SchedulePage::editSelected()
{
    const int row = m_ui->MS3->row();
    const qint64 key = selectedRecordKey(*m_ui->MS3);
    if (key < 0) {
        return;
    }
    const auto read = reminder_records::readEntry(m_context.store, key);
    if (!read) {
        inform(DataStore::recordMissingText());
        return;
    }
    const auto [hour, minute] = hourAndMinute(read->reminder.time);
    using Kind = RecordEditor::Field::Kind;
    std::vector<RecordEditor::Field> fields{
        {QStringLiteral("Text16"),
         m_ui->dateCaption->text(),
         read->reminder.date,
         Kind::Line,
         {},
         {},
         [this](QLineEdit* box) { m_context.inputAids.showCalendarBelow(aid::EditorDate, box); }},
        {QStringLiteral("Combo1"),
         m_ui->hourUnit->text() + QStringLiteral("："),
         hour,
         Kind::Choice,
         numbersTo(23),
         {},
         {}},
        {QStringLiteral("Combo2"),
         m_ui->minuteUnit->text() + QStringLiteral("："),
         minute,
         Kind::Choice,
         numbersTo(59),
         {},
         {}},
        {QStringLiteral("Text17"),
         m_ui->contentCaption->text(),
         read->reminder.content,
         Kind::Line,
         {},
         [](QLineEdit* box) {
             if (box->text().length() == kContentLimit) {
                 box->clear();
             }
         },
         {}},
        {QStringLiteral("Text18"),
         m_ui->musicCaption->text(),
         read->reminder.music,
         Kind::Line,
         {},
         {},
         [this](QLineEdit* box) {
             const QString chosen = m_context.dialogs.openFile(
                 box, QString(), musicFilter(),
                 QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
             if (!chosen.isEmpty()) {
                 box->setText(chosen);
             }
         }}};
    RecordEditor editor(QStringLiteral("修改提醒"), fields, this);
    m_context.inputAids.registerDateBox(aid::EditorDate, editor.lineBox(0));
    editor.setSave([this, &editor, &read] { return writeEdit(editor, read->read); });
    const bool written = m_context.dialogs.exec(editor) == QDialog::Accepted;
    m_context.inputAids.closeCalendar();
    showStoredRow(row, key);
    if (written) {
        // A reminder moved to today rings today even while a stopped alarm holds the check off.
        resumeAlarmWhenTodayHasReminders();
    }
}

bool SchedulePage::writeEdit(RecordEditor& editor, const DataStore::ReadRecord& read)
{
    const QStringList texts = editor.texts();
    if (texts[0].trimmed().isEmpty() || texts[3].trimmed().isEmpty()) {
        m_context.dialogs.inform(&editor, QStringLiteral("提醒内容和提醒日期不能为空。"));
        return false;
    }
    const bool hasTime = !texts[1].isEmpty() && !texts[2].isEmpty();
    const reminder_records::NewReminder reminder{
        {},
        texts[0],
        hasTime ? texts[1] + QStringLiteral("时") + texts[2] + QStringLiteral("分") : QString(),
        texts[3],
        texts[4]};
    return guarded(m_context.dialogs, &editor,
                   [&] { reminder_records::updateEntry(m_context.store, read, reminder); });
}

void SchedulePage::showStoredRow(int row, qint64 key)
{
    guard([&] {
        const auto stored = reminder_records::readEntry(m_context.store, key);
        if (!stored) {
            return;
        }
        const reminder_records::NewReminder& reminder = stored->reminder;
        RecordGrid* grid = m_ui->MS3;
        const QStringList texts{reminder.date, reminder.time, reminder.content, reminder.music};
        for (int c = 3; c < kGridCols; ++c) {
            grid->setText(row, c, texts[c - 3]);
        }
    });
}

} // namespace khgl
