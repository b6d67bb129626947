// The files the print service writes have their modes whatever umask it was started
// with (here the most open one, 0): the printer list, the status files, the heartbeat
// and the log are readable by everyone and writable by the service only; the scratch
// file of a command's output (its "ps" listing) is the service's alone, so nobody slips
// lines into it.
// The log is never written through a link put in its place.
#include "commandrunner.h"
#include "ovralog.h"
#include "ovrapaths.h"
#include "ovraprogram.h"
#include "printerinfo.h"
#include "sharedprinterlist.h"
#include "trddevicemanage.h"
#include "trdgetprinterstatus.h"
#include "installroot.h"

#include <QtTest>

#include <sys/stat.h>

namespace {

int ModeOf(const QString& path)
{
    struct stat info;
    return lstat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

} // namespace

class TestFileModes : public QObject
{
    Q_OBJECT
    TestInstallRoot m_root{"filemodes"};
    mode_t m_oldMask = 0;

private slots:
    void initTestCase()
    {
        SetOvraProgram(en_Program_PrintService);
        m_oldMask = umask(0);
    }

    void cleanupTestCase() { umask(m_oldMask); }

    void printerListIsReadOnlyForOthers()
    {
        stPrinterInfo info;
        info.strName = "q";
        QVERIFY(SavePrinterInfo({info}, true));
        QCOMPARE(ModeOf(OvraPaths::PrinterListFile()), 0644);
    }

    void statusFilesAreReadOnlyForOthers()
    {
        SharedPrinterList list;
        stPrinterManager entry;
        entry.stInfo.strName = "q";
        list.Replace({entry});
        TrdGetPrinterStatus worker;
        worker.Init(0, &list);
        worker.stCurrent = entry;
        const unsigned char first[] = {0x1B, 0x01, 0x02};
        const unsigned char second[] = {0x1B, 0x03, 0x04, 0x05};
        worker.CheckPrinterStatus(first, int(sizeof(first)));
        QCOMPARE(ModeOf(OvraPaths::StatusFile("q")), 0644);
        worker.CheckPrinterStatus(second, int(sizeof(second))); // rewritten
        QCOMPARE(ModeOf(OvraPaths::StatusFile("q")), 0644);
    }

    void heartbeatIsReadOnlyForOthers()
    {
        TrdDeviceManage manager;
        manager.WriteHeartbeat();
        QCOMPARE(ModeOf(OvraPaths::HeartbeatFile()), 0644);
    }

    void scratchFilesAreTheServicesOwn()
    {
        const QString scratch = OvraPaths::TempDir() + "ps.tmp";
        QVERIFY(QDir().mkpath(OvraPaths::TempDir()));
        QCOMPARE(RunCommandToFile("echo", {"job"}, scratch), 0);
        QCOMPARE(ModeOf(scratch), 0600);
        QFile file(scratch);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("job\n"));
    }

    void logIsReadOnlyForOthers()
    {
        SetLogEnable(true);
        const QString log = CurrentLogFileName();
        // A link put where the log goes is not followed.
        const QString target = m_root.QFilePath("target");
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(QDir().mkpath(QFileInfo(log).path()) && QFile::link(target, log));
        OVRA_LOG("through the link");
        QCOMPARE(QFileInfo(target).size(), 0);
        QVERIFY(QFile::remove(log));
        OVRA_LOG("a line");
        SetLogEnable(false);
        QVERIFY(QFileInfo(log).size() > 0);
        QCOMPARE(ModeOf(log), 0644);
    }
};

QTEST_GUILESS_MAIN(TestFileModes)
#include "tst_filemodes.moc"
