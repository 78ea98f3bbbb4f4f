#pragma once

#include "platform/aid_opener.h"
#include "platform/aid_target.h"
#include <QStringList>
#include <QWidget>
#include <memory>
#include <vector>

class QLineEdit;

namespace Ui {
class CustomerEntryWindow;
}

namespace khgl {

struct AppContext;
class Dialogs;

// The customer entry window: one purchase per save, appended to 客户表. The boxes keep their
// texts after a save so the next purchase of the same customer needs few changes.
class CustomerEntryWindow final : public QWidget
{
    Q_OBJECT

public:
    static constexpr qint16 kDateCode = aid::CustomerDate;
    static constexpr qint16 kAmountCode = aid::CustomerAmount;

    explicit CustomerEntryWindow(AppContext& context, QWidget* parent = nullptr);
    ~CustomerEntryWindow() override;

    // The texts of Text1 to Text11 in the table's column order.
    QStringList boxTexts() const;

    // The checks of the boxes, run on each change of a box (here or in another window that
    // edits the same columns): a name, mail address or product name longer than 48 characters
    // is said and emptied; a number box keeps only a number.
    static void checkLength(Dialogs& dialogs, QWidget* parent, QLineEdit* box,
                            const QString& message);
    static void checkNumeric(QLineEdit* box);
    static QString tooLongText() { return QStringLiteral("字数不大于50字。"); }
    static QString productTooLongText() { return QStringLiteral("商品名不大于50字"); }

Q_SIGNALS:
    // A record was written: the eleven box texts and the hidden key of the new record.
    void recordSaved(const QStringList& texts, qint64 key);

private:
    std::vector<QLineEdit*> boxesInTableOrder() const;
    // Every box's text, the additional information last.
    QStringList allTexts() const;
    void escape();
    void limitLength(QLineEdit* box, const QString& message);
    void keepNumeric(QLineEdit* box);
    void openCalendar(AidOpener::Opening opening);
    void openCalculator(AidOpener::Opening opening);
    void save();
    void writeRecord();

    AppContext& m_context;
    std::unique_ptr<Ui::CustomerEntryWindow> m_ui;
    // The texts as last saved (or as opened): Esc asks before throwing away others.
    QStringList m_savedTexts;
};

} // namespace khgl
