#pragma once

#include <QString>
#include <stdexcept>

namespace khgl {

// Codes of failures that came from a database server rather than from SQLite.
inline constexpr int kServerUnreachable = 0x10001;   // connection refused or broken
inline constexpr int kServerBusy = 0x10002;          // lock or serialisation conflict
inline constexpr int kServerClearText = 0x10003;     // would travel unencrypted: ask the desk
inline constexpr int kServerCommitUnknown = 0x10004; // a commit sent, its outcome not known

// Every failure of the data store: the message is written for the operator.
class StoreError : public std::runtime_error
{
public:
    // code is SQLite's primary result code when the failure came from the engine, one of the
    // server codes above, else 0.
    explicit StoreError(const QString& message, int code = 0)
        : std::runtime_error(message.toStdString()), m_message(message), m_code(code)
    {
    }
    const QString& message() const { return m_message; }
    int code() const { return m_code; }
    // Another program holds the file: trying again later may succeed.
    bool isBusy() const;

private:
    QString m_message;
    int m_code;
};

} // namespace khgl
