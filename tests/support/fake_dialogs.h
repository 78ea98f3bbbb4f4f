#pragma once

#include "platform/dialogs.h"

#include <QString>
#include <deque>
#include <functional>
#include <vector>

class QDialog;

namespace khgl::test {

// Records every dialog the program shows and answers from a script. With no scripted answer,
// a message gets its default button (OK or Yes; Cancel or No for questions that destroy data), an
// input dialog is cancelled, a file dialog is cancelled and a window dialog is rejected.
class FakeDialogs final : public Dialogs
{
public:
    struct Message
    {
        QString text;
        QString title;
        Icon icon;
        Buttons buttons;
    };
    struct Input
    {
        QString prompt;
        QString title;
        QString defaultText;
    };
    struct FileRequest
    {
        QString title;
        QString filter;
        QString startFolder;
    };

    Answer message(QWidget* parent, const QString& text, const QString& title, Icon icon,
                   Buttons buttons) override;
    QString input(QWidget* parent, const QString& prompt, const QString& title,
                  const QString& defaultText) override;
    // Answered from the same script as input; with nothing scripted it is cancelled.
    std::optional<QString> editText(QWidget* parent, const QString& prompt, const QString& title,
                                    const QString& current) override;
    QString openFile(QWidget* parent, const QString& title, const QString& filter,
                     const QString& startFolder) override;
    QString saveFile(QWidget* parent, const QString& title, const QString& filter,
                     const QString& startFolder, int* chosenFilter) override;
    bool choosePrinter(QWidget* parent, QPrinter& printer) override;
    int exec(QDialog& dialog) override;

    void answerNext(Answer answer) { m_answers.push_back(answer); }
    void inputNext(const QString& text) { m_inputs.push_back(text); }
    void fileNext(const QString& path) { m_files.push_back(path); }
    // The next save dialog returns this path with this file type chosen.
    void saveNext(const QString& path, int filterIndex = 0)
    {
        m_saves.push_back({path, filterIndex});
    }
    // The next print dialog is accepted with the "printer" writing a PDF file at path.
    void printNext(const QString& path) { m_prints.push_back(path); }
    // The function fills the dialog and returns its result code (QDialog::Accepted ...).
    void execNext(std::function<int(QDialog&)> filler) { m_execs.push_back(std::move(filler)); }

    std::vector<Message> messages;
    std::vector<Input> inputs;
    std::vector<FileRequest> fileRequests; // open and save dialogs alike
    int execCount = 0;
    int printRequests = 0;

    // The texts of all messages so far, in order.
    QStringList texts() const;
    QString lastText() const { return messages.empty() ? QString() : messages.back().text; }
    void clear();

private:
    std::deque<Answer> m_answers;
    std::deque<QString> m_inputs;
    std::deque<QString> m_files;
    std::deque<std::pair<QString, int>> m_saves;
    std::deque<QString> m_prints;
    std::deque<std::function<int(QDialog&)>> m_execs;
};

} // namespace khgl::test
