#include "platform/log_file.h"
#include "platform/platform_log.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace khgl;

class TestLogFile final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The log stays small and private: a full file moves aside once, the owner alone reads it
    // (also one an earlier version left readable by all), debug lines stay out, and nothing is
    // written once the program has let it go.
    void keepsTwoSmallPrivateFiles_data()
    {
        QTest::addColumn<bool>("leftReadable");
        QTest::newRow("new") << false;
        QTest::newRow("left_0644") << true;
    }

    void keepsTwoSmallPrivateFiles()
    {
        QFETCH(bool, leftReadable);
        QTemporaryDir dir;
        const QString path = dir.filePath(LogFile::fileName());
        const auto readable =
            QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
        for (const QString& left : QStringList{path, path + QStringLiteral(".1")}) {
            QFile file(left);
            if (leftReadable) {
                QVERIFY(file.open(QIODevice::WriteOnly, readable));
                file.write(QByteArray(4000, 'x') + '\n'); // rotated at the first line
                QVERIFY(file.setPermissions(readable));   // whatever the umask
            }
        }
        {
            const LogFile log(dir.path(), 4096);
            qCWarning(platformLog) << "first";
            QCOMPARE(QFile(path + QStringLiteral(".1")).exists(), leftReadable);
            QCOMPARE(QFile(path).permissions() & readable, QFile::ReadOwner | QFile::WriteOwner);
            QCOMPARE(QFile(path + QStringLiteral(".1")).permissions() & readable,
                     leftReadable ? QFile::ReadOwner | QFile::WriteOwner : QFile::Permissions());
            for (int i = 0; i < 200; ++i) {
                qCWarning(platformLog) << "line" << i << "of a\nsecond row";
            }
            qCDebug(platformLog) << "debug";
        }
        QVERIFY(QFile::exists(path + QStringLiteral(".1")));
        QVERIFY(QFile(path).size() <= 4096);
        for (const QString& file : QStringList{path, path + QStringLiteral(".1")}) {
            QCOMPARE(QFile(file).permissions() & (QFile::ReadGroup | QFile::ReadOther),
                     QFile::Permissions());
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.endsWith("warning khgl.platform: line 199 of a\n    second row\n"));
        const qint64 size = QFile(path).size();
        qCWarning(platformLog) << "after";
        QCOMPARE(QFile(path).size(), size);
    }
};

QTEST_GUILESS_MAIN(TestLogFile)
#include "test_log_file.moc"
