#include "platform/dialogs.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QInputDialog>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QStyledItemDelegate>
#include <QTranslator>
#include <QTreeView>
#include <algorithm>
#include <memory>

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
    case Buttons::OkCancelDefaultCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        // A question that destroys data gives the safe answer to a stray Enter.
        box.setDefaultButton(buttons == Buttons::OkCancel ? QMessageBox::Ok : QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    case Buttons::YesNo:
    case Buttons::YesNoDefaultNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(buttons == Buttons::YesNo ? QMessageBox::Yes : QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        break;
    case Buttons::RetryExit:
        box.setStandardButtons(QMessageBox::Retry | QMessageBox::Close);
        box.setEscapeButton(QMessageBox::Close);
        break;
    }
    const std::pair<QMessageBox::StandardButton, const char16_t*> captions[] = {
        {QMessageBox::Ok, u"确定"}, {QMessageBox::Cancel, u"取消"}, {QMessageBox::Yes, u"是"},
        {QMessageBox::No, u"否"},   {QMessageBox::Retry, u"重试"},  {QMessageBox::Close, u"退出"}};
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
    case QMessageBox::Retry:
        return Answer::Retry;
    default:
        // Closing the box counts as its safe answer.
        return buttons == Buttons::YesNo || buttons == Buttons::YesNoDefaultNo ? Answer::No
               : buttons == Buttons::OkCancel || buttons == Buttons::OkCancelDefaultCancel
                   ? Answer::Cancel
               : buttons == Buttons::RetryExit ? Answer::Exit
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

std::optional<QString> QtDialogs::editText(QWidget* parent, const QString& prompt,
                                           const QString& title, const QString& current)
{
    bool ok = false;
    const QString text =
        QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, current, &ok);
    return ok ? std::optional<QString>(text) : std::nullopt;
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

namespace {

// Qt's catalogue has no Chinese for the file dialog's type column ("Folder", "DAT File").
class ChineseFileTypes final : public QFileIconProvider
{
public:
    QString type(const QFileInfo& info) const override
    {
        if (info.isDir()) {
            return QStringLiteral("文件夹");
        }
        const QString suffix = info.suffix();
        return suffix.isEmpty() ? QStringLiteral("文件")
                                : suffix.toUpper() + QStringLiteral(" 文件");
    }
};

// The size and date columns follow the system's locale, not the translations: "4.88 KiB" and
// "5 Mar 2026 09:05:00" under an English or C locale, "KiB" under Chinese too. Shown here
// in the program's Chinese instead.
class ChineseFileColumns final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const auto* model = qobject_cast<const QFileSystemModel*>(index.model());
        if (model == nullptr) {
            return;
        }
        const QLocale chinese(QLocale::Chinese, QLocale::China);
        if (index.column() == 1 && !model->isDir(index)) {
            option->text = chinese.formattedDataSize(model->size(index), 1,
                                                     QLocale::DataSizeTraditionalFormat);
        } else if (index.column() == 3) {
            option->text =
                chinese.toString(model->lastModified(index), QStringLiteral("yyyy/M/d H:mm"));
        }
    }
};

// The toolkit's own dialog (no desktop one offered) cuts the type and date columns short:
// the names take what the sizes, types and dates leave. Sizes and dates speak Chinese.
void fitFileColumns(QFileDialog& dialog)
{
    auto* view = dialog.findChild<QTreeView*>();
    if (view == nullptr) {
        return;
    }
    view->setItemDelegate(new ChineseFileColumns(view));
    QHeaderView* header = view->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column < header->count(); ++column) {
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
    dialog.resize(std::max(dialog.width(), 720), dialog.height());
}

} // namespace

QString QtDialogs::openFile(QWidget* parent, const QString& title, const QString& filter,
                            const QString& startFolder)
{
    // The dialog reads a folder that does not exist as a file name to fill in ("Desktop" in
    // the name box): open in the nearest folder that exists instead, with the name box empty.
    QString folder = startFolder;
    while (!folder.isEmpty() && !QFileInfo(folder).isDir()) {
        const QString parentFolder = QFileInfo(folder).path();
        folder = parentFolder == folder ? QString() : parentFolder;
    }
    QFileDialog dialog(parent, title, folder, qtFilter(filter));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    ChineseFileTypes types;
    dialog.setIconProvider(&types);
    fitFileColumns(dialog);
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    return dialog.selectedFiles().value(0);
}

bool QtDialogs::loadQtTranslations(QCoreApplication& app, const QString& ownFolder)
{
    // Every text of the program is Chinese, so Qt's dialogs are too, whatever the locale's
    // language: an English or German catalogue would mix languages in one box.
    QStringList names;
    for (const QString& language : QLocale().uiLanguages()) {
        if (language.startsWith(QStringLiteral("zh"))) {
            names << QLocale(language).name();
        }
    }
    names << QStringLiteral("zh_CN");
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto translator = std::make_unique<QTranslator>(&app);
    bool loaded = false;
    for (const QString& name : names) {
        if (translator->load(QStringLiteral("qtbase_") + name, folder)) {
            QCoreApplication::installTranslator(translator.release());
            loaded = true;
            break;
        }
    }
    // The program's own catalogue fills the gaps of Qt's ("Folder" in the file dialog);
    // installed last, it is asked first.
    auto own = std::make_unique<QTranslator>(&app);
    if (own->load(QStringLiteral("khgl_qt_zh_CN"), ownFolder)) {
        QCoreApplication::installTranslator(own.release());
    }
    // File type names ("CSV 文档") follow the default locale.
    if (QLocale().language() != QLocale::Chinese) {
        QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    }
    return loaded;
}

QString QtDialogs::saveFile(QWidget* parent, const QString& title, const QString& filter,
                            const QString& startFolder, int* chosenFilter)
{
    const QStringList filters = qtFilter(filter).split(QStringLiteral(";;"));
    QFileDialog dialog(parent, title, startFolder, filters.join(QStringLiteral(";;")));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.selectNameFilter(filters.value(0));
    fitFileColumns(dialog);
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    if (chosenFilter != nullptr) {
        *chosenFilter = std::max(0, static_cast<int>(filters.indexOf(dialog.selectedNameFilter())));
    }
    return dialog.selectedFiles().value(0);
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
