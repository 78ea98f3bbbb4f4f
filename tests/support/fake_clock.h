#pragma once

#include "platform/clock.h"

namespace khgl::test {

// A clock that says what the test sets.
class FakeClock final : public Clock
{
public:
    explicit FakeClock(QDateTime now = QDateTime(QDate(2026, 12, 7), QTime(9, 30)))
        : m_now(std::move(now))
    {
    }
    QDateTime now() const override { return m_now; }
    void set(const QDateTime& now) { m_now = now; }
    void setDate(const QDate& date) { m_now.setDate(date); }
    void advance(int seconds) { m_now = m_now.addSecs(seconds); }

private:
    QDateTime m_now;
};

} // namespace khgl::test
