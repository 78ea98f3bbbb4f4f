#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class QLineEdit;

namespace Ui {
class RecordEditor;
}

namespace khgl {

// One stored record in a dialog of its own, for correcting it in place: the boxes of the page
// that entered it, filled with what the record holds, with that page's checks and aids.
// 保存 hands the boxes to the page's write and closes once it has written; 取消 (or Esc)
// closes and writes nothing.
class RecordEditor final : public QDialog
{
    Q_OBJECT

public:
    struct Field
    {
        enum class Kind
        {
            Line,   // a one-line box
            Lines,  // a multi-line box
            Choice, // an editable list box (hour, minute)
        };
        QString name;    // objectName: the name of the page's box for the same column
        QString caption; // the page's caption of that box
        QString text;    // what the record holds
        Kind kind = Kind::Line;
        QStringList choices;
        // A one-line box's own check, run on each change as the page runs it.
        std::function<void(QLineEdit*)> check;
        // What a click into a one-line box opens (the calendar, the calculator, a file).
        std::function<void(QLineEdit*)> clicked;
    };

    RecordEditor(const QString& title, const std::vector<Field>& fields, QWidget* parent);
    ~RecordEditor() override;

    QString text(size_t field) const;
    QStringList texts() const;
    // A one-line box, or null for the other kinds.
    QLineEdit* lineBox(size_t field) const;
    // Run by 保存: true once the record is written, which closes the dialog with Accepted.
    void setSave(std::function<bool()> save);
    // Run after every change of a box, and once now.
    void setChanged(std::function<void()> changed);
    // The warning line under the boxes (AmountCheck), hidden while empty.
    void setWarning(const QString& text);

private:
    QWidget* addBox(const Field& field);
    void save();

    std::unique_ptr<Ui::RecordEditor> m_ui;
    std::vector<QWidget*> m_boxes;
    std::function<bool()> m_save;
    std::function<void()> m_changed;
};

} // namespace khgl
