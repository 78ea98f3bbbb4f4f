#pragma once

#include "data_store/data_store.h"
#include "platform/aid_target.h"
#include "widgets/page.h"

#include <memory>

namespace Ui {
class SchedulePage;
}

namespace khgl {

class RecordEditor;
class RecordSet;

// The schedule page: records reminders (date, optional time, content, optional music),
// lists them, lists today's and previews the chosen music on the main window's player.
class SchedulePage final : public Page
{
    Q_OBJECT

public:
    SchedulePage(PageEnv& env, QWidget* parent);
    ~SchedulePage() override;

    void loadNormalPictures() override;
    void opened() override;

    // The calendar's code for the date box.
    static constexpr qint16 kDateBoxCode = aid::ScheduleDate;

private:
    void connectControls();
    void setUpGrid();
    void clearGrid();
    void fillGrid(const RecordSet& reminders);
    void fillTimeBoxes();
    void openCalendar();
    void openCalendarWhileTyping();
    void emptyContentAtLimit();
    void chooseMusic();
    void previewMusic();
    void confirm();
    void save();
    void resumeAlarmWhenTodayHasReminders();
    void appendSavedRow(int number);
    void listToday();
    QString timeBoxesText() const;
    void editSelected();
    bool writeEdit(RecordEditor& editor, const DataStore::ReadRecord& read);
    // Shows in a row what the reminder with this key now holds.
    void showStoredRow(int row, qint64 key);

    std::unique_ptr<Ui::SchedulePage> m_ui;
};

} // namespace khgl
