#pragma once

#include "schedule/missed_reminders.h"

#include <QWidget>
#include <memory>
#include <vector>

namespace Ui {
class MissedRemindersWindow;
}

namespace khgl {

// Lists, once after login, the reminders that fell due while the program was closed; one
// button dismisses them all. Closing deletes the window.
class MissedRemindersWindow final : public QWidget
{
    Q_OBJECT

public:
    MissedRemindersWindow(const std::vector<MissedReminder>& reminders, QWidget* parent);
    ~MissedRemindersWindow() override;

private:
    std::unique_ptr<Ui::MissedRemindersWindow> m_ui;
};

} // namespace khgl
