#pragma once

#include <QString>

class QLabel;
class QWidget;

namespace khgl {

struct AppContext;
class DataStore;

// What the operator is told about the server a shop is kept on.
namespace server_notice {

// "服务器 “host:port/database”" while the shop is on a server, else empty.
QString caption(const DataStore& store);
// Shows the caption in label (objectName serverLabel), hidden on khgl.dll.
void showIn(QLabel* label, const DataStore& store);
// A khgl.conf that moves a folder holding a khgl.dll with data to a server is announced
// once on this desk.
void announceSwitch(AppContext& context, QWidget* parent);
// The connection would travel unencrypted: asks with the exact risk (default 否) and
// remembers the answer on this desk. True when the operator agreed.
bool askClearText(AppContext& context, QWidget* parent, const QString& risk);

} // namespace server_notice
} // namespace khgl
