#include "customer_test_util.h"
#include "customers_mail/customer_entry_window.h"
#include "customers_mail/customer_grid_editor.h"
#include "data_store/schema.h"
#include "platform/aid_target.h"
#include "shell/main_window.h"
#include "support/grid_csv.h"
#include "support/record_rows.h"
#include "widgets/click_widgets.h"

#include <QAction>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace khgl;
using namespace khgl::test;

class TestCustomerPage final : public QObject
{
    Q_OBJECT

private:
    static QString keyOf(const TestEnv& env, const QString& name, const QString& product)
    {
        return env
            .rowsOnDisk(QStringLiteral("select rowid from 客户表 where 客户名=? and 商品名称=?"),
                        {name, product})
            .value(0)
            .value(0);
    }

    static QStringList namesOnDisk(const TestEnv& env)
    {
        QStringList names;
        for (const QStringList& row :
             env.rowsOnDisk(QStringLiteral("select 客户名, 商品名称 from 客户表 order by rowid"))) {
            names << row.join(QLatin1Char('/'));
        }
        return names;
    }

private Q_SLOTS:
    void openingListsTheTableWithHeadersWidthsAndKeys()
    {
        CustomerPageFixture f;
        addCustomer(f.env.store, "张三", "z@a.cn", "茶叶", "老客户");
        const QString longNote = QString(300000, QChar(u'长')) + QStringLiteral("尾");
        addCustomer(f.env.store, QStringLiteral("李四"), {}, QStringLiteral("瓷器"), longNote);
        f.page.opened();
        RecordGrid& grid = f.grid();
        QCOMPARE(grid.cols(), 12);
        QCOMPARE(grid.rows(), 3);
        QCOMPARE(grid.text(0, 1), QStringLiteral("客户名"));
        QCOMPARE(grid.text(0, 3), QStringLiteral("客户邮箱"));
        QCOMPARE(grid.text(0, 8), QStringLiteral("收取金额"));
        QCOMPARE(grid.text(0, 11), QStringLiteral("备注"));
        QCOMPARE(grid.colWidth(0), 300);
        QCOMPARE(grid.colWidth(8), 1800);
        QCOMPARE(grid.colWidth(9), 3000);
        QCOMPARE(grid.colWidth(11), 3000);
        QCOMPARE(rowTexts(grid, 1),
                 QStringLiteral("张三|北京市海淀区|z@a.cn|2026-03-05|茶叶|12.5|2|25|红色|老客户|无")
                     .split(u'|'));
        QCOMPARE(grid.text(2, 3), QString()); // no e-mail
        // A huge note is shown and tipped by its beginning; the cell keeps it whole, and the
        // in-cell box, which holds less, shows its beginning and leaves it whole on Enter.
        QVERIFY(grid.text(2, 10) == longNote);
        for (const int role : {int(Qt::DisplayRole), int(Qt::ToolTipRole)}) {
            const QString shown = grid.cellIndex(2, 10).data(role).toString();
            QVERIFY2(shown.size() < 2100 && shown.endsWith(QChar(0x2026)) &&
                         longNote.startsWith(shown.chopped(1)),
                     qPrintable(QString::number(shown.size())));
        }
        grid.grab();
        doubleClickCell(grid, 2, 10);
        QLineEdit* box = f.page.gridEditor().box();
        QVERIFY(box->isVisible() && box->isReadOnly() && box->text().size() < 2100);
        QTest::keyClick(box, Qt::Key_Return);
        f.page.gridEditor().cancel();
        QVERIFY(grid.text(2, 10) == longNote);
        QCOMPARE(QString::number(grid.rowKey(2)),
                 keyOf(f.env, QStringLiteral("李四"), QStringLiteral("瓷器")));

        // Emptied behind the page's back: one blank row that names no record.
        f.env.store.execute(QStringLiteral("delete from 客户表"));
        f.page.opened();
        QCOMPARE(grid.rows(), 2);
        QCOMPARE(grid.text(1, 1), QString());
        QCOMPARE(grid.rowKey(1), -1);
        QCOMPARE(grid.text(0, 5), QStringLiteral("商品名称"));
        grabTo(&f.page, QStringLiteral("customer_page_empty"));

        // A column another tool put in the middle of the table neither shows nor shifts: the
        // listing and the find read by name.
        f.env.store.execute(QStringLiteral("drop table 客户表"));
        QStringList columns = columnNames(QStringLiteral("客户表"));
        columns.insert(2, QStringLiteral("多余 default '不该出现'"));
        f.env.store.execute(QStringLiteral("create table 客户表 (%1)").arg(columns.join(u',')));
        f.env.store.close();
        addCustomer(f.env.store, "张三", "z@a.cn", "茶叶", "老客户");
        const QStringList expected =
            QStringLiteral("张三|北京市海淀区|z@a.cn|2026-03-05|茶叶|12.5|2|25|红色|老客户|无")
                .split(u'|');
        f.page.opened();
        QCOMPARE(rowTexts(grid, 1), expected);
        f.env.dialogs.inputNext(QStringLiteral("张三"));
        click(f.child<ClickLabel>(QStringLiteral("Label11")));
        QCOMPARE(rowTexts(grid, 1), expected);
    }

    // The customer grid exported and imported into an empty shop through the menu: the same
    // rows, the guarded formula-like text back as typed.
    void gridImportsItsExportIntoAnEmptyShop()
    {
        CustomerPageFixture f;
        addCustomer(f.env.store, "张三", "z@a.cn", "茶叶", "=老客户");
        addCustomer(f.env.store, "李四", nullptr, "瓷器");
        f.page.opened();
        CustomerPageFixture shop;
        shop.page.opened();
        exportAndImport(f.env, f.grid(), shop.env, shop.grid());
        QCOMPARE(shop.env.dialogs.texts(), QStringList{QStringLiteral("已导入 2 条记录。")});
        const QString columns = QStringLiteral(
            "select 客户名,邮寄地址,电子邮箱,购买日期,商品名称,商品单价,商品数量,收取金额,"
            "商品简述,客户简述,其他 from 客户表 order by rowid");
        QCOMPARE(shop.env.rowsOnDisk(columns), f.env.rowsOnDisk(columns));
        QCOMPARE(rowTexts(shop.grid(), 1), rowTexts(f.grid(), 1));
    }

    void findListsOnlyMatchesAndBindsTheName()
    {
        CustomerPageFixture f;
        addCustomer(f.env.store, "张三", "z@a.cn", "茶叶", "老客户");
        addCustomer(f.env.store, "O'Brien", "o@b.ie", "瓷器");
        addCustomer(f.env.store, "O'Brien", "o@b.ie", "丝绸");
        f.page.opened();
        RecordGrid& grid = f.grid();

        // A quote in the name is found as typed; the previous row 1 note does not linger.
        f.env.dialogs.inputNext(QStringLiteral("o'brien"));
        click(f.child<ClickLabel>(QStringLiteral("Label11")));
        QCOMPARE(f.env.dialogs.inputs.back().prompt, QStringLiteral("请输入用户名。"));
        QCOMPARE(f.env.dialogs.inputs.back().title, QStringLiteral("查找客户"));
        QVERIFY(f.env.dialogs.messages.empty());
        QCOMPARE(grid.rows(), 3);
        QCOMPARE(grid.text(1, 5), QStringLiteral("瓷器"));
        QCOMPARE(grid.text(1, 10), QString());
        QCOMPARE(grid.text(2, 5), QStringLiteral("丝绸"));

        // No match: a message, and the grid keeps the found rows.
        f.env.dialogs.inputNext(QStringLiteral("王五"));
        click(f.child<ClickLabel>(QStringLiteral("Label11")));
        QCOMPARE(f.env.dialogs.messages.size(), size_t{1});
        QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("客户不存在。"));
        QCOMPARE(f.env.dialogs.messages.back().title, QStringLiteral("提示"));
        QCOMPARE(f.env.dialogs.messages.back().icon, Dialogs::Icon::Information);
        QCOMPARE(grid.rows(), 3);

        // A cancelled question changes nothing.
        click(f.child<ClickLabel>(QStringLiteral("Label11")));
        QCOMPARE(f.env.dialogs.messages.size(), size_t{1});
        QCOMPARE(grid.text(2, 5), QStringLiteral("丝绸"));
    }

    void deleteRemovesExactlyTheRecordTheRowShows()
    {
        CustomerPageFixture f;
        addCustomer(f.env.store, "张三", "z@a.cn", "茶叶");
        addCustomer(f.env.store, "李四", "l@a.cn", "瓷器");
        addCustomer(f.env.store, "李四", "l@a.cn", "丝绸");
        f.page.opened();
        RecordGrid& grid = f.grid();
        auto* remove = f.child<ClickLabel>(QStringLiteral("Label66"));

        // After a find, grid row 2 is the table's third record.
        f.env.dialogs.inputNext(QStringLiteral("李四"));
        click(f.child<ClickLabel>(QStringLiteral("Label11")));
        clickCell(grid, 2, 5);
        f.env.dialogs.answerNext(Dialogs::Answer::No);
        click(remove);
        QCOMPARE(f.env.countOnDisk(QStringLiteral("客户表")), 3);
        QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("是否删除？"));
        QCOMPARE(f.env.dialogs.messages.back().buttons, Dialogs::Buttons::YesNoDefaultNo);
        QCOMPARE(f.env.dialogs.messages.back().icon, Dialogs::Icon::Question);

        f.env.dialogs.answerNext(Dialogs::Answer::Yes);
        click(remove);
        QCOMPARE(namesOnDisk(f.env),
                 (QStringList{QStringLiteral("张三/茶叶"), QStringLiteral("李四/瓷器")}));
        QCOMPARE(grid.rows(), 2);
        QCOMPARE(grid.text(1, 5), QStringLiteral("瓷器"));

        // The last data row is blanked, its record deleted; a blank row then deletes nothing.
        clickCell(grid, 1, 2);
        f.env.dialogs.answerNext(Dialogs::Answer::Yes);
        click(remove);
        QCOMPARE(namesOnDisk(f.env), QStringList{QStringLiteral("张三/茶叶")});
        QCOMPARE(grid.rows(), 2);
        QCOMPARE(rowTexts(grid, 1), QStringList(11, QString()));
        f.env.dialogs.answerNext(Dialogs::Answer::Yes);
        click(remove);
        QCOMPARE(namesOnDisk(f.env), QStringList{QStringLiteral("张三/茶叶")});
    }

    void aLongListingKeepsEditsDeletesAndSavesAcrossBlocks_data()
    {
        QTest::addColumn<int>("count");
        QTest::newRow("blocks dropped") << 30;
        QTest::newRow("longer than the view's window") << 2000;
    }

    void aLongListingKeepsEditsDeletesAndSavesAcrossBlocks()
    {
        QFETCH(int, count);
        CustomerPageFixture f;
        f.env.store.transaction([&] {
            for (int i = 0; i < count; ++i) {
                addCustomer(f.env.store, QStringLiteral("客%1").arg(i), QStringLiteral("k@a.cn"),
                            QStringLiteral("茶叶"), QStringLiteral("老客户"));
            }
        });
        RecordGrid& grid = f.grid();
        grid.setBlockSize(4, 2); // many blocks, two kept
        f.page.opened();
        QCOMPARE(grid.rows(), count + 1);
        QLineEdit* editor = f.page.gridEditor().box();
        auto* remove = f.child<ClickLabel>(QStringLiteral("Label66"));

        // A stored row takes no typing: the box only shows it, a typed key changes nothing.
        doubleClickCell(grid, 2, 10);
        QVERIFY(editor->isVisible() && editor->isReadOnly());
        QTest::keyClick(editor, Qt::Key_Escape);
        QTest::keyClick(&grid, Qt::Key_5);
        QVERIFY(!editor->isVisible());
        QCOMPARE(grid.text(2, 10), QStringLiteral("老客户"));
        // 修改… (Ctrl+E) writes the change, which stays while its block is dropped and read
        // again.
        f.env.dialogs.execNext([](QDialog& dialog) {
            auto* note = dialog.findChild<QLineEdit*>(QStringLiteral("Text10"));
            note->setText(note->text() + QStringLiteral("改过"));
            click(dialog.findChild<QWidget*>(QStringLiteral("RecordEditorSave")));
            return dialog.result();
        });
        f.page.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f.page));
        grid.setFocus();
        QTest::keyClick(&grid, Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(f.env.rowsOnDisk(QStringLiteral("select 客户简述 from 客户表 where 客户名='客1'")),
                 QList<QStringList>{{QStringLiteral("老客户改过")}});
        clickCell(grid, 29, 1);
        clickCell(grid, 17, 1);
        grid.setFocus();
        QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(&grid, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(grid.cellIndex(2, 10).data().toString(), QStringLiteral("老客户改过"));
        QCOMPARE(grid.text(3, 10), QStringLiteral("老客户"));

        // A row far down is deleted by its key; the rows below move up, also when read again.
        clickCell(grid, 18, 2);
        f.env.dialogs.answerNext(Dialogs::Answer::Yes);
        click(remove);
        QCOMPARE(f.env.countOnDisk(QStringLiteral("客户表")), count - 1);
        QVERIFY(!namesOnDisk(f.env).contains(QStringLiteral("客17/茶叶")));
        QCOMPARE(grid.rows(), count);
        QCOMPARE(grid.text(18, 1), QStringLiteral("客18"));
        clickCell(grid, 1, 1);
        QCOMPARE(grid.text(17, 1), QStringLiteral("客16"));
        QCOMPARE(grid.text(19, 1), QStringLiteral("客19"));
        QCOMPARE(grid.text(count - 1, 1), QStringLiteral("客%1").arg(count - 1));
        QCOMPARE(grid.text(2, 10), QStringLiteral("老客户改过"));

        // Saving writes the last row; deleting that row at once removes the record just saved.
        f.child<QPushButton>(QStringLiteral("Command15"))->click();
        QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("记录已保存。"));
        QCOMPARE(f.env.countOnDisk(QStringLiteral("客户表")), count);
        QCOMPARE(QString::number(grid.rowKey(count - 1)),
                 f.env.rowsOnDisk(QStringLiteral("select max(rowid) from 客户表"))[0][0]);
        f.env.dialogs.answerNext(Dialogs::Answer::Yes);
        click(remove);
        QCOMPARE(f.env.countOnDisk(QStringLiteral("客户表")), count - 1);
        QCOMPARE(grid.rows(), count - 1);
        QVERIFY(namesOnDisk(f.env).contains(QStringLiteral("客%1/茶叶").arg(count - 1)));
    }

    void deleteFindsRowsTheEntryWindowAdded()
    {
        CustomerPageFixture f;
        addCustomer(f.env.store, "张三", "z@a.cn", "茶叶");
        f.page.opened();
        click(f.child<ClickLabel>(QStringLiteral("Label49")));
        CustomerEntryWindow* entry = f.page.entryWindow();
        QVERIFY(entry && entry->isVisible());
        typeText(entry->findChild<QLineEdit*>(QStringLiteral("Text1")), QStringLiteral("赵六"));
        typeText(entry->findChild<QLineEdit*>(QStringLiteral("Text5")), QStringLiteral("扇子"));
        entry->findChild<QLineEdit*>(QStringLiteral("Text4"))->setText(QStringLiteral("2026-12-7"));
        click(entry->findChild<ClickLabel*>(QStringLiteral("Label1")));
        QCOMPARE(f.grid().rows(), 3);
        // The purchase date as typed in the box (the listing reads it back as 2026-12-07); the
        // row is still deleted by what it shows.
        QCOMPARE(f.grid().text(2, 4), QStringLiteral("2026-12-7"));

        // Someone else's record arrives between the two; the grid's row 2 still names 赵六's,
        // reached by the keys from row 1.
        addCustomer(f.env.store, "钱七", "q@a.cn", "笔");
        clickCell(f.grid(), 1, 1);
        QTest::keyClick(&f.grid(), Qt::Key_Down);
        f.env.dialogs.answerNext(Dialogs::Answer::Yes);
        click(f.child<ClickLabel>(QStringLiteral("Label66")));
        QCOMPARE(namesOnDisk(f.env),
                 (QStringList{QStringLiteral("张三/茶叶"), QStringLiteral("钱七/笔")}));

        // A saved row becomes current: a delete right after the save removes what was saved.
        clickCell(f.grid(), 1, 1);
        click(entry->findChild<ClickLabel*>(QStringLiteral("Label1")));
        f.env.dialogs.answerNext(Dialogs::Answer::Yes);
        click(f.child<ClickLabel>(QStringLiteral("Label66")));
        QCOMPARE(namesOnDisk(f.env),
                 (QStringList{QStringLiteral("张三/茶叶"), QStringLiteral("钱七/笔")}));
        f.page.opened();
        QCOMPARE(f.grid().text(1, 4), QStringLiteral("2026-03-05"));
    }

    void clickOnNameShowsAdditionalInformation()
    {
        CustomerPageFixture f;
        addCustomer(f.env.store, "O'Brien", "o@b.ie", "瓷器", nullptr, "喜欢青花瓷");
        addCustomer(f.env.store, "李四", nullptr, "丝绸", nullptr, "不应显示");
        addCustomer(f.env.store, "王五", "w@a.cn", "笔");
        f.page.opened();
        auto* description = f.child<QPlainTextEdit>(QStringLiteral("Text1"));
        RecordGrid& grid = f.grid();

        clickCell(grid, 1, 2); // not the name column
        QCOMPARE(description->toPlainText(), QString());
        clickCell(grid, 1, 1);
        QCOMPARE(description->toPlainText(), QStringLiteral("喜欢青花瓷"));
        // Another customer never shows the text of the one before.
        clickCell(grid, 2, 1); // no e-mail address
        QCOMPARE(description->toPlainText(), QString());
        clickCell(grid, 1, 1);
        clickCell(grid, 3, 1); // no additional information
        QCOMPARE(description->toPlainText(), QString());
        clickCell(grid, 1, 1);
        clickCell(grid, 3, 2);
        QCOMPARE(description->toPlainText(), QString());
        QVERIFY(f.env.dialogs.messages.empty());
        // A megabyte on one line is shown whole (bench_long_text times it).
        const QString line(1024 * 1024, QLatin1Char('x'));
        addCustomer(f.env.store, QStringLiteral("赵六"), QStringLiteral("z@l.cn"),
                    QStringLiteral("茶"), {}, line);
        f.page.opened();
        clickCell(grid, 4, 1);
        QVERIFY(description->toPlainText() == line);
    }

    void pageSaveNeedsEveryCellAndAppendsTheLastRow()
    {
        CustomerPageFixture f;
        addCustomer(f.env.store, "张三", "z@a.cn", "茶叶", "老客户");
        addCustomer(f.env.store, "李四", "l@a.cn", "瓷器");
        f.page.opened();
        auto* save = f.child<QPushButton>(QStringLiteral("Command15"));

        save->click(); // 李四 has no 客户简述
        QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("存在不完整记录，请检查后再保存。"));
        QCOMPARE(f.env.dialogs.messages.back().icon, Dialogs::Icon::None);
        QCOMPARE(f.env.dialogs.messages.back().title, QStringLiteral("提示"));
        QCOMPARE(f.env.countOnDisk(QStringLiteral("客户表")), 2);
        QVERIFY(!QFileInfo::exists(customer_file::directory(f.env.folder())));

        f.grid().setText(2, 10, QStringLiteral("新客户"));
        f.child<QPlainTextEdit>(QStringLiteral("Text1"))
            ->setPlainText(QStringLiteral("第一行\n第二行"));
        save->click();
        QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("记录已保存。"));
        QCOMPARE(f.env.dialogs.messages.back().icon, Dialogs::Icon::Information);
        QCOMPARE(f.env.rowsOnDisk(QStringLiteral("select 客户简述, 区别 from 客户表 where rowid=?"),
                                  {f.grid().rowKey(2)}),
                 (QList<QStringList>{{QStringLiteral("新客户"), QStringLiteral("4")}}));

        QFile file(customer_file::path(f.env.folder(), QStringLiteral("李四")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()), QStringLiteral("第一行\r\n第二行\r\n"));
        QCOMPARE(QFileInfo(file).absolutePath(),
                 QFileInfo(f.env.folder() + QStringLiteral("customers")).absoluteFilePath());
        // Customers' details are readable by the shop's account only.
        constexpr auto kAll = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                              QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                              QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
        QCOMPARE(file.permissions() & kAll, QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(QFile::permissions(QFileInfo(file).absolutePath()) & kAll,
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void descriptionFileNamesStayInTheDirectory()
    {
        const QString folder = QStringLiteral("/srv/shop/");
        const QString dir = QStringLiteral("/srv/shop/customers");
        QCOMPARE(customer_file::directory(QStringLiteral("/srv/shop")),
                 QStringLiteral("/srv/shopcustomers"));
        QCOMPARE(customer_file::directory(folder), dir);
        for (const QString& name :
             {QStringLiteral("../x"), QStringLiteral("a/b"), QStringLiteral(".."),
              QStringLiteral("..\\..\\etc"), QStringLiteral("a\nb\tc"), QStringLiteral("   "),
              QStringLiteral("/"), QString(300, QLatin1Char('x'))}) {
            const QFileInfo info(customer_file::path(folder, name));
            QCOMPARE(info.absolutePath(), dir);
            QVERIFY2(!info.fileName().startsWith(QLatin1Char('.')), qPrintable(name));
            QVERIFY(info.fileName().toUtf8().size() < 255);
        }
        QCOMPARE(customer_file::safeBaseName(QStringLiteral("O'Brien")), QStringLiteral("O'Brien"));
        QCOMPARE(customer_file::safeBaseName(QStringLiteral("张三")), QStringLiteral("张三"));
        QVERIFY(customer_file::safeBaseName(QStringLiteral("a/b")) !=
                customer_file::safeBaseName(QStringLiteral("ab")));

        // Written through the page: the file lands inside the directory, beside nothing else.
        CustomerPageFixture f;
        for (const QString& name : {QStringLiteral("../x"), QStringLiteral("a/b")}) {
            addCustomer(f.env.store, name, QStringLiteral("m@a.cn"), QStringLiteral("茶叶"),
                        QStringLiteral("简述"));
            f.page.opened();
            f.child<QPushButton>(QStringLiteral("Command15"))->click();
            QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("记录已保存。"));
        }
        QStringList written =
            QDir(customer_file::directory(f.env.folder())).entryList(QDir::Files | QDir::Hidden);
        written.sort();
        QCOMPARE(written, (QStringList{QStringLiteral("___x.dll"), QStringLiteral("a_b.dll")}));
        QVERIFY(!QFileInfo::exists(f.env.folder() + QStringLiteral("customers/../x.dll")));
    }

    void descriptionWriteFailureIsReportedAfterTheRecordIsSaved()
    {
        CustomerPageFixture f;
        addCustomer(f.env.store, "张三", "z@a.cn", "茶叶", "老客户");
        // A plain file where the directory should be.
        QFile blocker(customer_file::directory(f.env.folder()));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        f.page.opened();
        f.child<QPushButton>(QStringLiteral("Command15"))->click();
        QCOMPARE(f.env.countOnDisk(QStringLiteral("客户表")), 2);
        QCOMPARE(f.env.dialogs.texts().size(), 2);
        QCOMPARE(f.env.dialogs.texts()[0], QStringLiteral("记录已保存。"));
        QVERIFY(f.env.dialogs.lastText().contains(QStringLiteral("客户描述")));
        QCOMPARE(f.env.dialogs.messages.back().icon, Dialogs::Icon::Warning);
        QFile::remove(blocker.fileName());
    }

    // 修改… from the grid's menu opens the purchase in the entry window's boxes, with their
    // checks and aids; 保存 rewrites it by its key (区别 kept) and the row shows what is stored.
    void editCorrectsTheSelectedPurchaseInPlace()
    {
        CustomerPageFixture f;
        addCustomer(f.env.store, "张三", "z@a.cn", "茶叶", "老客户", "喜欢绿茶");
        addCustomer(f.env.store, "李四", nullptr, "瓷器");
        f.page.opened();
        RecordGrid& grid = f.grid();
        clickCell(grid, 1, 2);
        bool calendarOpened = false;
        f.env.dialogs.execNext([&](QDialog& dialog) {
            const auto box = [&dialog](const char* name) {
                return dialog.findChild<QLineEdit*>(QLatin1String(name));
            };
            if (box("Text1")->text() != QStringLiteral("张三") ||
                dialog.findChild<QPlainTextEdit*>(QStringLiteral("Text12"))->toPlainText() !=
                    QStringLiteral("喜欢绿茶")) {
                return int(QDialog::Rejected);
            }
            typeText(box("Text6"), QStringLiteral("a")); // emptied, as in the entry window
            if (!box("Text6")->text().isEmpty()) {
                return int(QDialog::Rejected);
            }
            typeText(box("Text6"), QStringLiteral("1,234.5"));
            dialog.show();
            grabTo(&dialog, QStringLiteral("record_editor_customer"));
            click(box("Text4"));
            calendarOpened = f.env.inputAids.isCalendarOpen();
            f.env.inputAids.writeDate(aid::EditorDate, QStringLiteral("2026-12-8"));
            box("Text10")->clear();
            dialog.findChild<QPlainTextEdit*>(QStringLiteral("Text12"))
                ->setPlainText(QStringLiteral("改喝红茶"));
            click(dialog.findChild<QWidget*>(QStringLiteral("RecordEditorSave")));
            return dialog.result();
        });
        grid.findChild<QAction*>(QStringLiteral("editRecord"))->trigger();
        QVERIFY(calendarOpened);
        QVERIFY(!f.env.inputAids.isCalendarOpen());
        QCOMPARE(f.env.dialogs.texts(), QStringList());
        QCOMPARE(
            f.env.rowsOnDisk(QStringLiteral("select 购买日期, 商品单价, 客户简述 is null, 区别, "
                                            "附加信息 from 客户表 order by rowid")),
            (QList<QStringList>{split("2026-12-08|1234.5|1|0|改喝红茶"),
                                split("2026-03-05|12.5|1|0|")}));
        QCOMPARE(rowTexts(grid, 1),
                 split("张三|北京市海淀区|z@a.cn|2026-12-08|茶叶|1234.5|2|25|红色||无"));
        QCOMPARE(grid.text(2, 1), QStringLiteral("李四"));
    }

    void operatorTypesANewPurchaseIntoTheGrid()
    {
        CustomerPageFixture f;
        f.page.opened();
        RecordGrid& grid = f.grid();
        QLineEdit* editor = f.page.gridEditor().box();

        doubleClickCell(grid, 1, 1);
        QVERIFY(editor->isVisible());
        typeText(editor, QStringLiteral("不要"));
        QTest::keyClick(editor, Qt::Key_Escape);
        QVERIFY(!editor->isVisible());
        QCOMPARE(grid.text(1, 1), QString());

        const QStringList values =
            QStringLiteral("周八|上海|z@b.cn|2026-12-7|茶杯|8|3|24|白色|新客|包邮").split(u'|');
        doubleClickCell(grid, 1, 1);
        for (const QString& value : values) {
            QVERIFY(editor->isVisible());
            QCOMPARE(grid.col(), values.indexOf(value) + 1);
            typeText(editor, value);
            QTest::keyClick(editor, Qt::Key_Return);
        }
        QVERIFY(!editor->isVisible());
        QCOMPARE(rowTexts(grid, 1), values);

        // Typing on a cell replaces it; clicking 保存 keeps what was typed.
        clickCell(grid, 1, 7);
        QTest::keyClick(&grid, Qt::Key_5);
        QVERIFY(editor->isVisible());
        QCOMPARE(editor->text(), QStringLiteral("5"));
        grabTo(&f.page, QStringLiteral("customer_page_editing"));
        f.child<QPushButton>(QStringLiteral("Command15"))->click();
        QCOMPARE(f.env.dialogs.lastText(), QStringLiteral("记录已保存。"));
        QCOMPARE(
            f.env.rowsOnDisk(QStringLiteral("select 客户名, 购买日期, 商品数量, 区别 from 客户表")),
            (QList<QStringList>{{QStringLiteral("周八"), QStringLiteral("2026-12-07"),
                                 QStringLiteral("5"), QStringLiteral("2")}}));
    }

    void badGridValueIsRefusedAndNothingIsWritten()
    {
        CustomerPageFixture f;
        f.page.opened();
        RecordGrid& grid = f.grid();
        for (int c = 1; c <= 11; ++c) {
            grid.setText(1, c, QStringLiteral("x"));
        }
        f.child<QPushButton>(QStringLiteral("Command15"))->click();
        QCOMPARE(f.env.dialogs.messages.size(), size_t{1});
        QVERIFY(f.env.dialogs.lastText() != QStringLiteral("记录已保存。"));
        QCOMPARE(f.env.countOnDisk(QStringLiteral("客户表")), 0);
        QVERIFY(!QFileInfo::exists(customer_file::directory(f.env.folder())));
    }

    void entryWindowOpensOverTheGridAndClosesWithFind()
    {
        CustomerPageFixture f;
        addCustomer(f.env.store, "张三", "z@a.cn", "茶叶", "老客户");
        f.page.opened();
        click(f.child<ClickLabel>(QStringLiteral("Label49")));
        CustomerEntryWindow* entry = f.page.entryWindow();
        QVERIFY(entry->isVisible());
        QCOMPARE(entry->objectName(), QStringLiteral("Form3"));
        RecordGrid& grid = f.grid();
        QCOMPARE(entry->pos(), grid.mapToGlobal(QPoint(287, 53))); // 861 / 3 px, 800 twips down
        f.page.loadNormalPictures();
        grabTo(&f.page, QStringLiteral("customer_page"));
        grabTo(entry, QStringLiteral("customer_entry_window"));

        f.env.dialogs.inputNext(QStringLiteral("张三"));
        click(f.child<ClickLabel>(QStringLiteral("Label11")));
        QVERIFY(!entry->isVisible());

        click(f.child<ClickLabel>(QStringLiteral("Label49")));
        QVERIFY(f.page.entryWindow()->isVisible());
        f.page.closeWindows();
        QVERIFY(!f.page.entryWindow()->isVisible());
    }

    void mainWindowShowsThePageAndClosesTheEntryWindow()
    {
        TestEnv env;
        addCustomer(env.store, "张三", "z@a.cn", "茶叶", "老客户");
        auto* window = new MainWindow(env.context);
        QPointer<MainWindow> alive(window);
        window->show();
        window->load();
        click(window->findChild<ClickLabel*>(QStringLiteral("Label17")));
        auto* page = window->findChild<CustomerPage*>(QStringLiteral("Frame1"));
        QVERIFY(page && page->isVisible());
        QCOMPARE(page->findChild<RecordGrid*>(QStringLiteral("MS1"))->text(1, 5),
                 QStringLiteral("茶叶"));
        click(page->findChild<ClickLabel*>(QStringLiteral("Label49")));
        QPointer<CustomerEntryWindow> entry = page->entryWindow();
        QVERIFY(entry->isVisible());
        grabTo(window, QStringLiteral("customer_page_in_main_window"));
        window->close();
        QVERIFY(entry.isNull() || !entry->isVisible());
        QTRY_VERIFY(alive.isNull());
        QDir(customer_file::directory(env.folder())).removeRecursively();
    }
};

QTEST_MAIN(TestCustomerPage)
#include "test_customer_page.moc"
