#include "customer_test_util.h"
#include "customers_mail/customer_entry_window.h"
#include "input_aids/input_aids.h"
#include "support/record_rows.h"
#include "widgets/click_widgets.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

using namespace khgl;
using namespace khgl::test;

class TestCustomerEntry final : public QObject
{
    Q_OBJECT

private:
    static CustomerEntryWindow* openEntry(CustomerPageFixture& f)
    {
        click(f.child<ClickLabel>(QStringLiteral("Label49")));
        return f.page.entryWindow();
    }
    static QLineEdit* box(CustomerEntryWindow* entry, const QString& name)
    {
        return entry->findChild<QLineEdit*>(name);
    }
    static void save(CustomerEntryWindow* entry)
    {
        click(entry->findChild<ClickLabel*>(QStringLiteral("Label1")));
    }

private Q_SLOTS:
    void longTextsAreEmptiedPastFortyEightCharacters_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("message"); // empty: the box has no limit
        QTest::newRow("Text1") << QStringLiteral("Text1") << QStringLiteral("字数不大于50字。");
        QTest::newRow("Text3") << QStringLiteral("Text3") << QStringLiteral("字数不大于50字。");
        QTest::newRow("Text5") << QStringLiteral("Text5") << QStringLiteral("商品名不大于50字");
        QTest::newRow("Text2") << QStringLiteral("Text2") << QString();
    }
    void longTextsAreEmptiedPastFortyEightCharacters()
    {
        QFETCH(QString, box);
        QFETCH(QString, message);
        CustomerPageFixture f;
        QLineEdit* edit = this->box(openEntry(f), box);
        const QString fortyEight = QString(48, QChar(u'汉'));
        typeText(edit, fortyEight);
        QCOMPARE(edit->text(), fortyEight);
        QVERIFY(f.env.dialogs.messages.empty());
        typeText(edit, QStringLiteral("x"));
        if (message.isEmpty()) {
            QCOMPARE(edit->text(), fortyEight + QStringLiteral("x"));
            QVERIFY(f.env.dialogs.messages.empty());
            return;
        }
        QCOMPARE(edit->text(), QString());
        QCOMPARE(f.env.dialogs.messages.size(), size_t{1});
        QCOMPARE(f.env.dialogs.lastText(), message);
        QCOMPARE(f.env.dialogs.messages.back().title, QString());
        QCOMPARE(f.env.dialogs.messages.back().icon, Dialogs::Icon::None);
    }

    // What the number boxes keep is checked on the records module; here, that a box empties
    // on a typed non-number (a sign typed first included) and keeps a pasted number.
    void priceAndQuantityKeepOnlyNumbers()
    {
        CustomerPageFixture f;
        CustomerEntryWindow* entry = openEntry(f);
        QLineEdit* price = box(entry, QStringLiteral("Text6"));
        typeText(price, QStringLiteral("1,234.5"));
        QCOMPARE(price->text(), QStringLiteral("1,234.5"));
        typeText(price, QStringLiteral("a"));
        QCOMPARE(price->text(), QString());
        typeText(price, QStringLiteral("-3"));
        QCOMPARE(price->text(), QStringLiteral("3"));
        price->clear();
        typeText(price, QStringLiteral("１２９．５"));
        QCOMPARE(price->text(), QStringLiteral("129.5"));
        price->setText(QStringLiteral(" 2e-3 "));
        QCOMPARE(price->text(), QStringLiteral(" 2e-3 "));
        box(entry, QStringLiteral("Text7"))->setText(QStringLiteral("1e"));
        QCOMPARE(box(entry, QStringLiteral("Text7"))->text(), QString());
        QVERIFY(f.env.dialogs.messages.empty());
    }

    void savesFillTheEmptyRowThenAppend()
    {
        CustomerPageFixture f;
        f.page.opened();
        CustomerEntryWindow* entry = openEntry(f);

        save(entry);
        QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("请添加用户名！"));
        QCOMPARE(f.env.dialogs.messages.back().title, QStringLiteral("提示"));
        QCOMPARE(f.env.dialogs.messages.back().icon, Dialogs::Icon::Information);
        QCOMPARE(f.env.countOnDisk(QStringLiteral("客户表")), 0);

        // Every box but 商品简述 (Text9) gets its own text, so a column shown in the wrong
        // place or an empty box written anyway shows up cell by cell.
        const QStringList typed{QStringLiteral("张三"),
                                QStringLiteral("北京市海淀区"),
                                QStringLiteral("z@a.cn"),
                                QStringLiteral("2026-3-5"),
                                QStringLiteral("茶叶"),
                                QStringLiteral("1,250.5"),
                                QStringLiteral("2"),
                                QStringLiteral("2501"),
                                QString(),
                                QStringLiteral("老客户"),
                                QStringLiteral("无")};
        for (int i = 0; i < typed.size(); ++i) {
            box(entry, QStringLiteral("Text%1").arg(i + 1))->setText(typed[i]);
        }
        entry->findChild<QPlainTextEdit*>(QStringLiteral("Text12"))
            ->setPlainText(QStringLiteral("喜欢绿茶"));
        f.env.dialogs.clear();
        save(entry);
        QCOMPARE(f.env.dialogs.texts(), QStringList{QStringLiteral("保存完毕！")});
        QCOMPARE(f.env.dialogs.messages.back().title, QString());
        QCOMPARE(f.env.dialogs.messages.back().icon, Dialogs::Icon::None);
        RecordGrid& grid = f.grid();
        QCOMPARE(grid.rows(), 2);
        // The texts as typed, the purchase date too.
        QCOMPARE(rowTexts(grid, 1),
                 (QStringList{QStringLiteral("张三"), QStringLiteral("北京市海淀区"),
                              QStringLiteral("z@a.cn"), QStringLiteral("2026-3-5"),
                              QStringLiteral("茶叶"), QStringLiteral("1,250.5"),
                              QStringLiteral("2"), QStringLiteral("2501"), QString(),
                              QStringLiteral("老客户"), QStringLiteral("无")}));
        // The boxes keep their texts: a second save is the same purchase again, this time by
        // Enter from box to box, frame by frame, the last box saving.
        QCOMPARE(box(entry, QStringLiteral("Text1"))->text(), QStringLiteral("张三"));
        QVERIFY(QTest::qWaitForWindowActive(entry));
        box(entry, QStringLiteral("Text1"))->setFocus();
        QStringList visited;
        for (int i = 0; i < 11; ++i) {
            visited << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        }
        QCOMPARE(visited, QStringLiteral("Text1 Text2 Text3 Text10 Text11 Text4 Text5 Text6 Text7 "
                                         "Text8 Text9")
                              .split(u' '));
        QCOMPARE(grid.rows(), 3);
        QCOMPARE(grid.row(), 2);
        QCOMPARE(rowTexts(grid, 2), rowTexts(grid, 1));

        // Which box is which column is checked on the records module; here what the window
        // hands it: the note, the number as the store reads it, the count with the new record.
        QCOMPARE(joinedRows(f.env.rowsOnDisk(
                     QStringLiteral("select 附加信息, 商品单价, 区别 from 客户表 order by rowid"))),
                 split("喜欢绿茶|1250.5|1,喜欢绿茶|1250.5|2", u','));
        QCOMPARE(QString::number(grid.rowKey(2)),
                 f.env.rowsOnDisk(QStringLiteral("select max(rowid) from 客户表"))[0][0]);
    }

    void badDateIsRefusedWithoutWritingAnything()
    {
        CustomerPageFixture f;
        f.page.opened();
        CustomerEntryWindow* entry = openEntry(f);
        typeText(box(entry, QStringLiteral("Text1")), QStringLiteral("张三"));
        box(entry, QStringLiteral("Text4"))->setText(QStringLiteral("2026-2-30"));
        save(entry);
        QCOMPARE(f.env.dialogs.messages.size(), size_t{1});
        QVERIFY(f.env.dialogs.lastText() != QStringLiteral("保存完毕！"));
        QCOMPARE(f.env.countOnDisk(QStringLiteral("客户表")), 0);
        QCOMPARE(f.grid().text(1, 1), QString());
    }

    // Typing into the date or amount box opens its aid beside the box, but the keys stay in
    // the box; after the save by Enter the keyboard is back in the first box, so a second
    // Enter saves nothing.
    void typedDateAndAmountAreSavedAsTyped()
    {
        CustomerPageFixture f;
        f.page.opened();
        CustomerEntryWindow* entry = openEntry(f);
        QVERIFY(QTest::qWaitForWindowActive(entry));
        const auto typeKeys = [](const QString& keys) {
            for (const QChar key : keys) {
                QTest::keyClick(QApplication::focusWidget(), key.toLatin1());
                QTest::qWait(5); // what the platform does with a newly shown window happens
            }
        };
        box(entry, QStringLiteral("Text1"))->setFocus();
        typeText(QApplication::focusWidget(), QStringLiteral("张三"));
        box(entry, QStringLiteral("Text4"))->setFocus();
        typeKeys(QStringLiteral("2026-3-5"));
        QVERIFY(f.env.inputAids.isCalendarOpen());
        box(entry, QStringLiteral("Text8"))->setFocus();
        typeKeys(QStringLiteral("129"));
        QVERIFY(f.env.inputAids.isCalculatorOpen());
        // The calculator goes on from what was typed.
        QCOMPARE(f.env.inputAids.calculatorWindow()->findChild<QLineEdit*>()->text(),
                 QStringLiteral("129"));
        QCOMPARE(QApplication::focusWidget(), box(entry, QStringLiteral("Text8")));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); // on to Text9
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); // the last box saves
        QCOMPARE(f.env.dialogs.texts(), QStringList{QStringLiteral("保存完毕！")});
        QCOMPARE(QApplication::focusWidget(), box(entry, QStringLiteral("Text1")));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(f.env.rowsOnDisk(QStringLiteral("select 客户名, 购买日期, 收取金额 from 客户表")),
                 (QList<QStringList>{{QStringLiteral("张三"), QStringLiteral("2026-03-05"),
                                      QStringLiteral("129")}}));
        f.env.inputAids.closeCalendar();
        f.env.inputAids.closeCalculator();
    }

    // Esc closes an open aid first; typed text is not thrown away without a question.
    void escapeClosesTheAidThenAsksBeforeThrowingTextAway()
    {
        CustomerPageFixture f;
        f.page.opened();
        CustomerEntryWindow* entry = openEntry(f);
        QVERIFY(QTest::qWaitForWindowActive(entry));
        QLineEdit* date = box(entry, QStringLiteral("Text4"));
        date->setFocus();
        QTest::keyClicks(date, QStringLiteral("2026-3")); // typing opens the picker; the keys stay in the box
        QVERIFY(f.env.inputAids.isCalendarOpen());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!f.env.inputAids.isCalendarOpen());
        QVERIFY(entry->isVisible());
        QVERIFY(f.env.dialogs.messages.empty());

        f.env.dialogs.answerNext(Dialogs::Answer::No);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QCOMPARE(f.env.dialogs.texts(), QStringList{QStringLiteral("放弃输入的内容吗？")});
        QCOMPARE(f.env.dialogs.messages.back().icon, Dialogs::Icon::Question);
        QCOMPARE(f.env.dialogs.messages.back().buttons, Dialogs::Buttons::YesNoDefaultNo);
        QVERIFY(entry->isVisible());
        QCOMPARE(date->text(), QStringLiteral("2026-3"));
        f.env.dialogs.answerNext(Dialogs::Answer::Yes);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!entry->isVisible());

        // What was saved is nothing to lose: Esc closes at once, as on an empty window.
        entry = openEntry(f);
        QVERIFY(QTest::qWaitForWindowActive(entry));
        box(entry, QStringLiteral("Text1"))->setFocus();
        typeText(box(entry, QStringLiteral("Text1")), QStringLiteral("张三"));
        save(entry);
        f.env.dialogs.clear();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!entry->isVisible());
        QVERIFY(f.env.dialogs.messages.empty());
    }

    void dateAndAmountBoxesUseTheirAids()
    {
        CustomerPageFixture f;
        CustomerEntryWindow* entry = openEntry(f);
        InputAids& aids = f.env.inputAids;
        QLineEdit* date = box(entry, QStringLiteral("Text4"));
        QLineEdit* amount = box(entry, QStringLiteral("Text8"));
        QCOMPARE(aids.dateBox(6), date);
        QCOMPARE(aids.amountBox(2), amount);

        click(date);
        QCOMPARE(aids.calendarTarget(), qint16{6});
        click(amount);
        QCOMPARE(aids.calculatorTarget(), qint16{2});
        aids.writeDate(6, QStringLiteral("2026-12-7"));
        aids.writeAmount(2, QStringLiteral("15"));
        QCOMPARE(date->text(), QStringLiteral("2026-12-7"));
        QCOMPARE(amount->text(), QStringLiteral("15"));
        aids.closeCalendar();
        aids.closeCalculator();
    }
};

QTEST_MAIN(TestCustomerEntry)
#include "test_customer_entry.moc"
