// A 100,000-character paste into a number, date or query box is refused or read at once: the
// operator must never wait on a frozen window for what is only a mistake.
#include "data_store/sql_dialect.h"
#include "data_store/values.h"

#include <QElapsedTimer>
#include <QTest>

using namespace khgl;

namespace {

constexpr qsizetype kPaste = 100'000;
// Far above what a linear reading of 100,000 characters takes, far below a quadratic one.
constexpr qint64 kPromptMs = 2000;

} // namespace

class TestLongPaste final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void longDigitRunsThatAreNoNumberAreRefusedPromptly_data()
    {
        QTest::addColumn<QString>("text");
        const QString digits(kPaste, u'7');
        QTest::newRow("digits then a letter") << digits + QStringLiteral("x");
        QTest::newRow("digits, a point, digits, a letter")
            << digits.left(kPaste / 2) + QStringLiteral(".") + digits.left(kPaste / 2) +
                   QStringLiteral("x");
        QTest::newRow("digits and an exponent, then a letter")
            << digits.left(kPaste / 2) + QStringLiteral("e") + digits.left(kPaste / 2) +
                   QStringLiteral("x");
        QTest::newRow("digits then blanks then a letter")
            << digits + QString(kPaste, u' ') + QStringLiteral("x");
    }

    void longDigitRunsThatAreNoNumberAreRefusedPromptly()
    {
        QFETCH(QString, text);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!parseNumber(text).has_value());
        QVERIFY2(timer.elapsed() < kPromptMs, qPrintable(QString::number(timer.elapsed())));
    }

    void longNumbersStillReadAsNumbers()
    {
        const QString whole(300, u'9');
        const std::optional<QVariant> big = parseNumber(QStringLiteral(" ") + whole + u' ');
        QVERIFY(big.has_value());
        QCOMPARE(big->toDouble(), 1e300);

        const std::optional<QVariant> fraction =
            parseNumber(QStringLiteral("12.") + QString(kPaste, u'5'));
        QVERIFY(fraction.has_value());
        QCOMPARE(fraction->toDouble(), 12.555555555555555);

        const std::optional<QVariant> exponent = parseNumber(QStringLiteral("2.5e-3"));
        QVERIFY(exponent.has_value());
        QCOMPARE(exponent->toDouble(), 0.0025);
        const std::optional<QVariant> pointAtEnd = parseNumber(QStringLiteral("12."));
        QVERIFY(pointAtEnd.has_value());
        QCOMPARE(pointAtEnd->toDouble(), 12.0);
        QVERIFY(!parseNumber(QStringLiteral("1.2.3")).has_value());
        QVERIFY(!parseNumber(QStringLiteral("1e")).has_value());
    }

    void longDatesAndQueriesArePrompt()
    {
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!parseDate(QStringLiteral("2024-") + QString(kPaste, u'1')).has_value());
        QVERIFY(!parseDate(QString(kPaste, u' ') + QStringLiteral("2024-5-6x")).has_value());
        const QString calls = QStringLiteral("left(").repeated(kPaste / 5);
        QCOMPARE(rewriteQuery(calls), QStringLiteral("\"left\"(").repeated(kPaste / 5));
        QVERIFY2(timer.elapsed() < kPromptMs, qPrintable(QString::number(timer.elapsed())));
    }
};

QTEST_APPLESS_MAIN(TestLongPaste)
#include "test_long_paste.moc"
