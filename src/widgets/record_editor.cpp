#include "widgets/record_editor.h"

#include "ui_record_editor.h"
#include "widgets/click_widgets.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <algorithm>

namespace khgl {
namespace {

// Boxes beyond this many go into a second column, so a long record fits a low screen.
constexpr size_t kRowsPerColumn = 6;
constexpr int kBoxWidth = 200;

} // namespace

RecordEditor::RecordEditor(const QString& title, const std::vector<Field>& fields, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::RecordEditor>())
{
    m_ui->setupUi(this);
    setWindowTitle(title);
    m_ui->AmountCheck->hide();
    size_t lines = 0;
    for (const Field& field : fields) {
        lines += field.kind == Field::Kind::Lines ? 0 : 1;
    }
    const size_t perColumn = lines > kRowsPerColumn + 1 ? (lines + 1) / 2 : lines;
    size_t placed = 0;
    int bottom = static_cast<int>(perColumn);
    for (const Field& field : fields) {
        auto* caption = new QLabel(field.caption, this);
        QWidget* box = addBox(field);
        caption->setBuddy(box);
        if (field.kind == Field::Kind::Lines) {
            // Under the one-line boxes, across both columns.
            m_ui->fields->addWidget(caption, bottom, 0, Qt::AlignRight | Qt::AlignTop);
            m_ui->fields->addWidget(box, bottom++, 1, 1, 3);
            continue;
        }
        const int row = static_cast<int>(placed % std::max<size_t>(perColumn, 1));
        const int col = static_cast<int>(placed / std::max<size_t>(perColumn, 1)) * 2;
        m_ui->fields->addWidget(caption, row, col, Qt::AlignRight);
        m_ui->fields->addWidget(box, row, col + 1);
        ++placed;
    }
    connect(m_ui->RecordEditorSave, &QPushButton::clicked, this, &RecordEditor::save);
    connect(m_ui->RecordEditorCancel, &QPushButton::clicked, this, &QDialog::reject);
}

RecordEditor::~RecordEditor() = default;

QWidget* RecordEditor::addBox(const Field& field)
{
    QWidget* box = nullptr;
    const auto changed = [this] {
        if (m_changed) {
            m_changed();
        }
    };
    switch (field.kind) {
    case Field::Kind::Line: {
        auto* line = new ClickLineEdit(this);
        line->setText(field.text);
        if (field.check) {
            connect(line, &QLineEdit::textChanged, this,
                    [line, check = field.check] { check(line); });
        }
        if (field.clicked) {
            connect(line, &ClickLineEdit::clicked, this,
                    [line, clicked = field.clicked] { clicked(line); });
        }
        connect(line, &QLineEdit::textChanged, this, changed);
        box = line;
        break;
    }
    case Field::Kind::Lines: {
        auto* lines = new QPlainTextEdit(this);
        lines->setPlainText(field.text);
        lines->setTabChangesFocus(true);
        lines->setMaximumHeight(90);
        connect(lines, &QPlainTextEdit::textChanged, this, changed);
        box = lines;
        break;
    }
    case Field::Kind::Choice: {
        auto* choice = new QComboBox(this);
        choice->setEditable(true);
        choice->addItems(field.choices);
        choice->setCurrentIndex(-1);
        choice->setEditText(field.text);
        connect(choice, &QComboBox::editTextChanged, this, changed);
        box = choice;
        break;
    }
    }
    box->setObjectName(field.name);
    box->setMinimumWidth(kBoxWidth);
    m_boxes.push_back(box);
    return box;
}

QString RecordEditor::text(size_t field) const
{
    QWidget* box = m_boxes.at(field);
    if (auto* line = qobject_cast<QLineEdit*>(box)) {
        return line->text();
    }
    if (auto* lines = qobject_cast<QPlainTextEdit*>(box)) {
        return lines->toPlainText();
    }
    return static_cast<QComboBox*>(box)->currentText();
}

QStringList RecordEditor::texts() const
{
    QStringList all;
    for (size_t i = 0; i < m_boxes.size(); ++i) {
        all << text(i);
    }
    return all;
}

QLineEdit* RecordEditor::lineBox(size_t field) const
{
    return qobject_cast<QLineEdit*>(m_boxes.at(field));
}

void RecordEditor::setSave(std::function<bool()> save)
{
    m_save = std::move(save);
}

void RecordEditor::setChanged(std::function<void()> changed)
{
    m_changed = std::move(changed);
    if (m_changed) {
        m_changed();
    }
}

void RecordEditor::setWarning(const QString& text)
{
    m_ui->AmountCheck->setText(text);
    m_ui->AmountCheck->setVisible(!text.isEmpty());
}

void RecordEditor::save()
{
    if (m_save && m_save()) {
        accept();
    }
}

} // namespace khgl
