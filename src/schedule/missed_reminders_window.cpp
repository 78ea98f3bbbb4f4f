#include "schedule/missed_reminders_window.h"

#include "ui_missed_reminders_window.h"
#include "widgets/screen_fit.h"

#include <QPushButton>
#include <QTableWidgetItem>

namespace khgl {

MissedRemindersWindow::MissedRemindersWindow(const std::vector<MissedReminder>& reminders,
                                             QWidget* parent)
    : QWidget(parent, Qt::Window), m_ui(std::make_unique<Ui::MissedRemindersWindow>())
{
    m_ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    screen_fit::fitWindow(this);
    QTableWidget* list = m_ui->List;
    list->setRowCount(static_cast<int>(reminders.size()));
    int row = 0;
    for (const MissedReminder& reminder : reminders) {
        list->setItem(row, 0, new QTableWidgetItem(reminder.date));
        list->setItem(row, 1, new QTableWidgetItem(reminder.time));
        list->setItem(row, 2, new QTableWidgetItem(reminder.content));
        ++row;
    }
    list->resizeColumnToContents(0);
    list->resizeColumnToContents(1);
    connect(m_ui->DismissAll, &QPushButton::clicked, this, &QWidget::close);
}

MissedRemindersWindow::~MissedRemindersWindow() = default;

} // namespace khgl
