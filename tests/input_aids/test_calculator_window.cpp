#include "input_aids/input_aids.h"
#include "support/env.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace khgl;
using khgl::test::FakeDialogs;
using khgl::test::TestEnv;

class TestCalculatorWindow final : public QObject
{
    Q_OBJECT

private:
    // One button of the calculator by its key: digits, ".", "+-*/", "=" and "C" for 清零.
    static QPushButton* button(QWidget* window, QChar key)
    {
        const QString symbols = QStringLiteral("+-*/");
        QString name;
        if (key.isDigit()) {
            name = QStringLiteral("Command1_") + key;
        } else if (key == u'.') {
            name = QStringLiteral("Command1_10");
        } else if (symbols.contains(key)) {
            name = QStringLiteral("Command2_%1").arg(symbols.indexOf(key));
        } else if (key == u'=') {
            name = QStringLiteral("Command3");
        } else {
            name = QStringLiteral("Command4");
        }
        return window->findChild<QPushButton*>(name);
    }
    static void press(QWidget* window, const QString& keys)
    {
        for (const QChar key : keys) {
            test::click(button(window, key));
        }
    }
    static QString display(QWidget* window)
    {
        return window->findChild<QLineEdit*>(QStringLiteral("Text1"))->text();
    }

    struct Bench
    {
        TestEnv env;
        QLineEdit box;
        QWidget* open()
        {
            env.inputAids.showCalculator(4, {100, 100});
            return env.inputAids.calculatorWindow();
        }
        Bench() { env.inputAids.registerAmountBox(4, &box); }
    };

private Q_SLOTS:
    void thePartsSumsAndChains_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("written");
        const auto row = [](const char* keys, const char* written) {
            QTest::newRow(keys) << QString::fromUtf8(keys) << QString::fromUtf8(written);
        };
        row("12+3=", "15");
        row("1/3*3=", "0.9999999");
        row("0.1+0.2=", "0.3");
        row("5+=", "5");
        row("05+1=", "6");
        row("12.=", "12.");
        row("05=", "05");
        row("=", "0");
        row("1.2.3+1=", "2.2");
        row("2+3*4=", "20");
        row("10-4-3=", "3");
        row("3-5*2=", "-4");
        row("5+-2=", "3");
        row("1/4=", "0.25");
        row("+7=", "7");
        row("99+1C7*2=", "14");
        // Chained results keep about 7 significant digits, "=" keeps 15.
        row("16777217+0+0=", "16777220");
        row("16777217+0=", "16777217");
        row("123456.78*100=", "12345678");
        row("1/3=", "0.333333333333333");
        row("2/3=", "0.666666666666667");
    }
    void thePartsSumsAndChains()
    {
        QFETCH(QString, keys);
        QFETCH(QString, written);
        Bench bench;
        bench.box.setText(QStringLiteral("old"));
        QWidget* window = bench.open();
        QCOMPARE(display(window), QStringLiteral("0"));
        press(window, keys);
        QCOMPARE(bench.box.text(), written);
        QVERIFY(!window->isVisible());
        QVERIFY(bench.env.dialogs.messages.empty());
    }

    void theDisplayFollowsTheExpression()
    {
        Bench bench;
        QWidget* window = bench.open();
        QCOMPARE(window->objectName(), QStringLiteral("Form9"));
        QCOMPARE(window->windowTitle(), QStringLiteral("数值输入-计算器"));
        press(window, QStringLiteral("05"));
        QCOMPARE(display(window), QStringLiteral("05"));
        press(window, QStringLiteral("++"));
        QCOMPARE(display(window), QStringLiteral("05++"));
        press(window, QStringLiteral("12"));
        QCOMPARE(display(window), QStringLiteral("05++12"));
        press(window, QStringLiteral("/"));
        QCOMPARE(display(window), QStringLiteral("17/"));
        press(window, QStringLiteral("3*"));
        QCOMPARE(display(window), QStringLiteral("5.666667*"));
        test::grabTo(window, QStringLiteral("calculator"));
        press(window, QStringLiteral("C"));
        QCOMPARE(display(window), QStringLiteral("0"));
        QCOMPARE(bench.box.text(), QString());
        for (auto* b : window->findChildren<QPushButton*>()) {
            QCOMPARE(b->cursor().shape(), Qt::PointingHandCursor);
        }
    }

    void divisionByZeroResetsAndWritesNothing()
    {
        Bench bench;
        bench.box.setText(QStringLiteral("12"));
        for (const QString& keys : {QStringLiteral("8/0="), QStringLiteral("8/0+"),
                                    QStringLiteral("8/="), QStringLiteral("8/0.0=")}) {
            bench.env.dialogs.clear();
            QWidget* window = bench.open();
            press(window, keys);
            QCOMPARE(bench.env.dialogs.messages.size(), size_t{1});
            const FakeDialogs::Message& message = bench.env.dialogs.messages.front();
            QCOMPARE(message.text, QStringLiteral("被除数不能等于零!"));
            QCOMPARE(message.title, QStringLiteral("温馨提示"));
            QVERIFY(message.icon == Dialogs::Icon::Information);
            QVERIFY(message.buttons == Dialogs::Buttons::Ok);
            QCOMPARE(display(window), QStringLiteral("0"));
            QVERIFY(window->isVisible());
            QCOMPARE(bench.box.text(), QStringLiteral("12"));
            // The state is fresh: the refused operator is not pending.
            press(window, QStringLiteral("4="));
            QCOMPARE(bench.box.text(), QStringLiteral("4"));
            bench.box.setText(QStringLiteral("12"));
        }
    }

    void resultsBeyondRangeAreRefusedNotWritten()
    {
        Bench bench;
        QWidget* window = bench.open();
        // 1e39 does not fit single precision; 1e200 squared does not fit double precision.
        press(window, QStringLiteral("1") + QString(39, u'0') + QStringLiteral("+1+"));
        QCOMPARE(bench.env.dialogs.lastText(), QStringLiteral("计算结果超出范围!"));
        QCOMPARE(display(window), QStringLiteral("0"));
        const QString huge = QStringLiteral("1") + QString(200, u'0');
        press(window, huge + QStringLiteral("*") + huge + QStringLiteral("="));
        QCOMPARE(bench.env.dialogs.messages.size(), size_t{2});
        QVERIFY(window->isVisible());
        QCOMPARE(bench.box.text(), QString());
    }

    void keyboardWorksLikeTheButtons()
    {
        Bench bench;
        QWidget* window = bench.open();
        QTest::keyClicks(window, QStringLiteral("123"));
        QTest::keyClick(window, Qt::Key_Backspace);
        QCOMPARE(display(window), QStringLiteral("12"));
        QTest::keyClicks(window, QStringLiteral("*34"));
        QTest::keyClick(window, Qt::Key_Backspace);
        QCOMPARE(display(window), QStringLiteral("12*3"));
        QTest::keyClick(window, Qt::Key_Escape);
        QCOMPARE(display(window), QStringLiteral("0"));
        QTest::keyClick(window, Qt::Key_Backspace);
        QCOMPARE(display(window), QStringLiteral("0"));
        // Keys reaching the display (it holds the focus in an active window) count too.
        auto* text1 = window->findChild<QLineEdit*>(QStringLiteral("Text1"));
        QTest::keyClicks(text1, QStringLiteral("7.5-2"));
        QTest::keyClick(text1, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(bench.box.text(), QStringLiteral("5.5"));
        QVERIFY(!window->isVisible());

        window = bench.open();
        QTest::keyClicks(window, QStringLiteral("6/4="));
        QCOMPARE(bench.box.text(), QStringLiteral("1.5"));
    }

    void eachTargetCodeWritesItsOwnBoxAndReopeningOnlyMoves()
    {
        TestEnv env;
        QWidget host;
        host.resize(400, 300);
        std::map<qint16, QLineEdit*> boxes;
        for (qint16 code = 2; code <= 4; ++code) {
            boxes[code] = new QLineEdit(&host);
            boxes[code]->setGeometry(10, 40 * code, 100, 24);
            env.inputAids.registerAmountBox(code, boxes[code]);
        }
        host.show();
        for (qint16 code = 2; code <= 4; ++code) {
            QSignalSpy changes(boxes[code], &QLineEdit::textChanged);
            env.inputAids.showCalculatorBelow(code, boxes[code]);
            QWidget* window = env.inputAids.calculatorWindow();
            QCOMPARE(window->pos(), boxes[code]->mapToGlobal(QPoint(0, 24)));
            press(window, QString::number(code) + QStringLiteral("*10="));
            QCOMPARE(changes.count(), 1);
        }
        QCOMPARE(boxes[2]->text(), QStringLiteral("20"));
        QCOMPARE(boxes[3]->text(), QStringLiteral("30"));
        QCOMPARE(boxes[4]->text(), QStringLiteral("40"));

        // A second caller while open keeps what is typed and takes the result.
        env.inputAids.showCalculatorBelow(3, boxes[3]);
        QWidget* window = env.inputAids.calculatorWindow();
        press(window, QStringLiteral("9+"));
        env.inputAids.showCalculatorBelow(2, boxes[2]);
        QCOMPARE(window->pos(), boxes[2]->mapToGlobal(QPoint(0, 24)));
        QCOMPARE(display(window), QStringLiteral("9+"));
        press(window, QStringLiteral("1="));
        QCOMPARE(boxes[2]->text(), QStringLiteral("10"));
        QCOMPARE(boxes[3]->text(), QStringLiteral("30"));

        // Closed without "=" writes nothing; the next opening starts at "0".
        env.inputAids.showCalculatorBelow(4, boxes[4]);
        press(window, QStringLiteral("77"));
        window->close();
        QCOMPARE(boxes[4]->text(), QStringLiteral("40"));
        env.inputAids.showCalculatorBelow(4, boxes[4]);
        QCOMPARE(display(window), QStringLiteral("0"));
        window->close();

        // Opened from a box with the keyboard, it takes the keyboard: what is typed next is
        // calculated, not written into the box behind it. Esc clears, a second Esc closes.
        host.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&host));
        boxes[4]->setFocus();
        env.inputAids.showCalculatorBelow(4, boxes[4]);
        QTRY_COMPARE(QApplication::activeWindow(), window);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("3.5*100"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(boxes[4]->text(), QStringLiteral("350"));
        env.inputAids.showCalculatorBelow(4, boxes[4]);
        QTRY_COMPARE(QApplication::activeWindow(), window);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("12"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QCOMPARE(display(window), QStringLiteral("0"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!window->isVisible());
        QCOMPARE(boxes[4]->text(), QStringLiteral("350"));
    }
};

QTEST_MAIN(TestCalculatorWindow)
#include "test_calculator_window.moc"
