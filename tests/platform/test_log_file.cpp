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
    // The log stays small and private: a full file moves aside once, the owner alone reads it,
    // debug lines stay out, and nothing is written once the program has let it go.
    void keepsTwoSmallPrivateFiles()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(LogFile::fileName());
        {
            const LogFile log(dir.path(), 4096);
            for (int i = 0; i < 200; ++i) {
                qCWarning(platformLog) << "line" << i << "of a\nsecond row";
            }
            qCDebug(platformLog) << "debug";
        }
        QVERIFY(QFile::exists(path + QStringLiteral(".1")));
        QVERIFY(QFile(path).size() <= 4096);
        QCOMPARE(QFile(path).permissions() & (QFile::ReadGroup | QFile::ReadOther),
                 QFile::Permissions());
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
