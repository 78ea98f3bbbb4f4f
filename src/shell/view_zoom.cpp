#include "shell/view_zoom.h"

#include "data_store/desk_file.h"
#include "data_store/store_error.h"
#include "shell/shell_log.h"
#include "widgets/screen_fit.h"

#include <QKeySequence>
#include <QShortcut>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace khgl::view_zoom {
namespace {

const QString kZoomKey = QStringLiteral("zoom");

int withinLevels(int percent)
{
    return std::clamp(percent, kLevels.front(), kLevels.back());
}

} // namespace

int kept(const QString& folder)
{
    bool number = false;
    const int percent = desk_file::answer(folder, kZoomKey).toInt(&number);
    return number ? withinLevels(percent) : kLevels.front();
}

int current()
{
    return static_cast<int>(std::lround(screen_fit::zoom() * 100));
}

void choose(const QString& folder, int percent)
{
    percent = withinLevels(percent);
    screen_fit::setZoom(percent / 100.0);
    try {
        desk_file::setAnswer(folder, kZoomKey, QString::number(percent));
    } catch (const StoreError& error) {
        qCWarning(shellLog).noquote() << "zoom not kept:" << error.message();
    }
}

int stepped(int steps)
{
    const int now = current();
    if (steps > 0) {
        const auto next = std::upper_bound(kLevels.begin(), kLevels.end(), now);
        return next == kLevels.end() ? kLevels.back() : *next;
    }
    const auto below = std::lower_bound(kLevels.begin(), kLevels.end(), now);
    return below == kLevels.begin() ? kLevels.front() : *(below - 1);
}

void addKeys(QWidget* window, const QString& folder, std::function<void()> changed)
{
    const auto key = [window, folder, changed](const QKeySequence& sequence, auto percent) {
        auto* shortcut = new QShortcut(sequence, window);
        shortcut->setContext(Qt::ApplicationShortcut);
        QObject::connect(shortcut, &QShortcut::activated, window, [folder, changed, percent] {
            choose(folder, percent());
            changed();
        });
    };
    key(QKeySequence(Qt::CTRL | Qt::Key_Equal), [] { return stepped(1); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Plus), [] { return stepped(1); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Minus), [] { return stepped(-1); });
    key(QKeySequence(Qt::CTRL | Qt::Key_0), [] { return kLevels.front(); });
}

} // namespace khgl::view_zoom
