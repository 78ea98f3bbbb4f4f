#pragma once

#include <QJsonObject>
#include <QString>

namespace khgl::desk_file {

// Small files that belong to this desk alone, kept in its data folder and never on a shared
// server: readable by the owner only (mode 0600), each replaced whole so a crash leaves the old
// one or the new one.
QJsonObject read(const QString& folder, const QString& name);
// Throws StoreError when the file cannot be written.
void write(const QString& folder, const QString& name, const QJsonObject& content);
// One value of the desk's own answers (khgl-desk.json); empty when never answered.
QString answer(const QString& folder, const QString& key);
void setAnswer(const QString& folder, const QString& key, const QString& value);

inline QString answersName()
{
    return QStringLiteral("khgl-desk.json");
}

} // namespace khgl::desk_file
