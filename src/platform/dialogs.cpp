#include "platform/dialogs.h"

#include <QAbstractButton>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <algorithm>

namespace khgl {

Dialogs::Answer QtDialogs::message(QWidget* parent, const QString& text, const QString& title,
                                   Icon icon, Buttons buttons)
{
    QMessageBox box(parent);
    box.setText(text);
    box.setWindowTitle(title.isEmpty() ? applicationTitle() : title);
    switch (icon) {
    case Icon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case Icon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case Icon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    switch (buttons) {
    case Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case Buttons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        // Every two-button question here guards a deletion, a restore or a clearing: a stray
        // Enter must not answer it.
        box.setDefaultButton(QMessageBox::Cancel);
        break;
    case Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::No);
        break;
    }
    const std::pair<QMessageBox::StandardButton, const char16_t*> captions[] = {
        {QMessageBox::Ok, u"确定"},
        {QMessageBox::Cancel, u"取消"},
        {QMessageBox::Yes, u"是"},
        {QMessageBox::No, u"否"}};
    for (const auto& [button, caption] : captions) {
        if (QAbstractButton* shown = box.button(button)) {
            shown->setText(QString::fromUtf16(caption));
        }
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Cancel:
        return Answer::Cancel;
    case QMessageBox::Ok:
        return Answer::Ok;
    default:
        // Closing the box counts as its safe answer.
        return buttons == Buttons::YesNo      ? Answer::No
               : buttons == Buttons::OkCancel ? Answer::Cancel
                                              : Answer::Ok;
    }
}

QString QtDialogs::input(QWidget* parent, const QString& prompt, const QString& title,
                         const QString& defaultText)
{
    bool ok = false;
    const QString text =
        QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, defaultText, &ok);
    return ok ? text : QString();
}

QString QtDialogs::qtFilter(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString name = parts[i];
        const QString pattern = parts[i + 1];
        if (!name.contains(QLatin1Char('('))) {
            name += QStringLiteral(" (") + pattern + QLatin1Char(')');
        }
        filters << name;
    }
    return filters.join(QStringLiteral(";;"));
}

QString QtDialogs::openFile(QWidget* parent, const QString& title, const QString& filter,
                            const QString& startFolder)
{
    return QFileDialog::getOpenFileName(parent, title, startFolder, qtFilter(filter));
}

QString QtDialogs::saveFile(QWidget* parent, const QString& title, const QString& filter,
                            const QString& startFolder, int* chosenFilter)
{
    const QStringList filters = qtFilter(filter).split(QStringLiteral(";;"));
    QString selected = filters.value(0);
    const QString path = QFileDialog::getSaveFileName(
        parent, title, startFolder, filters.join(QStringLiteral(";;")), &selected);
    if (chosenFilter != nullptr) {
        *chosenFilter = std::max(0, static_cast<int>(filters.indexOf(selected)));
    }
    return path;
}

bool QtDialogs::choosePrinter(QWidget* parent, QPrinter& printer)
{
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

int QtDialogs::exec(QDialog& dialog)
{
    return dialog.exec();
}

} // namespace khgl
