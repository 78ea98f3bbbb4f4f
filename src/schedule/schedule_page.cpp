#include "schedule/schedule_page.h"

#include "data_store/schema.h"
#include "data_store/values.h"
#include "platform/aid_opener.h"
#include "platform/app_context.h"
#include "platform/audio_player.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "schedule/reminder_records.h"
#include "schedule/schedule_log.h"
#include "ui_schedule_page.h"
#include "widgets/hover.h"

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
    const int number = reminder_records::append(
        m_context.store,
        {m_context.clock.today(), date, hasTime ? timeBoxesText() : QString(), content, music});
    appendSavedRow(number);
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
        grid->setRow(row);
    }
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

} // namespace khgl
