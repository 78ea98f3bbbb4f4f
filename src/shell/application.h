#pragma once

#include <QPointer>
#include <QString>
#include <memory>

class QWidget;

namespace khgl {

struct AppContext;
class LoginWindow;
class MainWindow;

// Opens (or on first start creates) the database; false when the program cannot go on.
// When another program holds the file the operator may retry or leave.
// While there is no operator it offers to create the first account.
bool prepareDatabase(AppContext& context, QWidget* parent);

// Shows the login window; a successful login opens the main window.
class Session final
{
public:
    explicit Session(AppContext& context);
    ~Session();
    LoginWindow* start();
    MainWindow* mainWindow() const;
    // Shows the program's window in front: asked for by a second start on the same folder.
    void bringForward();

private:
    void openMainWindow();

    AppContext& m_context;
    QPointer<LoginWindow> m_login;
    QPointer<MainWindow> m_main;
};

// Window titles show exactly what each window sets: the platform would otherwise append the
// application's display name to every title, cutting short boxes down to "保…".
void useExactWindowTitles();

// A statement waiting for another program to let go of the file keeps the windows painting and
// the timers running (typing and clicks wait); the store refuses work they hand it meanwhile.
void keepWindowsPaintingWhileBusy();

// The whole program on one application folder: real services, first start, login.
// server: a PostgreSQL connection URI holding the shop's data, or empty for khgl.dll in folder.
int runApplication(const QString& folder, const QString& server = {});

} // namespace khgl
