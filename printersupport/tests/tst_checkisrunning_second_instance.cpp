// The single-instance check against the real process table. The binary's name is
// longer than the 15 characters the kernel keeps, so the cut is exercised too.
#include "checkisrunning.h"
#include "ovrapaths.h"
#include "ovraprogram.h"
#include "installroot.h"

#include <QProcess>
#include <QtTest>

#include <unistd.h>

class TestCheckIsRunning : public QObject
{
    Q_OBJECT
    TestInstallRoot m_root{"instance"};

    // Another process of this very program, doing nothing for a while; run by the
    // user "nobody" when asked.
    void StartTwin(QProcess& twin, bool bOtherUser = false)
    {
        if (bOtherUser)
            twin.start("setpriv", QStringList()
                                      << "--reuid=65534"
                                      << "--regid=65534"
                                      << "--clear-groups" << QCoreApplication::applicationFilePath() << "--idle");
        else
            twin.start(QCoreApplication::applicationFilePath(), QStringList() << "--idle");
        QVERIFY(twin.waitForStarted());
        QTest::qWait(200);
    }

private slots:
    void initTestCase() { QVERIFY(QCoreApplication::applicationName().size() > 15); }

    void countsProcessLines()
    {
        const QString listing = "    PID TTY          TIME CMD\n"
                                "      1 ?        00:00:01 systemd\n"
                                "    812 ?        00:00:00 OvraPrintServic\n"
                                "    813 pts/0    00:00:00 OvraPrintServic\n"
                                "    900 pts/0    00:00:00 ovraprintservic\n" // filtered out before the compare
                                "    901 pts/0    00:00:00 xOvraPrintServic\n"
                                "    902 pts/0    00:00:00 OvraPrintServic-x\n"
                                "OvraPrintServic\n";
        QCOMPARE(CountProcessLines(listing, "OvraPrintServic"), 2);
        QCOMPARE(CountProcessLines(QString(), "OvraPrintServic"), 0);
    }

    void aloneIsNotRunning_data()
    {
        QTest::addColumn<int>("program");
        QTest::newRow("service") << int(en_Program_PrintService);
        QTest::newRow("tray") << int(en_Program_PrinterTool);
    }
    void aloneIsNotRunning()
    {
        QFETCH(int, program);
        SetOvraProgram(enOvraProgram(program));
        QVERIFY(!CheckIsRunning());
        // The scratch files are gone afterwards.
        QVERIFY(!QFile::exists(OvraPaths::ToolDir() + "pslist.tmp"));
        QCOMPARE(QDir(OvraPaths::TempDir()).entryList(QDir::Files).size(), 0);
    }

    // The service is one per machine, the tray one per user.
    void aSecondProcessIsSeen_data()
    {
        QTest::addColumn<int>("program");
        QTest::addColumn<bool>("otherUser");
        QTest::addColumn<bool>("seen");
        QTest::newRow("service") << int(en_Program_PrintService) << false << true;
        QTest::newRow("tray") << int(en_Program_PrinterTool) << false << true;
        QTest::newRow("service, another user's") << int(en_Program_PrintService) << true << true;
        QTest::newRow("tray, another user's") << int(en_Program_PrinterTool) << true << false;
    }
    void aSecondProcessIsSeen()
    {
        QFETCH(int, program);
        QFETCH(bool, otherUser);
        QFETCH(bool, seen);
        if (otherUser && geteuid() != 0)
            QSKIP("another user's process needs root");
        SetOvraProgram(enOvraProgram(program));
        QProcess twin;
        StartTwin(twin, otherUser);
        QCOMPARE(CheckIsRunning(), seen);
        twin.kill();
        twin.waitForFinished();
        QVERIFY(!CheckIsRunning());
    }

    void trayWritesNothingInItsSharedFolder()
    {
        // Another user plants a link where a fixed scratch file would be written.
        SetOvraProgram(en_Program_PrinterTool);
        QVERIFY(QDir().mkpath(OvraPaths::ToolDir()));
        QFile victim(m_root.QFilePath("victim"));
        QVERIFY(victim.open(QIODevice::WriteOnly));
        victim.write("keep me");
        victim.close();
        QVERIFY(QFile::link(victim.fileName(), OvraPaths::ToolDir() + "pslist.tmp"));
        QProcess twin;
        StartTwin(twin);
        QVERIFY(CheckIsRunning());
        twin.kill();
        twin.waitForFinished();
        QVERIFY(victim.open(QIODevice::ReadOnly));
        QCOMPARE(victim.readAll(), QByteArray("keep me"));
        QVERIFY(QFileInfo(OvraPaths::ToolDir() + "pslist.tmp").isSymLink());
        QCOMPARE(QDir(OvraPaths::ToolDir()).entryList(QDir::Files | QDir::System).size(), 1);
    }

    void nameCaseMatters()
    {
        // "ps -A | grep name" keeps only lines holding the name as it is written.
        SetOvraProgram(en_Program_PrintService);
        const QString name = QCoreApplication::applicationName();
        QProcess twin;
        StartTwin(twin);
        QCoreApplication::setApplicationName(name.toUpper());
        const bool bRunning = CheckIsRunning();
        QCoreApplication::setApplicationName(name);
        twin.kill();
        twin.waitForFinished();
        QVERIFY(!bRunning);
    }
};

int main(int argc, char** argv)
{
    if (argc > 1 && QByteArray(argv[1]) == "--idle") {
        QThread::sleep(20);
        return 0;
    }
    QCoreApplication app(argc, argv);
    TestCheckIsRunning test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_checkisrunning_second_instance.moc"
