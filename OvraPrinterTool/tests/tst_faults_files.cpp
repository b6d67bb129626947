// The tray's file readers over printer list files and status files that are cut,
// empty or garbage: the device-list worker lists what the file still holds and
// comes back with a whole file; a status reader keeps the last good state for ten
// failed reads in a row, whether the damaged file stays as it is or is damaged anew
// at every read, shows "Offline" at the eleventh, and decodes the next whole file.
#include "damagedfiles.h"
#include "ovrapaths.h"
#include "sharedprinterlist.h"
#include "printerfiles.h"
#include "trddevicemanage.h"
#include "trdgetprinterstatus.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

// A new modification time for every rewrite, however fast the rewrites come.
void Touch(const QString& path, int iSecond)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(iSecond), QFileDevice::FileModificationTime));
}

QStringList SharedNames(const SharedPrinterList& list)
{
    QStringList names;
    for (const stPrinterInfo& info : list.Infos())
        names << info.strName;
    return names;
}

} // namespace

class TestTrayFaultsFiles : public QObject
{
    Q_OBJECT
    SharedPrinterList m_list;

    stPrinterState Shared()
    {
        stPrinterManager entry;
        m_list.CopyEntry(0, entry);
        return entry.stState;
    }

private slots:
    void damagedListFile_data() { AddDamagedListRows(); }

    void damagedListFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, names);
        PrinterFiles files;
        QDir().mkpath(OvraPaths::CfgDir());
        m_list.Replace({});
        TrdDeviceManage manager;
        manager.Init(&m_list);
        QSignalSpy updates(&manager, &TrdDeviceManage::SgnUpdatePrinterList);
        // Each version with a modification time of its own, as readers tell versions apart by it.
        const QString path = OvraPaths::PrinterListFile();
        WriteBytes(path, WholeListFile());
        QVERIFY(manager.RunPass());
        QCOMPARE(SharedNames(m_list), QStringList({"desk", "hall"}));

        WriteBytes(path, bytes);
        Touch(path, 1);
        QVERIFY(manager.RunPass()); // the set of printers changed: the window is told
        QCOMPARE(SharedNames(m_list), names);
        for (const stPrinterManager& entry : m_list.Snapshot())
            QCOMPARE(entry.stState.enCurrentStatus, int(en_Status_Offline));

        WriteBytes(path, WholeListFile());
        Touch(path, 2);
        QVERIFY(manager.RunPass());
        QCOMPARE(SharedNames(m_list), QStringList({"desk", "hall"}));
        QCOMPARE(updates.size(), 3);
    }

    void damagedStatusFile_data()
    {
        const std::vector<uint8_t> body = ovraemu::BuildStatusBody(PrinterState(0x00, 7300, {}, {0x110D}));
        AddDamagedStatusRows(QByteArray(7, '\0')
                             + QByteArray(reinterpret_cast<const char*>(body.data()), int(body.size())));
    }

    void damagedStatusFile()
    {
        QFETCH(QByteArray, bytes);
        PrinterFiles files;
        m_list.Replace(TrdDeviceManage::GetInitPrinterList({PrinterFiles::Usb("desk", "DESK000001")}));
        TrdGetPrinterStatus worker;
        worker.Init(0, &m_list);
        QSignalSpy updates(&worker, &TrdGetPrinterStatus::SgnUpdatePrinterStatus);
        files.WriteStatus("desk", PrinterState(0x00, 7300, {}, {0x110D}));
        QVERIFY(worker.RunCycle());
        const stPrinterState good = Shared();
        QCOMPARE(good.enCurrentStatus, int(en_Status_Ready));
        QCOMPARE(good.dwRemainingToner, quint64(7300));
        QCOMPARE(updates.size(), 1);

        // Damaged once and left so, then damaged anew at every read: each time ten
        // failed reads keep the state, the eleventh is "Offline".
        const QString path = OvraPaths::StatusFile("desk");
        for (bool bAnew : {false, true}) {
            WriteBytes(path, bytes);
            Touch(path, bAnew ? 100 : 1);
            for (int i = 0; i < 11; ++i) {
                QCOMPARE(Shared().enCurrentStatus, int(en_Status_Ready));
                QCOMPARE(Shared().dwRemainingToner, quint64(7300));
                QCOMPARE(Shared().listWarningStatus, good.listWarningStatus);
                if (bAnew && i > 0) {
                    WriteBytes(path, bytes);
                    Touch(path, 100 + i);
                }
                QVERIFY(worker.RunCycle());
            }
            QCOMPARE(Shared().enCurrentStatus, int(en_Status_Offline));
            QVERIFY(Shared().listWarningStatus.isEmpty());
            QCOMPARE(updates.size(), bAnew ? 4 : 2);
            if (!bAnew) {
                files.WriteStatus("desk", PrinterState(0x00, 7300, {}, {0x110D}));
                Touch(path, 50);
                QVERIFY(worker.RunCycle());
                QCOMPARE(Shared().enCurrentStatus, int(en_Status_Ready));
                QCOMPARE(updates.size(), 3);
            }
        }

        files.WriteStatus("desk", PrinterState(0x10, 7200));
        QVERIFY(worker.RunCycle());
        QCOMPARE(Shared().enCurrentStatus, int(en_Status_Printing));
        QCOMPARE(Shared().dwRemainingToner, quint64(7200));
    }
};

QTEST_GUILESS_MAIN(TestTrayFaultsFiles)
#include "tst_faults_files.moc"
