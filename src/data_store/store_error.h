#pragma once

#include <QString>
#include <stdexcept>

namespace khgl {

// Every failure of the data store: the message is written for the operator.
class StoreError : public std::runtime_error
{
public:
    explicit StoreError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {
    }
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

} // namespace khgl
