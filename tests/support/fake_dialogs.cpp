#include "support/fake_dialogs.h"

#include <QDialog>
#include <QPrinter>
#include <QStringList>

namespace khgl::test {

Dialogs::Answer FakeDialogs::message(QWidget*, const QString& text, const QString& title, Icon icon,
                                     Buttons buttons)
{
    messages.push_back({text, title, icon, buttons});
    if (!m_answers.empty()) {
        const Answer answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }
    if (buttons == Buttons::RetryExit) {
        return Answer::Exit; // never loops unless a test asks for a retry
    }
    if (buttons == Buttons::YesNoDefaultNo) {
        return Answer::No;
    }
    if (buttons == Buttons::OkCancelDefaultCancel) {
        return Answer::Cancel;
    }
    return buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
}

QString FakeDialogs::input(QWidget*, const QString& prompt, const QString& title,
                           const QString& defaultText)
{
    inputs.push_back({prompt, title, defaultText});
    if (m_inputs.empty()) {
        return {};
    }
    QString text = m_inputs.front();
    m_inputs.pop_front();
    return text;
}

std::optional<QString> FakeDialogs::editText(QWidget* parent, const QString& prompt,
                                             const QString& title, const QString& current)
{
    if (m_inputs.empty()) {
        inputs.push_back({prompt, title, current});
        return std::nullopt;
    }
    return input(parent, prompt, title, current);
}

QString FakeDialogs::openFile(QWidget*, const QString& title, const QString& filter,
                              const QString& startFolder)
{
    fileRequests.push_back({title, filter, startFolder});
    if (m_files.empty()) {
        return {};
    }
    QString path = m_files.front();
    m_files.pop_front();
    return path;
}

QString FakeDialogs::saveFile(QWidget*, const QString& title, const QString& filter,
                              const QString& startFolder, int* chosenFilter)
{
    fileRequests.push_back({title, filter, startFolder});
    if (m_saves.empty()) {
        return {};
    }
    auto [path, filterIndex] = m_saves.front();
    m_saves.pop_front();
    if (chosenFilter != nullptr) {
        *chosenFilter = filterIndex;
    }
    return path;
}

bool FakeDialogs::choosePrinter(QWidget*, QPrinter& printer)
{
    ++printRequests;
    if (m_prints.empty()) {
        return false;
    }
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(m_prints.front());
    m_prints.pop_front();
    return true;
}

int FakeDialogs::exec(QDialog& dialog)
{
    ++execCount;
    if (m_execs.empty()) {
        return QDialog::Rejected;
    }
    auto filler = std::move(m_execs.front());
    m_execs.pop_front();
    return filler(dialog);
}

QStringList FakeDialogs::texts() const
{
    QStringList all;
    for (const auto& message : messages) {
        all << message.text;
    }
    return all;
}

void FakeDialogs::clear()
{
    messages.clear();
    inputs.clear();
    fileRequests.clear();
    execCount = 0;
    printRequests = 0;
}

} // namespace khgl::test
