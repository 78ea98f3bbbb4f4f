#include "goods/purchase_page.h"
#include "goods_test_util.h"
#include "input_aids/input_aids.h"

#include <QTest>

using namespace khgl;
using namespace khgl::test;

namespace {

const QString kTable = QStringLiteral("进货表");

struct PurchaseFixture : GoodsPageFixture<PurchasePage>
{
    explicit PurchaseFixture(TestEnv& env) : GoodsPageFixture(env, "MS4", "Label8") {}
    void fill(const QString& name, const QString& price, const QString& quantity,
              const QString& amount, const QString& date)
    {
        for (const char* b : {"Text11", "Text12", "Text21", "Text22", "Text10", "Text23"}) {
            box(b)->clear();
        }
        typeText(box("Text11"), name);
        typeText(box("Text12"), price);
        typeText(box("Text21"), quantity);
        typeText(box("Text22"), amount);
        typeText(box("Text10"), date);
    }
};

} // namespace

class TestPurchasePage final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void savesFillRowOneThenAppend()
    {
        TestEnv env;
        PurchaseFixture f(env);
        QCOMPARE(f.grid()->rows(), 2);
        QCOMPARE(rowTexts(f.grid(), 1), QStringList(7, QString()));
        QCOMPARE(f.total(), QStringLiteral("当前商品进货总额为0.00元。"));
        QCOMPARE(f.grid()->cols(), 8);
        QCOMPARE(f.grid()->text(0, 5), QStringLiteral("进货总额"));
        QCOMPARE(f.grid()->colWidth(7), 3600);

        f.fill(QStringLiteral("苹果"), QStringLiteral("2.5"), QStringLiteral("4"),
               QStringLiteral("10"), QStringLiteral("2026-3-5"));
        f.command("Label61");
        QCOMPARE(env.dialogs.messages.size(), size_t(1));
        QCOMPARE(env.dialogs.messages[0].text, QStringLiteral("保存成功。"));
        QCOMPARE(env.dialogs.messages[0].title, QString());
        QCOMPARE(env.dialogs.messages[0].icon, Dialogs::Icon::None);
        QCOMPARE(f.grid()->rows(), 2);
        QCOMPARE(rowTexts(f.grid(), 1),
                 strings({"1", "苹果", "2.5", "4", "10", "2026-3-5", "备注内容"}));
        QCOMPARE(f.box("Text23")->text(), QStringLiteral("备注内容"));
        QCOMPARE(f.total(), QStringLiteral("当前商品进货总额为10.00元。"));

        // The boxes keep their texts: change one and save again.
        f.box("Text11")->clear();
        typeText(f.box("Text11"), QStringLiteral("梨"));
        // A date typed in another form of the day is stored as the calendar writes it.
        f.box("Text10")->clear();
        typeText(f.box("Text10"), QStringLiteral("2026年03月05日"));
        f.command("Label61");
        QCOMPARE(f.grid()->rows(), 3);
        QCOMPARE(f.grid()->text(2, 1), QStringLiteral("2"));
        QCOMPARE(f.grid()->text(2, 2), QStringLiteral("梨"));
        QCOMPARE(env.rowsOnDisk(QStringLiteral("select 名称,单价,日期,备注,区别 from 进货表 "
                                               "order by rowid")),
                 rows({{"苹果", "2.5", "2026-3-5", "备注内容", "1"},
                       {"梨", "2.5", "2026-3-5", "备注内容", "2"}}));
        QCOMPARE(f.total(), QStringLiteral("当前商品进货总额为20.00元。"));

        // A refused save writes nothing but still brings the total up to date.
        addGoods(env, kTable, QStringLiteral("桃"), 1, 0.5, QStringLiteral("2026-3-6"));
        f.box("Text10")->clear();
        env.dialogs.clear();
        f.command("Label61");
        QCOMPARE(env.dialogs.texts(), strings({"商品信息不能有空白项。"}));
        QCOMPARE(env.dialogs.messages[0].title, QStringLiteral("提示"));
        QCOMPARE(env.dialogs.messages[0].icon, Dialogs::Icon::Information);
        QCOMPARE(env.countOnDisk(kTable), 3);
        QCOMPARE(f.total(), QStringLiteral("当前商品进货总额为20.50元。"));
        // A date no date query would ever find is refused, naming the box.
        typeText(f.box("Text10"), QStringLiteral("2026/13/40"));
        env.dialogs.clear();
        f.command("Label61");
        QCOMPARE(env.dialogs.texts(), strings({"“日期”不是日期（如 2026-3-5），记录没有保存。"}));
        QCOMPARE(env.countOnDisk(kTable), 3);
        grabTo(&f.page, QStringLiteral("purchase_page"));
    }

    void boxesCheckNumbersAndTheRemarkEmptiesOnClick()
    {
        TestEnv env;
        addGoods(env, kTable, QStringLiteral("苹果"), 3, 7.5, QStringLiteral("2026-3-5"),
                 QStringLiteral("整箱"));
        PurchaseFixture f(env);
        typeText(f.box("Text21"), QStringLiteral("-"));
        QCOMPARE(f.box("Text21")->text(), QString());
        paste(f.box("Text21"), QStringLiteral("-3"));
        QCOMPARE(f.box("Text21")->text(), QStringLiteral("-3"));
        typeText(f.box("Text12"), QStringLiteral("12a"));
        QCOMPARE(f.box("Text12")->text(), QString());
        // The input method's full-width digits, point and minus read as ASCII.
        typeText(f.box("Text12"), QStringLiteral("１２９．５"));
        QCOMPARE(f.box("Text12")->text(), QStringLiteral("129.5"));
        f.box("Text21")->clear();
        paste(f.box("Text21"), QStringLiteral("－３"));
        QCOMPARE(f.box("Text21")->text(), QStringLiteral("-3"));
        f.box("Text12")->clear();
        // Typed one key at a time, "1e" is no number yet and goes; pasted whole, 1e3 stays.
        typeText(f.box("Text22"), QStringLiteral("1e3"));
        QCOMPARE(f.box("Text22")->text(), QStringLiteral("3"));
        f.box("Text22")->clear();
        paste(f.box("Text22"), QStringLiteral("1e3"));
        QCOMPARE(f.box("Text22")->text(), QStringLiteral("1e3"));

        clickCell(f.grid(), 1, 3);
        QCOMPARE(f.box("Text11")->text(), QStringLiteral("苹果"));
        QCOMPARE(f.box("Text21")->text(), QStringLiteral("3"));
        QCOMPARE(f.box("Text22")->text(), QStringLiteral("7.5"));
        QCOMPARE(f.box("Text10")->text(), QStringLiteral("2026-3-5"));
        QCOMPARE(f.box("Text23")->text(), QStringLiteral("整箱"));
        // F4 and Alt+Down open an aid in a date box; here they are no click.
        QTest::keyClick(f.box("Text23"), Qt::Key_F4);
        QTest::keyClick(f.box("Text23"), Qt::Key_Down, Qt::AltModifier);
        QCOMPARE(f.box("Text23")->text(), QStringLiteral("整箱"));
        click(f.box("Text23"));
        QCOMPARE(f.box("Text23")->text(), QString());

        // The date and amount boxes hand their codes to the calendar and the calculator.
        click(f.box("Text10"));
        QCOMPARE(env.inputAids.calendarTarget(), qint16(4));
        click(f.box("Text22"));
        QCOMPARE(env.inputAids.calculatorTarget(), qint16(3));
        env.inputAids.writeDate(4, QStringLiteral("2026-12-7"));
        QCOMPARE(f.box("Text10")->text(), QStringLiteral("2026-12-7"));
        env.inputAids.writeAmount(3, QStringLiteral("abc"));
        QCOMPARE(f.box("Text22")->text(), QString());
    }

    void productQueryShowsItsTotalUntilTheNextListing()
    {
        TestEnv env;
        addGoods(env, kTable, QStringLiteral("苹果"), 1, 0.5, QStringLiteral("2026-3-5"));
        addGoods(env, kTable, QStringLiteral("O'Brien茶"), 2, 3, QStringLiteral("2026-3-5"));
        addGoods(env, kTable, QStringLiteral("苹果"), 0.5, 0, QStringLiteral("2026-3-6"));
        PurchaseFixture f(env);
        QCOMPARE(f.total(), QStringLiteral("当前商品进货总额为3.50元。"));

        env.dialogs.inputNext(QStringLiteral("苹果"));
        f.command("Label51");
        QCOMPARE(env.dialogs.inputs.back().prompt, QStringLiteral("输入要查询的商品名。"));
        QCOMPARE(env.dialogs.inputs.back().title, QStringLiteral("商品查询"));
        QCOMPARE(listedNames(f.grid()), strings({"苹果", "苹果"}));
        // In the order entered, whatever the quantities.
        QCOMPARE(f.grid()->text(1, 4) + QLatin1Char('/') + f.grid()->text(2, 4),
                 QStringLiteral("1/0.5"));
        QCOMPARE(f.total(), QStringLiteral("商品进货总金额为：.50元"));

        // "记录数据" lists everything again but keeps the product's total.
        f.command("Label50");
        QCOMPARE(listedNames(f.grid()), strings({"苹果", "O'Brien茶", "苹果"}));
        QCOMPARE(f.total(), QStringLiteral("商品进货总金额为：.50元"));
        QCOMPARE(f.grid()->colWidth(7), 3300);

        // A quote in the name is searched for as typed.
        env.dialogs.inputNext(QStringLiteral("O'Brien茶"));
        f.command("Label51");
        QCOMPARE(listedNames(f.grid()), strings({"O'Brien茶"}));
        QCOMPARE(f.total(), QStringLiteral("商品进货总金额为：3.00元"));

        env.dialogs.clear();
        env.dialogs.inputNext(QStringLiteral("桃"));
        f.command("Label51");
        QCOMPARE(env.dialogs.texts(), strings({"查询的商品不存在。"}));
        QCOMPARE(env.dialogs.messages[0].title, QStringLiteral("查询提示"));
        QCOMPARE(f.grid()->rows(), 2);
        QCOMPARE(rowTexts(f.grid(), 1), QStringList(7, QString()));
        QCOMPARE(f.total(), QStringLiteral("当前商品进货总额为0.00元。"));

        // A cancelled question changes nothing.
        env.dialogs.clear();
        f.command("Label51");
        QVERIFY(env.dialogs.messages.empty());
        QCOMPARE(f.grid()->rows(), 2);
    }

    void deleteRemovesExactlyTheRowShown()
    {
        TestEnv env;
        for (const char* remark : {"A1", "B", "A2", "C"}) {
            addGoods(env, kTable, QString::fromUtf8(remark).left(1), 1, 1,
                     QStringLiteral("2026-3-5"), QString::fromUtf8(remark));
        }
        PurchaseFixture f(env);
        // After a product query, row 2 shows the third record of the table.
        env.dialogs.inputNext(QStringLiteral("A"));
        f.command("Label51");
        clickCell(f.grid(), 2, 2);
        QCOMPARE(f.box("Text23")->text(), QStringLiteral("A2"));
        env.dialogs.clear();
        env.dialogs.answerNext(Dialogs::Answer::Yes);
        f.command("Label62");
        QCOMPARE(env.dialogs.messages[0].text, QStringLiteral("确定要删除当前记录吗？"));
        QCOMPARE(env.dialogs.messages[0].title, QStringLiteral("删除提示"));
        QCOMPARE(env.dialogs.messages[0].buttons, Dialogs::Buttons::YesNoDefaultNo);
        QCOMPARE(env.dialogs.messages.size(), size_t(1));
        QCOMPARE(env.rowsOnDisk(QStringLiteral("select 备注 from 进货表 order by rowid")),
                 rows({{"A1"}, {"B"}, {"C"}}));
        QCOMPARE(listedNames(f.grid()), strings({"A", "B", "C"}));
        QCOMPARE(f.box("Text23")->text(), QString());
        QCOMPARE(f.total(), QStringLiteral("当前商品进货总额为3.00元。"));

        // No still replaces a product listing with the whole table and empties the boxes.
        env.dialogs.inputNext(QStringLiteral("B"));
        f.command("Label51");
        clickCell(f.grid(), 1, 2);
        env.dialogs.answerNext(Dialogs::Answer::No);
        f.command("Label62");
        QCOMPARE(env.countOnDisk(kTable), 3);
        QCOMPARE(listedNames(f.grid()), strings({"A", "B", "C"}));
        QCOMPARE(f.box("Text11")->text(), QString());

        // A row a save appended names its own record.
        f.fill(QStringLiteral("D"), QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1"),
               QStringLiteral("2026-3-7"));
        f.command("Label61");
        clickCell(f.grid(), 4, 2);
        env.dialogs.answerNext(Dialogs::Answer::Yes);
        f.command("Label62");
        QCOMPARE(env.rowsOnDisk(QStringLiteral("select 名称 from 进货表 order by rowid")),
                 rows({{"A"}, {"B"}, {"C"}}));

        // The row the keys highlight is the row deleted: row 1 clicked, then Down.
        clickCell(f.grid(), 1, 2);
        QTest::keyClick(f.grid(), Qt::Key_Down);
        env.dialogs.answerNext(Dialogs::Answer::Yes);
        f.command("Label62");
        QCOMPARE(env.rowsOnDisk(QStringLiteral("select 名称 from 进货表 order by rowid")),
                 rows({{"A"}, {"C"}}));

        // A saved row becomes current: a delete right after the save removes what was saved.
        f.fill(QStringLiteral("E"), QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1"),
               QStringLiteral("2026-3-8"));
        f.command("Label61");
        env.dialogs.answerNext(Dialogs::Answer::Yes);
        f.command("Label62");
        QCOMPARE(env.rowsOnDisk(QStringLiteral("select 名称 from 进货表 order by rowid")),
                 rows({{"A"}, {"C"}}));
    }

    void deleteOnABlankRowDeletesNothing()
    {
        TestEnv env;
        PurchaseFixture f(env);
        env.dialogs.answerNext(Dialogs::Answer::Yes);
        f.command("Label62");
        QCOMPARE(env.dialogs.messages.size(), size_t(1));
        QCOMPARE(f.grid()->rows(), 2);
        QCOMPARE(f.total(), QStringLiteral("当前商品进货总额为0.00元。"));
    }
};

QTEST_MAIN(TestPurchasePage)
#include "test_purchase_page.moc"
