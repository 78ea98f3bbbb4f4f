#include "shell/help_window.h"

#include "platform/pictures.h"
#include "ui_help_window.h"
#include "widgets/screen_fit.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QUrl>

namespace khgl {

HelpWindow::HelpWindow(const QString& guidePath, QWidget* parent)
    : QWidget(parent, Qt::Window), m_ui(std::make_unique<Ui::HelpWindow>())
{
    m_ui->setupUi(this);
    screen_fit::fitWindow(this);
    if (QFileInfo(guidePath).isReadable()) {
        m_ui->HelpText->setSource(QUrl::fromLocalFile(guidePath));
    } else {
        m_ui->HelpText->setPlainText(QStringLiteral("找不到使用说明文件“%1”，请重新安装本程序。")
                                         .arg(QDir::toNativeSeparators(guidePath)));
    }
}

HelpWindow::~HelpWindow() = default;

void HelpWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

QString HelpWindow::defaultGuidePath()
{
    return QDir(Pictures::installedFolder()).filePath(QStringLiteral("khgl-help.html"));
}

} // namespace khgl
