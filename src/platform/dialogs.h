#pragma once

#include "platform/pictures.h"

#include <QString>
#include <optional>

class QCoreApplication;
class QWidget;
class QDialog;
class QPrinter;

namespace khgl {

// Every message box, input dialog and file dialog of the program goes through this interface,
// so tests can answer them from a script.
class Dialogs
{
public:
    enum class Icon
    {
        None,
        Information,
        Question,
        Warning,
        Critical
    };
    enum class Buttons
    {
        Ok,
        OkCancel,              // Enter answers 确定
        OkCancelDefaultCancel, // for questions that destroy data: Enter answers 取消
        YesNo,                 // Enter answers 是
        YesNoDefaultNo,        // for questions whose Yes cannot be taken back: Enter answers 否
        RetryExit              // "重试" and "退出"
    };
    enum class Answer
    {
        Ok,
        Cancel,
        Yes,
        No,
        Retry,
        Exit
    };

    virtual ~Dialogs() = default;

    // An empty title shows the application's title.
    virtual Answer message(QWidget* parent, const QString& text, const QString& title = {},
                           Icon icon = Icon::None, Buttons buttons = Buttons::Ok) = 0;
    // Returns the typed text; a cancelled dialog returns an empty text.
    virtual QString input(QWidget* parent, const QString& prompt, const QString& title,
                          const QString& defaultText = {}) = 0;
    // An input dialog where an empty text is an answer too: nothing when cancelled.
    virtual std::optional<QString> editText(QWidget* parent, const QString& prompt,
                                            const QString& title, const QString& current) = 0;
    // filter in the form "MP3音乐(*.mp3)|*.mp3|wave声音(*.wav)|*.wav"; empty when cancelled.
    virtual QString openFile(QWidget* parent, const QString& title, const QString& filter,
                             const QString& startFolder) = 0;

    // A save-file dialog; filter as for openFile. chosenFilter, when given, receives the
    // 0-based index of the file type the operator chose. Empty when cancelled.
    virtual QString saveFile(QWidget* parent, const QString& title, const QString& filter,
                             const QString& startFolder, int* chosenFilter = nullptr) = 0;

    // The print dialog: the operator chooses and sets up the printer; false when cancelled.
    virtual bool choosePrinter(QWidget* parent, QPrinter& printer) = 0;

    // Runs a window of the program's own as a modal dialog; returns QDialog's result code.
    virtual int exec(QDialog& dialog) = 0;

    // The common "提示" information message.
    void inform(QWidget* parent, const QString& text)
    {
        message(parent, text, QStringLiteral("提示"), Icon::Information);
    }

    static QString applicationTitle() { return QStringLiteral("栎川电子商务管理系统"); }
};

// The real dialogs, over QMessageBox, QInputDialog and QFileDialog.
class QtDialogs final : public Dialogs
{
public:
    Answer message(QWidget* parent, const QString& text, const QString& title, Icon icon,
                   Buttons buttons) override;
    QString input(QWidget* parent, const QString& prompt, const QString& title,
                  const QString& defaultText) override;
    std::optional<QString> editText(QWidget* parent, const QString& prompt, const QString& title,
                                    const QString& current) override;
    QString openFile(QWidget* parent, const QString& title, const QString& filter,
                     const QString& startFolder) override;
    QString saveFile(QWidget* parent, const QString& title, const QString& filter,
                     const QString& startFolder, int* chosenFilter) override;
    bool choosePrinter(QWidget* parent, QPrinter& printer) override;
    int exec(QDialog& dialog) override;

    // "A(*.a)|*.a|B(*.b)|*.b" as Qt's name filters: "A(*.a)", "B(*.b)".
    static QString qtFilter(const QString& filter);

    // Makes Qt's own dialog texts (buttons, the file dialog) speak Chinese, in the operator's
    // Chinese variant when the locale names one, with the program's own catalogue from
    // ownFolder for what Qt's lacks. False when Qt's catalogue is not installed.
    static bool loadQtTranslations(QCoreApplication& app,
                                   const QString& ownFolder = Pictures::installedFolder());
};

} // namespace khgl
