// The process-wide log, in a temporary install root.
#include "ovralog.h"
#include "ovrapaths.h"
#include "ovraprogram.h"
#include "installroot.h"

#include <QtTest>

#include <atomic>
#include <thread>
#include <vector>

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList FilesIn(const QString& dir) { return QDir(dir).entryList(QDir::Files, QDir::Name); }

} // namespace

class TestOvraLog : public QObject
{
    Q_OBJECT
    QScopedPointer<TestInstallRoot> m_root;

private slots:
    void init()
    {
        m_root.reset(new TestInstallRoot("ovralog"));
        SetOvraProgram(en_Program_PrintService);
    }
    void cleanup() { SetLogEnable(false); }

    void disabledLogTouchesNothing()
    {
        QVERIFY(!IsLogEnabled());
        OVRA_LOG("nothing %d", 1);
        WriteStringLog("x.cpp", 1, "f", "plain");
        QVERIFY(QDir(m_root->QPath()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
    }

    void switchedOnOnlyByTheDebugVariable()
    {
        for (const char* value : {"", "0", "yes"}) {
            qputenv("OVRA_DEBUG_LOG", value);
            QVERIFY2(!EnableLogOnRequest() && !IsLogEnabled(), value);
        }
        qputenv("OVRA_DEBUG_LOG", "1");
        QVERIFY(EnableLogOnRequest());
        qunsetenv("OVRA_DEBUG_LOG");
        OVRA_LOG("Start service, enable log");
        QCOMPARE(FilesIn(OvraPaths::LogDir()).size(), 1);
    }

    void lineLayout()
    {
        const QDateTime before = QDateTime::currentDateTime();
        SetLogEnable(true);
        WriteStringLog("main.cpp", 20, "main", "Start service, enable log");
        OVRA_LOG("connect %s fail, ret = %d", "Office", -5);
        const QStringList files = FilesIn(OvraPaths::LogDir());
        QCOMPARE(files.size(), 1);
        QVERIFY(QRegExp("log_srv_\\d{8}_\\d{6}_0\\.log").exactMatch(files.at(0)));
        const QString after = "log_srv" + QDateTime::currentDateTime().toString("_yyyyMMdd_hhmmss_") + "0.log";
        QVERIFY(files.at(0) == "log_srv" + before.toString("_yyyyMMdd_hhmmss_") + "0.log" || files.at(0) == after);
        const QList<QByteArray> lines = ReadAll(OvraPaths::LogDir() + files.at(0)).split('\n');
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines.at(2).isEmpty());
        QRegExp first("\\[\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\] \\(main\\.cpp@20 main\\) Start "
                      "service, enable log");
        QVERIFY2(first.exactMatch(QString(lines.at(0))), lines.at(0).constData());
        QVERIFY2(lines.at(1).contains("(printersupport/tests/tst_ovralog.cpp@"), lines.at(1).constData());
        QVERIFY(lines.at(1).endsWith(" lineLayout) connect Office fail, ret = -5"));
    }

    void percentInAPlainMessageStaysText()
    {
        SetLogEnable(true);
        WriteStringLog("a.cpp", 1, "f", "100% %s %n");
        QVERIFY(ReadAll(CurrentLogFileName()).endsWith(") 100% %s %n\n"));
    }

    void longMessageIsCut()
    {
        SetLogEnable(true);
        const QByteArray longText(3000, 'x');
        OVRA_LOG("%s", longText.constData());
        const QByteArray content = ReadAll(CurrentLogFileName());
        QVERIFY(content.endsWith(") " + QByteArray(1023, 'x') + "\n"));
    }

    void perProgramFolders_data()
    {
        QTest::addColumn<int>("program");
        QTest::addColumn<QString>("dir");
        QTest::addColumn<QString>("prefix");
        QTest::newRow("service") << int(en_Program_PrintService) << "log/"
                                 << "log_srv";
        QTest::newRow("tray") << int(en_Program_PrinterTool) << "tool/"
                              << "log_tool";
        QTest::newRow("settings") << int(en_Program_PrintSetting) << "tool/"
                                  << "log_nettool";
        QTest::newRow("firmware") << int(en_Program_FWUpdate) << "log/"
                                  << "log_fwupdate";
    }
    void perProgramFolders()
    {
        QFETCH(int, program);
        QFETCH(QString, dir);
        QFETCH(QString, prefix);
        SetOvraProgram(enOvraProgram(program));
        SetLogEnable(true);
        OVRA_LOG("hello");
        const QStringList files = FilesIn(m_root->QFilePath(dir));
        QCOMPARE(files.size(), 1);
        QVERIFY(files.at(0).startsWith(prefix + "_"));
        QVERIFY(files.at(0).endsWith("_0.log"));
    }

    void rollsOverPastOneMiB()
    {
        SetLogEnable(true);
        const QString first = CurrentLogFileName();
        QVERIFY(first.endsWith("_0.log"));
        {
            QFile file(first);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(1048576, 'a')); // exactly 1 MiB: not yet full
        }
        OVRA_LOG("still here");
        QCOMPARE(CurrentLogFileName(), first);
        QVERIFY(QFileInfo(first).size() > 1048576);
        OVRA_LOG("next file");
        const QString second = CurrentLogFileName();
        QVERIFY(second.endsWith("_1.log"));
        QVERIFY(ReadAll(second).endsWith(") next file\n"));
        QVERIFY(ReadAll(first).endsWith(") still here\n"));
        QCOMPARE(FilesIn(OvraPaths::LogDir()).size(), 2);
    }

    void disableThenReenableInTheSameSecondAppends()
    {
        SetLogEnable(true);
        OVRA_LOG("one");
        const QString first = CurrentLogFileName();
        SetLogEnable(false);
        QVERIFY(CurrentLogFileName().isNull());
        OVRA_LOG("dropped");
        SetLogEnable(true);
        OVRA_LOG("two");
        if (CurrentLogFileName() != first)
            QSKIP("the clock crossed a second between the two enables");
        const QByteArray content = ReadAll(first);
        QVERIFY(content.contains(") one\n"));
        QVERIFY(content.contains(") two\n"));
        QVERIFY(!content.contains("dropped"));
    }

    void threadsNeverInterleave()
    {
        SetLogEnable(true);
        QList<QThread*> threads;
        for (int t = 0; t < 4; ++t) {
            threads << QThread::create([t] {
                for (int i = 0; i < 200; ++i)
                    OVRA_LOG("thread %d line %d %s", t, i, "payload-payload-payload");
            });
            threads.last()->start();
        }
        for (QThread* thread : threads) {
            thread->wait();
            delete thread;
        }
        const QList<QByteArray> lines = ReadAll(CurrentLogFileName()).split('\n');
        QCOMPARE(lines.size(), 801);
        for (int i = 0; i < 800; ++i)
            QVERIFY(lines.at(i).endsWith("payload-payload-payload") && lines.at(i).startsWith("["));
    }

    // The log switched off and on again while other threads write to it: every line that
    // reaches a file is whole.
    void switchingWhileThreadsWrite()
    {
        SetLogEnable(true);
        std::atomic<bool> bStop{false};
        std::vector<std::thread> threads;
        for (int t = 0; t < 2; ++t) {
            threads.emplace_back([t, &bStop] {
                for (int i = 0; !bStop; ++i)
                    OVRA_LOG("thread %d line %d %s", t, i, "payload-payload-payload");
            });
        }
        for (int i = 0; i < 50; ++i) {
            SetLogEnable(i % 2 == 1);
            QThread::msleep(2);
        }
        SetLogEnable(true);
        bStop = true;
        for (std::thread& thread : threads)
            thread.join();
        const QStringList files = FilesIn(OvraPaths::LogDir());
        QVERIFY(!files.isEmpty());
        for (const QString& name : files) {
            const QList<QByteArray> lines = ReadAll(QDir(OvraPaths::LogDir()).filePath(name)).split('\n');
            for (int i = 0; i + 1 < lines.size(); ++i)
                QVERIFY(lines.at(i).endsWith("payload-payload-payload") && lines.at(i).startsWith("["));
        }
    }

    void unwritableFolderLosesLinesQuietly()
    {
        SetLogEnable(true);
        QVERIFY(QDir(OvraPaths::LogDir()).removeRecursively());
        QFile blocker(m_root->QFilePath("log"));
        QVERIFY(blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
        OVRA_LOG("lost");
        QCOMPARE(QFileInfo(m_root->QFilePath("log")).size(), qint64(0));
    }
};

QTEST_GUILESS_MAIN(TestOvraLog)
#include "tst_ovralog.moc"
