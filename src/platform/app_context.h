#pragma once

#include "platform/pictures.h"

#include <QString>
#include <functional>
#include <memory>

class QObject;

namespace khgl {

class AidOpener;
class AudioPlayer;
class Clock;
class Connectivity;
class DataStore;
class Dialogs;
class MailTransport;
class TrayIcon;

// The services every window reaches: handed in, never global, so tests can give their own.
struct AppContext
{
    const QString& folder; // the store's own: store.folder()
    DataStore& store;
    Dialogs& dialogs;
    Clock& clock;
    AudioPlayer& audio;
    MailTransport& mail;
    Connectivity& connectivity;
    AidOpener& inputAids;
    Pictures pictures{folder};
    // Makes the main window's notification-area icon.
    std::function<std::unique_ptr<TrayIcon>(QObject* parent)> makeTray;
    // Writes the checked safety copy an import takes before it writes (kept in the backup
    // history); throws StoreError when it cannot. Unset: no copy.
    std::function<void()> copyBeforeImport = {};
};

} // namespace khgl
