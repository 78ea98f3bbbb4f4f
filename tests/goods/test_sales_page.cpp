#include "admin/backup_history.h"
#include "goods/date_query_dialog.h"
#include "goods/goods_records.h"
#include "goods/sales_page.h"
#include "goods_test_util.h"
#include "input_aids/input_aids.h"
#include "shell/main_window.h"
#include "support/grid_csv.h"
#include "widgets/grid_menu.h"
#include "widgets/xlsx_export.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPrintPreviewWidget>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <csignal>
#include <cstdio>
#include <iconv.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace khgl;
using namespace khgl::test;

namespace {

const QString kTable = QStringLiteral("销售表");

struct SalesFixture : GoodsPageFixture<SalesPage>
{
    explicit SalesFixture(TestEnv& env) : GoodsPageFixture(env, "MS5", "Label7") {}
};

// Reads CSV (RFC 4180) back into rows of fields.
QList<QStringList> readCsv(const QString& text)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && text.mid(i + 1, 1) == u"\"") {
                field += c;
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            row << field;
            field.clear();
        } else if (c == u'\r' && text.mid(i + 1, 1) == u"\n") {
            row << field;
            field.clear();
            rows << row;
            row.clear();
            ++i;
        } else {
            field += c;
        }
    }
    return rows;
}

QByteArray gb18030ToUtf8(const QByteArray& bytes)
{
    iconv_t cd = iconv_open("UTF-8", "GB18030");
    QByteArray out(bytes.size() * 2 + 16, Qt::Uninitialized);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = static_cast<size_t>(bytes.size());
    char* to = out.data();
    size_t outLeft = static_cast<size_t>(out.size());
    const size_t done = iconv(cd, &in, &inLeft, &to, &outLeft);
    iconv_close(cd);
    return done == static_cast<size_t>(-1) ? QByteArray()
                                           : out.left(out.size() - qsizetype(outLeft));
}

// Counts the mouse buttons pressed anywhere in the program.
struct MouseButtons final : QObject
{
    MouseButtons() { qApp->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        count += type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
                 type == QEvent::MouseButtonDblClick;
        return false;
    }
    int count = 0;
};

} // namespace

class TestSalesPage final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void savesAppendAndTheTotalFollowsOnlySavedSales()
    {
        TestEnv env;
        SalesFixture f(env);
        QCOMPARE(f.total(), QStringLiteral("当前销售总额为：0.00元。"));
        QCOMPARE(rowTexts(f.grid(), 1), QStringList(7, QString()));
        QCOMPARE(f.grid()->text(0, 6), QStringLiteral("销售日期"));

        typeText(f.box("Text25"), QStringLiteral("苹果"));
        typeText(f.box("Text26"), QStringLiteral("2.5"));
        typeText(f.box("Text27"), QStringLiteral("2"));
        typeText(f.box("Text28"), QStringLiteral("5"));
        // A date cannot be typed key by key; the calendar writes it whole.
        typeText(f.box("Text24"), QStringLiteral("2"));
        QCOMPARE(f.box("Text24")->text(), QString());
        env.inputAids.writeDate(1, QStringLiteral("2026-3-5"));
        QCOMPARE(f.box("Text24")->text(), QStringLiteral("2026-3-5"));

        f.command("Label72");
        QCOMPARE(env.dialogs.texts(), strings({"保存完毕。"}));
        QCOMPARE(env.dialogs.messages[0].title, QStringLiteral("保存"));
        QCOMPARE(env.dialogs.messages[0].icon, Dialogs::Icon::Information);
        QCOMPARE(rowTexts(f.grid(), 1),
                 strings({"1", "苹果", "2.5", "2", "5", "2026-3-5", "备注内容"}));
        QCOMPARE(f.total(), QStringLiteral("当前销售总额为：5.00元。"));
        f.command("Label72");
        QCOMPARE(f.grid()->rows(), 3);
        QCOMPARE(env.rowsOnDisk(QStringLiteral("select 区别 from 销售表 order by rowid")),
                 rows({{"1"}, {"2"}}));

        // A refused save leaves the total as it was.
        addGoods(env, kTable, QStringLiteral("梨"), 1, 100, QStringLiteral("2026-3-6"));
        f.box("Text27")->clear();
        env.dialogs.clear();
        f.command("Label72");
        QCOMPARE(env.dialogs.texts(), strings({"商品信息不能有空白项。"}));
        QCOMPARE(env.dialogs.messages[0].title, QStringLiteral("提示"));
        QCOMPARE(env.countOnDisk(kTable), 3);
        QCOMPARE(f.total(), QStringLiteral("当前销售总额为：10.00元。"));
        grabTo(&f.page, QStringLiteral("sales_page"));
    }

    // 修改… (the grid's menu or Ctrl+E) corrects the selected sale where it stands: 区别 kept,
    // the row and the total follow; 取消 writes nothing; a sale another desk removed meanwhile
    // is refused. 数量 × 单价 off the amount by more than a cent is warned of, not refused.
    void editCorrectsTheSelectedSaleInPlace()
    {
        TestEnv env;
        addGoods(env, kTable, QStringLiteral("苹果"), 2, 5, QStringLiteral("2026-3-5"), {}, 1);
        addGoods(env, kTable, QStringLiteral("梨"), 1, 3, QStringLiteral("2026-3-6"), {}, 2);
        SalesFixture f(env);
        auto* check = child<QLabel>(&f.page, "AmountCheck");
        typeText(f.box("Text26"), QStringLiteral("2.5"));
        typeText(f.box("Text27"), QStringLiteral("2"));
        typeText(f.box("Text28"), QStringLiteral("5.01"));
        QVERIFY(check->isHidden());
        typeText(f.box("Text28"), QStringLiteral("9"));
        QVERIFY(check->isVisibleTo(&f.page));
        QVERIFY(check->text().contains(QStringLiteral("5.00")));
        grabTo(&f.page, QStringLiteral("sales_page_amount_check"));
        for (const QWidget* other : check->parentWidget()->findChildren<QWidget*>()) {
            QVERIFY2(other == check || !other->geometry().intersects(check->geometry()),
                     qPrintable(other->objectName()));
        }

        const QString onDisk = QStringLiteral(
            "select 名称,单价,数量,总金额,日期,备注,区别 from 销售表 order by rowid");
        const QList<QStringList> before = env.rowsOnDisk(onDisk);
        clickCell(f.grid(), 1, 2);
        env.dialogs.execNext([](QDialog& editor) {
            child<QLineEdit>(&editor, "Text25")->setText(QStringLiteral("不要"));
            click(child(&editor, "RecordEditorCancel"));
            return editor.result();
        });
        f.grid()->findChild<QAction*>(QStringLiteral("editRecord"))->trigger();
        QCOMPARE(env.dialogs.execCount, 1);
        QCOMPARE(env.rowsOnDisk(onDisk), before);

        bool warned = false;
        QString shown;
        env.dialogs.execNext([&warned, &shown](QDialog& editor) {
            shown = child<QLineEdit>(&editor, "Text25")->text();
            child<QLineEdit>(&editor, "Text25")->setText(QStringLiteral("青苹果"));
            typeText(child<QLineEdit>(&editor, "Text27"), QStringLiteral("0"));
            warned = child<QLabel>(&editor, "AmountCheck")->isVisibleTo(&editor);
            editor.show();
            grabTo(&editor, QStringLiteral("record_editor_sales"));
            child<QLineEdit>(&editor, "Text28")->setText(QStringLiteral("12.5"));
            click(child(&editor, "RecordEditorSave"));
            return editor.result();
        });
        f.page.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f.page));
        f.grid()->setFocus();
        QTest::keyClick(f.grid(), Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(env.dialogs.execCount, 2);
        QCOMPARE(shown, QStringLiteral("苹果"));
        QVERIFY(warned);
        QCOMPARE(env.rowsOnDisk(onDisk).first(),
                 strings({"青苹果", "1", "20", "12.5", "2026-3-5", "备注内容", "1"}));
        QCOMPARE(env.rowsOnDisk(onDisk).last(), before.last());
        QCOMPARE(rowTexts(f.grid(), 1),
                 strings({"1", "青苹果", "1", "20", "12.5", "2026-3-5", "备注内容"}));
        QCOMPARE(f.total(), QStringLiteral("当前销售总额为：15.50元。"));

        // Deleted at another desk while the dialog is open: refused, said, nothing written.
        env.dialogs.clear();
        env.dialogs.execNext([&env](QDialog& editor) {
            env.store.execute(QStringLiteral("delete from 销售表 where 名称='青苹果'"));
            child<QLineEdit>(&editor, "Text28")->setText(QStringLiteral("1"));
            click(child(&editor, "RecordEditorSave"));
            return editor.result();
        });
        QTest::keyClick(f.grid(), Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(env.dialogs.texts(), QStringList{DataStore::recordGoneText()});
        QCOMPARE(env.rowsOnDisk(onDisk), QList<QStringList>{before.last()});
    }

    void productQueryKeepsTheGridWhenNothingMatches()
    {
        TestEnv env;
        // Quantities out of order: a product's sales still list in the order they were entered.
        addGoods(env, kTable, QStringLiteral("苹果"), 5, 2, QStringLiteral("2026-3-5"));
        addGoods(env, kTable, QStringLiteral("梨"), 1, 3, QStringLiteral("2026-3-5"));
        addGoods(env, kTable, QStringLiteral("苹果"), 2, 4, QStringLiteral("2026-3-6"));
        SalesFixture f(env);
        env.dialogs.inputNext(QStringLiteral("苹果 "));
        f.command("Label45");
        QCOMPARE(env.dialogs.inputs.back().prompt, QStringLiteral("请输入要查询的商品名称。"));
        QCOMPARE(env.dialogs.inputs.back().title, QStringLiteral("按商品名查询商品信息"));
        QCOMPARE(listedNames(f.grid()), strings({"苹果", "苹果"}));
        QCOMPARE(f.grid()->text(1, 5), QStringLiteral("2"));
        QCOMPARE(f.grid()->text(2, 5), QStringLiteral("4"));

        env.dialogs.inputNext(QStringLiteral("桃'"));
        f.command("Label45");
        QCOMPARE(env.dialogs.texts(), strings({"不存在查询商品的记录。"}));
        QCOMPARE(env.dialogs.messages[0].title, QStringLiteral("查询提示"));
        QCOMPARE(listedNames(f.grid()), strings({"苹果", "苹果"}));
        QCOMPARE(f.total(), QStringLiteral("当前销售总额为：9.00元。"));

        // A save appends below the product's rows; the total covers the whole table.
        clickCell(f.grid(), 1, 2);
        QCOMPARE(f.box("Text24")->text(), QStringLiteral("2026-3-5"));
        f.command("Label72");
        QCOMPARE(f.grid()->rows(), 4);
        QCOMPARE(f.grid()->text(3, 1), QStringLiteral("4"));
        QCOMPARE(f.total(), QStringLiteral("当前销售总额为：11.00元。"));

        // Deleting that appended row removes the new sale, not the fourth row of a listing.
        clickCell(f.grid(), 3, 2);
        env.dialogs.answerNext(Dialogs::Answer::Yes);
        f.command("Label73");
        QCOMPARE(env.rowsOnDisk(QStringLiteral("select 名称,总金额 from 销售表 order by rowid")),
                 rows({{"苹果", "2"}, {"梨", "3"}, {"苹果", "4"}}));
        QCOMPARE(listedNames(f.grid()), strings({"苹果", "梨", "苹果"}));
        QCOMPARE(f.box("Text25")->text(), QString());

        // Another program changed the first sale since the listing: nothing is deleted.
        env.store.execute(QStringLiteral("update 销售表 set 数量=9 where rowid=?"),
                          {f.grid()->rowKey(1)});
        clickCell(f.grid(), 1, 2);
        env.dialogs.clear();
        env.dialogs.answerNext(Dialogs::Answer::Yes);
        f.command("Label73");
        QCOMPARE(env.dialogs.lastText(), QStringLiteral("记录已经改变，请重新查询。"));
        QCOMPARE(env.countOnDisk(kTable), 3);

        // The row the keys highlight is the row deleted: row 1 clicked, then Down.
        clickCell(f.grid(), 1, 2);
        QTest::keyClick(f.grid(), Qt::Key_Down);
        env.dialogs.answerNext(Dialogs::Answer::Yes);
        f.command("Label73");
        QCOMPARE(env.rowsOnDisk(QStringLiteral("select 名称,总金额 from 销售表 order by rowid")),
                 rows({{"苹果", "2"}, {"苹果", "4"}}));

        // A saved row becomes current: a delete right after the save removes what was saved.
        clickCell(f.grid(), 1, 2);
        f.command("Label72");
        env.dialogs.answerNext(Dialogs::Answer::Yes);
        f.command("Label73");
        QCOMPARE(env.rowsOnDisk(QStringLiteral("select 名称,总金额 from 销售表 order by rowid")),
                 rows({{"苹果", "2"}, {"苹果", "4"}}));
    }

    // A sale recorded, found and deleted with the keyboard alone: Ctrl+6 shows the page, Enter
    // walks the entry boxes and saves from the last, F4 opens the calendar, Tab reaches the
    // commands and Enter or Space runs them.
    void keyboardAloneRecordsFindsAndDeletesASale()
    {
        TestEnv env;
        addGoods(env, kTable, QStringLiteral("梨"), 1, 3, QStringLiteral("2026-3-5"));
        MainWindow window(env.context);
        window.show();
        window.load();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const MouseButtons mouse;
        const auto keys = [] { return QApplication::focusWidget(); };
        const auto focused = [] {
            return QApplication::focusWidget() ? QApplication::focusWidget()->objectName()
                                               : QString();
        };
        const auto enter = [&](const QString& text) {
            QTest::keyClicks(keys(), text);
            QTest::keyClick(keys(), Qt::Key_Return);
        };
        const auto tabTo = [&](const char* name) {
            for (int i = 0; i < 100 && focused() != QLatin1String(name); ++i) {
                QTest::keyClick(keys(), Qt::Key_Tab);
            }
            return focused() == QLatin1String(name);
        };
        QTest::keyClick(&window, Qt::Key_6, Qt::ControlModifier);
        QVERIFY(child(&window, "Frame12")->isVisible());
        auto* grid = child<RecordGrid>(&window, "MS5");

        QVERIFY(tabTo("Text25"));
        enter(QStringLiteral("Kiwi"));
        enter(QStringLiteral("2.5"));
        enter(QStringLiteral("4"));
        enter(QStringLiteral("10"));
        QCOMPARE(focused(), QStringLiteral("Text24"));
        QTest::keyClick(keys(), Qt::Key_F4);
        QTRY_COMPARE(QApplication::activeWindow(), env.inputAids.calendarWindow());
        QTest::keyClick(keys(), Qt::Key_Return); // today's date
        QVERIFY(!env.inputAids.isCalendarOpen());
        QTRY_COMPARE(focused(), QStringLiteral("Text24"));
        QTest::keyClick(keys(), Qt::Key_Return);
        enter(QStringLiteral("gift"));
        QCOMPARE(env.dialogs.texts(), strings({"保存完毕。"}));
        QCOMPARE(env.rowsOnDisk(QStringLiteral("select 名称, 单价, 数量, 总金额, 日期, 备注 from "
                                               "销售表 where rowid = 2")),
                 rows({{"Kiwi", "2.5", "4", "10", "2026-12-7", "gift"}}));

        env.dialogs.inputNext(QStringLiteral("Kiwi"));
        QVERIFY(tabTo("Label45"));
        QTest::keyClick(keys(), Qt::Key_Return);
        QCOMPARE(listedNames(grid), strings({"Kiwi"}));

        // A stray Enter on the delete question answers 否.
        env.dialogs.clear();
        QVERIFY(tabTo("Label73"));
        QTest::keyClick(keys(), Qt::Key_Return);
        QCOMPARE(env.dialogs.texts(), strings({"确定要删除当前记录吗？"}));
        QCOMPARE(env.countOnDisk(kTable), 2);
        env.dialogs.answerNext(Dialogs::Answer::Yes);
        QTest::keyClick(keys(), Qt::Key_Space);
        QCOMPARE(env.rowsOnDisk(QStringLiteral("select 名称 from 销售表")), rows({{"梨"}}));
        QCOMPARE(mouse.count, 0);
    }

    void aLongListingIsReadABlockAtATime()
    {
        TestEnv env;
        for (int i = 0; i < 40; ++i) {
            addGoods(env, kTable, QStringLiteral("货%1").arg(i), i, i, QStringLiteral("2026-3-5"));
        }
        // A gap in the keys, as a delete leaves.
        env.store.execute(QStringLiteral("delete from 销售表 where 名称='货3'"));
        SalesFixture f(env);
        RecordGrid* grid = f.grid();
        grid->setBlockSize(4, 2); // ten blocks, two kept
        f.page.opened();
        QCOMPARE(grid->rows(), 40);
        QCOMPARE(grid->row(), 39);

        // Ctrl+End and back to the top: each block is read where it is shown.
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(grid->row(), 39);
        QCOMPARE(grid->text(39, 2), QStringLiteral("货39"));
        QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(rowTexts(grid, 4), strings({"4", "货4", "1", "4", "4", "2026-3-5", "备注内容"}));

        // A row of a later block copies into the boxes.
        clickCell(grid, 30, 2);
        QCOMPARE(f.box("Text25")->text(), QStringLiteral("货30"));
        QCOMPARE(f.box("Text27")->text(), QStringLiteral("30"));

        // Scrolled far down after the top was shown: the highlighted row is the one deleted.
        clickCell(grid, 2, 2);
        clickCell(grid, 35, 2);
        env.dialogs.answerNext(Dialogs::Answer::Yes);
        f.command("Label73");
        QCOMPARE(env.countOnDisk(kTable), 38);
        QCOMPARE(env.rowsOnDisk(QStringLiteral("select count(*) from 销售表 where 名称='货35'")),
                 rows({{"0"}}));
        QCOMPARE(grid->rows(), 39);
        QCOMPARE(grid->text(35, 2), QStringLiteral("货36"));

        // A save appends after the listing; deleting it right away removes what was saved.
        clickCell(grid, 20, 2);
        f.command("Label72");
        QCOMPARE(grid->rows(), 40);
        QCOMPARE(grid->text(39, 2), QStringLiteral("货20"));
        QCOMPARE(env.countOnDisk(kTable), 39);
        env.dialogs.answerNext(Dialogs::Answer::Yes);
        f.command("Label73");
        QCOMPARE(env.countOnDisk(kTable), 38);
        QCOMPARE(grid->text(38, 2), QStringLiteral("货39"));

        // Another program's save shows when the page lists again; the export reads every row.
        addGoods(env, kTable, QStringLiteral("货40"), 1, 1, QStringLiteral("2026-3-6"));
        f.page.opened();
        QCOMPARE(grid->rows(), 40);
        QCOMPARE(grid->text(39, 2), QStringLiteral("货40"));
        QCOMPARE(grid->text(3, 2), QStringLiteral("货2"));
        QStringList names;
        grid->visitRows([&names](int, const std::string* cells) {
            names << QString::fromStdString(cells[2]);
            return true;
        });
        QCOMPARE(names, listedNames(grid));
        QCOMPARE(names.size(), 39);

        // A fresh listing read at its end first walks the keys back from there.
        auto pages = goods::listingPages(env.store, goods::GoodsTable::Sales);
        QCOMPARE(pages->rows(37, 5).text(QStringLiteral("名称")), QStringLiteral("货39"));
        QCOMPARE(pages->rows(2, 1).text(QStringLiteral("名称")), QStringLiteral("货2"));
    }

    void aListingLongerThanTheViewsWindowScrollsOverAllOfIt()
    {
        TestEnv env;
        constexpr int kRows = 20000;
        std::vector<QVariantList> sales;
        for (int i = 0; i < kRows; ++i) {
            sales.push_back({QStringLiteral("货%1").arg(i), i, i, QStringLiteral("2026-3-5")});
        }
        env.store.transaction([&] {
            env.store.executeEach(QStringLiteral("insert into 销售表 (名称,单价,数量,总金额,日期) "
                                                 "values (?,1,?,?,?)"),
                                  sales);
        });
        SalesFixture f(env);
        f.page.opened();
        RecordGrid* grid = f.grid();
        QCOMPARE(grid->rows(), kRows + 1);
        QVERIFY(grid->model()->rowCount() <= RecordGrid::kWindowRows);
        auto* bar = child<QScrollBar>(grid, "ListingBar");
        QVERIFY(bar->isVisible());
        // What the view shows: the name of the highlighted row, and the number of its top row.
        const auto highlighted = [grid] { return grid->currentIndex().siblingAtColumn(1).data(); };
        const auto topShown = [grid] { return grid->indexAt(QPoint(2, 2)).data().toInt(); };

        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(grid->row(), kRows);
        QCOMPARE(highlighted(), QStringLiteral("货19999"));
        QVERIFY(grid->viewport()->rect().contains(grid->visualRect(grid->currentIndex())));
        QCOMPARE(bar->value(), bar->maximum());

        // Page Down goes a page at a time through many windows, the view with it.
        QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(highlighted(), QStringLiteral("货0"));
        QTest::keyClick(grid, Qt::Key_PageDown);
        const int page = grid->row() - 1;
        QVERIFY(page > 1);
        for (int i = 0; i < 60; ++i) {
            QTest::keyClick(grid, Qt::Key_PageDown);
        }
        QCOMPARE(grid->row(), 1 + 61 * page);
        QCOMPARE(highlighted(), QStringLiteral("货%1").arg(61 * page));
        QCOMPARE(bar->value(), topShown() - 1);

        // The wheel scrolls the listing away from the highlight; a key brings it back.
        const int row = grid->row();
        for (int i = 0; i < 300; ++i) {
            QWheelEvent wheel(QPointF(5, 5), grid->viewport()->mapToGlobal(QPointF(5, 5)), {},
                              {0, -120}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(grid->viewport(), &wheel);
        }
        QVERIFY(topShown() > row + 800);
        QCOMPARE(grid->row(), row);
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(grid->row(), row + 1);
        QCOMPARE(highlighted(), QStringLiteral("货%1").arg(row));

        // The bar spans the whole listing; a row clicked there is the one deleted.
        bar->setValue(15000);
        QCOMPARE(topShown(), 15001);
        clickCell(grid, 15005, 2);
        env.dialogs.answerNext(Dialogs::Answer::Yes);
        f.command("Label73");
        QCOMPARE(env.countOnDisk(kTable), kRows - 1);
        QCOMPARE(env.rowsOnDisk(QStringLiteral("select count(*) from 销售表 where 名称='货15004'")),
                 rows({{"0"}}));
        QCOMPARE(grid->text(15005, 2), QStringLiteral("货15005"));
        QCOMPARE(grid->row(), kRows - 1); // listed again, from the top
        QCOMPARE(topShown(), 1);

        // The export reads the whole listing, not the window.
        int exported = 0;
        grid->visitRows([&exported](int at, const std::string* cells) {
            exported += cells[2] == "货" + std::to_string(at < 15005 ? at - 1 : at);
            return true;
        });
        QCOMPARE(exported, kRows - 1);

        // A short listing after it scrolls with the view's own bar again.
        env.dialogs.inputNext(QStringLiteral("货7"));
        f.command("Label45");
        QCOMPARE(listedNames(grid), strings({"货7"}));
        QVERIFY(!bar->isVisible());
        QVERIFY(!grid->verticalScrollBar()->isHidden());
    }

    void deleteOnABlankRowSaysSoAndListsTheTable()
    {
        TestEnv env;
        SalesFixture f(env);
        env.dialogs.answerNext(Dialogs::Answer::Yes);
        f.command("Label73");
        QCOMPARE(env.dialogs.texts(), strings({"确定要删除当前记录吗？", "当前记录已经删除。"}));
        QCOMPARE(env.dialogs.messages[1].title, QStringLiteral("提示"));
        QCOMPARE(env.dialogs.messages[1].icon, Dialogs::Icon::Information);
        // Answering No says nothing more.
        env.dialogs.clear();
        env.dialogs.answerNext(Dialogs::Answer::No);
        f.command("Label73");
        QCOMPARE(env.dialogs.messages.size(), size_t(1));
        QCOMPARE(f.grid()->rows(), 2);
    }

    void dateAndAmountBoxesCloseEachOthersAid()
    {
        TestEnv env;
        SalesFixture f(env);
        click(f.box("Text24"));
        QVERIFY(env.inputAids.isCalendarOpen());
        QCOMPARE(env.inputAids.calendarTarget(), qint16(1));
        click(f.box("Text28"));
        QVERIFY(!env.inputAids.isCalendarOpen());
        QVERIFY(env.inputAids.isCalculatorOpen());
        QCOMPARE(env.inputAids.calculatorTarget(), qint16(4));
        click(f.box("Text24"));
        QVERIFY(env.inputAids.isCalendarOpen());
        QVERIFY(!env.inputAids.isCalculatorOpen());
        // The other boxes close both; the remark keeps its text.
        typeText(f.box("Text29"), QStringLiteral("赠品"));
        click(f.box("Text29"));
        QVERIFY(!env.inputAids.isCalendarOpen());
        QCOMPARE(f.box("Text29")->text(), QStringLiteral("赠品"));
    }

    void dateDialogListsOneDateAndCancelClosesTheCalendar()
    {
        TestEnv env;
        addGoods(env, kTable, QStringLiteral("苹果"), 1, 2, QStringLiteral("2026-3-5"));
        addGoods(env, kTable, QStringLiteral("梨"), 1, 3, QStringLiteral("2026-3-6"));
        addGoods(env, kTable, QStringLiteral("桃"), 1, 4, QStringLiteral("2026-3-5"));
        SalesFixture f(env);
        f.command("Label46");
        DateQueryDialog* dialog = f.page.dateDialog();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->objectName(), QStringLiteral("Form7"));
        QCOMPARE(dialog->windowTitle(), QStringLiteral("日期查询"));
        QVERIFY(!dialog->isModal());

        click(child(dialog, "Label2"));
        QCOMPARE(env.dialogs.texts(), strings({"请输入要查询的日期。"}));
        QCOMPARE(env.dialogs.messages[0].title, QString());
        QCOMPARE(env.dialogs.messages[0].icon, Dialogs::Icon::None);

        click(child(dialog, "Text1"));
        QCOMPARE(env.inputAids.calendarTarget(), qint16(11));
        env.inputAids.writeDate(11, QStringLiteral("2026-3-5"));
        click(child(dialog, "Label2"));
        QCOMPARE(listedNames(f.grid()), strings({"苹果", "桃"}));
        QCOMPARE(f.total(), QStringLiteral("当前销售总额为：9.00元。"));

        // Deleting a row of the date listing removes that very sale.
        clickCell(f.grid(), 2, 2);
        env.dialogs.answerNext(Dialogs::Answer::Yes);
        f.command("Label73");
        QCOMPARE(env.rowsOnDisk(QStringLiteral("select 名称 from 销售表 order by rowid")),
                 rows({{"苹果"}, {"梨"}}));

        f.command("Label46");
        env.dialogs.clear();
        // The same day written with leading zeros finds the same sales.
        child<QLineEdit>(dialog, "Text1")->setText(QStringLiteral("2026-03-05"));
        click(child(dialog, "Label2"));
        QVERIFY(env.dialogs.texts().isEmpty());
        QCOMPARE(listedNames(f.grid()), strings({"苹果"}));
        child<QLineEdit>(dialog, "Text1")->setText(QStringLiteral("2026-3-7"));
        click(child(dialog, "Label2"));
        QCOMPARE(env.dialogs.texts(), strings({"不存在查询商品的记录。"}));
        QCOMPARE(listedNames(f.grid()), strings({"苹果"}));
        grabTo(dialog, QStringLiteral("date_query_dialog"));

        click(child(dialog, "Text1"));
        QVERIFY(env.inputAids.isCalendarOpen());
        click(child(dialog, "Label3"));
        QVERIFY(!dialog->isVisible());
        QVERIFY(!env.inputAids.isCalendarOpen());
    }

    // Tricky texts leave the grid and come back from the file field by field, in either
    // encoding; what a spreadsheet would run as a formula comes back with an apostrophe.
    void gridExportsToCsvAndReadsBack()
    {
        TestEnv env;
        const QStringList names =
            QStringLiteral(
                "逗号,和\"引号\"|两行\n文字|=1+1|表情😀|𠮷野家|@SUM(A1)|-1+1|\t=1+1| ＋A1")
                .split(u'|');
        // A comma or quote in each place the export looks at words of 2, 4 and 8 bytes.
        const QStringList plain =
            QStringLiteral("a,|ab\"|abcd,|abcdefg,|abcdefgh,|,bcdefghijklmnopq").split(u'|');
        for (const QString& name : names + plain) {
            addGoods(env, kTable, name, -2, 1.5, QStringLiteral("2026-3-5"));
        }
        SalesFixture f(env);
        auto* exportCsv = f.grid()->findChild<QAction*>(QStringLiteral("exportCsv"));
        QVERIFY(exportCsv != nullptr);
        QCOMPARE(f.grid()->contextMenuPolicy(), Qt::CustomContextMenu);

        const QString utf8Path = env.folder() + QStringLiteral("/导出.csv");
        const QString gbPath = env.folder() + QStringLiteral("/导出-gb");
        env.dialogs.saveNext(utf8Path, 0);
        exportCsv->trigger();
        env.dialogs.saveNext(gbPath, 1);
        exportCsv->trigger();
        QCOMPARE(env.dialogs.fileRequests.size(), size_t(2));
        QVERIFY(env.dialogs.fileRequests[0].filter.contains(QStringLiteral("GB18030")));

        QFile utf8File(utf8Path);
        QVERIFY(utf8File.open(QIODevice::ReadOnly));
        const QByteArray utf8 = utf8File.readAll();
        QVERIFY(utf8.startsWith("\xEF\xBB\xBF"));
        QFile gbFile(gbPath + QStringLiteral(".csv"));
        QVERIFY(gbFile.open(QIODevice::ReadOnly));
        const QByteArray gb = gbFile.readAll();
        QVERIFY(gb.contains("\xC9\xCC\xC6\xB7")); // 商品, no byte-order mark

        for (const QByteArray& text : {utf8.mid(3), gb18030ToUtf8(gb)}) {
            const QList<QStringList> read = readCsv(QString::fromUtf8(text));
            QCOMPARE(read.size(), names.size() + plain.size() + 1);
            QCOMPARE(read[0], strings({"编号", "商品名称", "商品单价", "商品数量", "销售金额",
                                       "销售日期", "备注"}));
            QStringList readNames;
            for (qsizetype row = 1; row < read.size(); ++row) {
                QCOMPARE(read[row].size(), 7);
                QCOMPARE(read[row][3], QStringLiteral("-2"));
                readNames << read[row][1];
            }
            QCOMPARE(readNames, (QStringList{QStringLiteral("逗号,和\"引号\""),
                                             QStringLiteral("两行\n文字"), QStringLiteral("'=1+1"),
                                             QStringLiteral("表情😀"), QStringLiteral("𠮷野家"),
                                             QStringLiteral("'@SUM(A1)"), QStringLiteral("'-1+1"),
                                             QStringLiteral("'\t=1+1"), QStringLiteral("' ＋A1")} +
                                 plain));
        }
        // A cancelled save dialog writes nothing and asks nothing more.
        env.dialogs.clear();
        exportCsv->trigger();
        QCOMPARE(env.dialogs.fileRequests.size(), size_t(1));
        QVERIFY(env.dialogs.messages.empty());
    }

    // The sales grid exported (GB18030) and imported into an empty shop through the menu and
    // the preview: the same rows, texts byte for byte, the formula guard taken off, 区别
    // counted as saves count, a safety copy first. Cancelling the preview writes nothing.
    void gridImportsItsExportIntoAnEmptyShop()
    {
        TestEnv env;
        const QStringList names{QStringLiteral("逗号,和\"引号\""),
                                QStringLiteral("两行\n文字"),
                                QStringLiteral("=cmd|' /C calc'!A0"),
                                QStringLiteral("-1+1"),
                                QStringLiteral("表情😀𠮷"),
                                QStringLiteral(" 前后空格 "),
                                QStringLiteral("'引号开头")};
        for (int i = 0; i < names.size(); ++i) {
            addGoods(env, kTable, names[i], i - 2, i + 0.5, QStringLiteral("2026-3-%1").arg(i + 1),
                     QStringLiteral("备注%1").arg(i), i + 1);
        }
        SalesFixture f(env);
        TestEnv shop;
        int copies = 0;
        shop.context.copyBeforeImport = [&] {
            ++copies;
            BackupHistory(shop.folder())
                .writeSafetyCopy(shop.store, shop.clock.now(), BackupEntry::Kind::BeforeImport);
        };
        SalesFixture g(shop);
        auto* import = g.grid()->findChild<QAction*>(QStringLiteral("importCsv"));
        QVERIFY(import && import->isVisible());
        exportAndImport(env, *f.grid(), shop, *g.grid(), 1, [](QDialog& preview) {
            [&] {
                QCOMPARE(preview.objectName(), QStringLiteral("ImportPreview"));
                QCOMPARE(child<QLabel>(&preview, "ImportCounts")->text(),
                         QStringLiteral("共 7 条记录：有效 7 条，有问题 0 条（红色，不导入）。"));
                auto* grid = child<RecordGrid>(&preview, "ImportGrid");
                QCOMPARE(grid->rows(), 8);
                QCOMPARE(grid->text(3, 3), QStringLiteral("=cmd|' /C calc'!A0"));
                QCOMPARE(grid->text(3, 1), QStringLiteral("5")); // the second row took two lines
            }();
            auto* confirm = child<QPushButton>(&preview, "ImportConfirm");
            [&] { QCOMPARE(confirm->text(), QStringLiteral("导入 7 条有效记录")); }();
            click(confirm);
            return preview.result();
        });
        QCOMPARE(shop.dialogs.texts(), QStringList{QStringLiteral("已导入 7 条记录。")});
        QCOMPARE(copies, 1);
        const auto entries = BackupHistory(shop.folder()).entries();
        QCOMPARE(entries.size(), size_t(1));
        QCOMPARE(entries[0].kind, BackupEntry::Kind::BeforeImport);
        // A whole quantity stays a whole number (typeof: SQLite's file only).
        const QString columns = QStringLiteral("select 名称,单价,数量,总金额,日期,备注,区别") +
                                (onTestServer() ? QString() : QStringLiteral(",typeof(数量)")) +
                                QStringLiteral(" from 销售表 order by rowid");
        QCOMPARE(shop.rowsOnDisk(columns), env.rowsOnDisk(columns));
        QCOMPARE(g.grid()->text(7, 2), QStringLiteral("'引号开头"));

        // A file with a bad row, previewed and cancelled: nothing written, no copy.
        QFile bad(shop.folder() + QStringLiteral("/bad.csv"));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write(QStringLiteral("商品名称;商品单价;商品数量;销售金额;销售日期\n"
                                 "桃;1;1;1;2026-3-5\n李;贵;1;1;2026-3-5\n")
                      .toUtf8());
        bad.close();
        shop.dialogs.clear();
        shop.dialogs.fileNext(bad.fileName());
        shop.dialogs.execNext([](QDialog& preview) {
            [&] {
                QCOMPARE(child<QLabel>(&preview, "ImportCounts")->text(),
                         QStringLiteral("共 2 条记录：有效 1 条，有问题 1 条（红色，不导入）。"));
                QCOMPARE(child<RecordGrid>(&preview, "ImportGrid")->text(2, 9),
                         QStringLiteral("“商品单价”不是数字"));
            }();
            click(child(&preview, "ImportCancel"));
            return preview.result();
        });
        import->trigger();
        QVERIFY(shop.dialogs.messages.empty());
        QCOMPARE(shop.countOnDisk(kTable), 7);
        QCOMPARE(copies, 1);

        // A million rows are written beside the window, which cannot be closed meanwhile;
        // 取消 in the progress window leaves the table as it was.
        QFile many(shop.folder() + QStringLiteral("/many.csv"));
        QVERIFY(many.open(QIODevice::WriteOnly));
        many.write(QStringLiteral("商品名称,商品单价,商品数量,销售金额,销售日期\n").toUtf8() +
                   QStringLiteral("梨,1,1,1,2026-3-5\n").toUtf8().repeated(1'000'000));
        many.close();
        shop.dialogs.clear();
        shop.dialogs.fileNext(many.fileName());
        QTimer watch;
        bool closed = true;
        connect(&watch, &QTimer::timeout, this, [&] {
            auto* progress =
                g.grid()->findChild<QProgressDialog*>(QStringLiteral("importProgress"));
            if (progress != nullptr && progress->isVisible()) {
                watch.stop();
                closed = g.grid()->window()->close();
                click(progress->findChild<QPushButton*>());
            }
        });
        shop.dialogs.execNext([&](QDialog& preview) {
            // From the confirmation on: the progress window is the write's.
            watch.start(50);
            click(child(&preview, "ImportConfirm"));
            return preview.result();
        });
        import->trigger();
        QVERIFY(!closed);
        QCOMPARE(shop.dialogs.texts(),
                 QStringList{QStringLiteral("导入已取消，没有导入任何记录。")});
        QCOMPARE(shop.countOnDisk(kTable), 7);
        QCOMPARE(copies, 2);
    }

    // The grid as a workbook read by openpyxl: numbers as numbers, ISO dates as dates, other
    // texts (formula-like ones too) as strings, header bold and frozen, widths from the grid.
    void gridExportsToExcel()
    {
        TestEnv env;
        addGoods(env, kTable, QStringLiteral("=cmd|' /C calc'!A0"), 3, 4.5,
                 QStringLiteral("2026-03-05"));
        addGoods(env, kTable, QStringLiteral("007"), -2, 0.1, QStringLiteral("2026-3-5"),
                 QStringLiteral("两行\n中文"));
        SalesFixture f(env);
        const QString path = env.folder() + QStringLiteral("/销售");
        env.dialogs.saveNext(path);
        f.grid()->findChild<QAction*>(QStringLiteral("exportXlsx"))->trigger();
        QCOMPARE(env.dialogs.texts(),
                 QStringList{QStringLiteral("已导出 2 行到“%1.xlsx”。").arg(path)});

        QProcess python;
        python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QStringLiteral(R"(
import json, sys, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).active
cells = [[[type(c.value).__name__, str(c.value)] for c in row] for row in ws.iter_rows()]
print(json.dumps({"cells": cells, "bold": [c.font.b for c in ws[1]], "frozen": ws.freeze_panes,
                  "width": ws.column_dimensions["B"].width,
                  "formats": [ws["F2"].number_format, ws["F3"].number_format]}))
)"),
                                                          path + QStringLiteral(".xlsx")});
        QVERIFY(python.waitForFinished(60000));
        const QByteArray out = python.readAllStandardOutput();
        QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
        const QJsonObject read = QJsonDocument::fromJson(out).object();
        QStringList cells;
        for (const auto row : read[QStringLiteral("cells")].toArray()) {
            QStringList texts;
            for (const auto cell : row.toArray()) {
                texts << cell.toArray()[0].toString() + QLatin1Char(':') +
                             cell.toArray()[1].toString();
            }
            cells << texts.join(u' ');
        }
        QCOMPARE(cells,
                 (QStringList{QStringLiteral("str:编号 str:商品名称 str:商品单价 str:商品数量 "
                                             "str:销售金额 str:销售日期 str:备注"),
                              QStringLiteral("int:1 str:=cmd|' /C calc'!A0 int:1 int:3 float:4.5 "
                                             "datetime:2026-03-05 00:00:00 str:备注内容"),
                              QStringLiteral("int:2 str:007 int:1 int:-2 float:0.1 "
                                             "datetime:2026-03-05 00:00:00 str:两行\n中文")}));
        QVERIFY(!read[QStringLiteral("bold")].toArray().contains(false));
        QCOMPARE(read[QStringLiteral("frozen")].toString(), QStringLiteral("A2"));
        QVERIFY(read[QStringLiteral("width")].toDouble() > 5);
        QCOMPARE(read[QStringLiteral("formats")].toVariant().toStringList(),
                 (QStringList{QStringLiteral("yyyy-mm-dd"), QStringLiteral("yyyy-m-d")}));

        // An export killed halfway leaves no file behind, hidden or not, and the workbook
        // written before stays whole.
        env.store.execute(QStringLiteral(
            "insert into 销售表 (名称, 单价, 数量, 总金额, 日期) with recursive n(i) as "
            "(select 1 union all select i + 1 from n where i < 70000) "
            "select '货' || i, 1, 1, 1, '2026-12-7' from n"));
        f.page.opened();
        QVERIFY(f.grid()->rows() > 70000);
        const QDir folder(env.folder());
        const QStringList before = folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System);
        const QByteArray workbook = [&path] {
            QFile file(path + QStringLiteral(".xlsx"));
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }();
        std::fflush(nullptr);
        const pid_t exporter = ::fork();
        if (exporter == 0) {
            writeGridXlsx(*f.grid(), path + QStringLiteral(".xlsx"), QString(), [](int, int) {
                ::raise(SIGKILL);
                return true;
            });
            ::_exit(0);
        }
        int status = 0;
        QCOMPARE(::waitpid(exporter, &status, 0), exporter);
        QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        QCOMPARE(folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System), before);
        QFile kept(path + QStringLiteral(".xlsx"));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), workbook);
    }

    // The sales page as a PDF, read back as text: title with the date, the header row, a row,
    // the header again on the next page, page numbers and the total line. Long names and
    // notes wrap and every row stays whole on one page; the print command and the preview
    // lay out the same pages. A list of eleven columns goes on landscape paper.
    void gridPrintsToPdfWithTitleHeadersAndTotal()
    {
        TestEnv env;
        env.clock.setDate(QDate(2026, 3, 9));
        const QString note =
            QStringLiteral("送货前请先电话联系收件人，地址：某某省某某市某某区某某路"
                           "一百二十三号某某小区五栋三单元十二楼 ");
        for (int i = 0; i < 120; ++i) {
            const bool wide = i % 3 == 0;
            addGoods(
                env, kTable,
                QStringLiteral("商品%1").arg(i) +
                    (wide ? QStringLiteral(" 特级明前龙井绿茶礼盒装五百克（附赠品）") : QString()),
                2, 5, QStringLiteral("2026-3-5"),
                wide ? QStringLiteral("start%1.").arg(i) + note.repeated(2) +
                           QStringLiteral("end%1.").arg(i)
                     : QStringLiteral("备注内容"));
        }
        SalesFixture f(env);
        const auto run = [](const QString& program, const QStringList& args) {
            QProcess process;
            process.start(program, args);
            process.waitForFinished(30000);
            return QString::fromUtf8(process.readAllStandardOutput());
        };
        const auto pdfText = [&run](const QString& path, int page = 0) {
            QStringList args{QStringLiteral("-layout")};
            if (page > 0) {
                args << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l")
                     << QString::number(page);
            }
            return run(QStringLiteral("pdftotext"), args << path << QStringLiteral("-"));
        };
        const QString pdf = env.folder() + QStringLiteral("/销售.pdf");
        env.dialogs.saveNext(pdf);
        f.grid()->findChild<QAction*>(QStringLiteral("exportPdf"))->trigger();
        QVERIFY(env.dialogs.messages.empty());
        const QString text = pdfText(pdf);
        QVERIFY2(text.contains(QStringLiteral("商品销售")), qPrintable(text.left(400)));
        QVERIFY(text.contains(QStringLiteral("2026-3-9")));
        QVERIFY(text.contains(QStringLiteral("商品119")));
        QVERIFY(text.count(QStringLiteral("销售日期")) >= 2);   // repeated on the next page
        QVERIFY(text.count(QStringLiteral("2026-3-5")) == 120); // dates never broken
        QVERIFY(text.contains(QStringLiteral("当前销售总额为：600.00元。")));
        const QString info = run(QStringLiteral("pdfinfo"), {pdf});
        QVERIFY2(info.contains(QStringLiteral("595 x 842")), qPrintable(info)); // A4 portrait
        const int pages =
            QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info).captured(1).toInt();
        QVERIFY(pages >= 3);
        QVERIFY(text.contains(QStringLiteral("第 2 页，共 %1 页").arg(pages)));
        for (int page = 1; page <= pages; ++page) {
            const QString onPage = pdfText(pdf, page);
            for (int i = 0; i < 120; i += 3) {
                QCOMPARE(onPage.contains(QStringLiteral("start%1.").arg(i)),
                         onPage.contains(QStringLiteral("end%1.").arg(i)));
            }
        }

        const QString printed = env.folder() + QStringLiteral("/printed.pdf");
        env.dialogs.printNext(printed);
        f.grid()->findChild<QAction*>(QStringLiteral("printGrid"))->trigger();
        QCOMPARE(env.dialogs.printRequests, 1);
        QVERIFY(pdfText(printed).contains(QStringLiteral("当前销售总额为：600.00元。")));

        int previewPages = 0;
        env.dialogs.execNext([&](QDialog& dialog) {
            auto* view = dialog.findChild<QPrintPreviewWidget*>();
            view->updatePreview();
            previewPages = view->pageCount();
            return int(QDialog::Rejected);
        });
        f.grid()->findChild<QAction*>(QStringLiteral("printPreview"))->trigger();
        QCOMPARE(previewPages, pages);
        QVERIFY(env.dialogs.messages.empty());

        RecordGrid wide;
        wide.setCols(12);
        wide.setRows(3);
        const QStringList customer =
            strings({"张三丰", "男", "13800138000", "zhangsanfeng@example.com",
                     "浙江省杭州市西湖区文三路 90 号", "310012", "2026-03-05", "特级明前龙井",
                     "268.00", "淘宝", "老客户，请优先发货"});
        for (int col = 1; col <= 11; ++col) {
            wide.setText(0, col, QStringLiteral("第%1列标题").arg(col));
            wide.setText(1, col, customer[col - 1]);
        }
        new GridMenu(wide, {env.dialogs, env.clock, [] { return QStringLiteral("客户"); }, {}});
        const QString widePdf = env.folder() + QStringLiteral("/客户.pdf");
        env.dialogs.saveNext(widePdf);
        wide.findChild<QAction*>(QStringLiteral("exportPdf"))->trigger();
        QVERIFY2(run(QStringLiteral("pdfinfo"), {widePdf}).contains(QStringLiteral("842 x 595")),
                 qPrintable(run(QStringLiteral("pdfinfo"), {widePdf})));
        const QString wideText = pdfText(widePdf);
        // Short cells keep their width: nothing of them is broken.
        for (const int col : {0, 2, 5, 6, 7, 8}) {
            QVERIFY2(wideText.contains(customer[col]), qPrintable(customer[col]));
        }
    }
};

QTEST_MAIN(TestSalesPage)
#include "test_sales_page.moc"
