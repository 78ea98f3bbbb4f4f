#pragma once

#include <QPoint>
#include <QWidget>
#include <memory>

namespace Ui {
class LoginWindow;
}

namespace khgl {

struct AppContext;

// The login window: lists the operators, checks the password, remembers the login on
// request, recovers a forgotten password by its question.
class LoginWindow final : public QWidget
{
    Q_OBJECT

public:
    explicit LoginWindow(AppContext& context, QWidget* parent = nullptr);
    ~LoginWindow() override;

    // The load sequence: operator names, remembered login, pictures.
    void load();

Q_SIGNALS:
    // The operator is admitted; the receiver opens the main window.
    void loggedIn();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void logIn();
    bool passwordMatches();
    void rememberLogin();
    void recoverPassword();
    void toggleRemember();
    void hoverLogIn();
    void leaveLogIn();
    void say(const QString& text);

    AppContext& m_context;
    std::unique_ptr<Ui::LoginWindow> m_ui;
    qint16 m_hover = 0;
    bool m_dragging = false;
    QPoint m_dragStart;
};

} // namespace khgl
