#pragma once

#include <functional>

class QWidget;

namespace khgl {

class Dialogs;

// Runs one event handler: a failure of the store (or anything else thrown) is shown to the
// operator in a message box and the program goes on. Returns false when the handler failed.
bool guarded(Dialogs& dialogs, QWidget* parent, const std::function<void()>& handler);

} // namespace khgl
