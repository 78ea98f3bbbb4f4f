#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class HelpWindow;
}

namespace khgl {

// The operator's guide (F1): an HTML page installed with the pictures, shown in a browser
// window of its own. Esc closes it.
class HelpWindow final : public QWidget
{
    Q_OBJECT

public:
    explicit HelpWindow(const QString& guidePath = defaultGuidePath(), QWidget* parent = nullptr);
    ~HelpWindow() override;

    // khgl-help.html where the pictures are installed (share/khgl/) or built.
    static QString defaultGuidePath();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::unique_ptr<Ui::HelpWindow> m_ui;
};

} // namespace khgl
