#pragma once

#include <QString>

namespace khgl {

// While it lives, the program's diagnostics (Qt's logging categories, qWarning and the like)
// also go to khgl.log in the data folder, for a supporter to read: readable by the owner
// alone, and kept small by moving a full file to khgl.log.1 (the one before is dropped).
// Debug lines are left out: information and above only.
// What the operator is told stays in the windows; the log keeps the technical detail.
class LogFile final
{
public:
    explicit LogFile(const QString& folder, qint64 maxBytes = 256 * 1024);
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    static QString fileName() { return QStringLiteral("khgl.log"); }
};

} // namespace khgl
