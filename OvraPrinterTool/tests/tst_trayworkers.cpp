// The tray's file readers: list changes, status reads, the failure rule and the job
// cancel a printer's "Canceling task" triggers.
#include "sharedprinterlist.h"
#include "printerfiles.h"
#include "trddevicemanage.h"
#include "trdgetprinterstatus.h"

#include <QSignalSpy>
#include <QtTest>

class TestTrayWorkers : public QObject
{
    Q_OBJECT
    SharedPrinterList m_list;

    void Worker(TrdGetPrinterStatus& worker) { worker.Init(0, &m_list); }

    int SharedStatus()
    {
        stPrinterManager entry;
        return m_list.CopyEntry(0, entry) ? entry.stState.enCurrentStatus : -1;
    }

private slots:
    void listChangesByNameAndPort()
    {
        PrinterFiles files;
        m_list.Replace({});
        TrdDeviceManage manager;
        manager.Init(&m_list);
        QSignalSpy updates(&manager, &TrdDeviceManage::SgnUpdatePrinterList);
        QVERIFY(!manager.RunPass()); // no file, empty list: nothing to tell
        files.WriteList({PrinterFiles::Usb("a", "1"), PrinterFiles::Network("b", "10.0.0.2")});
        QVERIFY(manager.RunPass());
        QCOMPARE(updates.size(), 1);
        QCOMPARE(m_list.Size(), 2);
        stPrinterInfo changedModel = PrinterFiles::Network("b", "10.0.0.2");
        changedModel.enType = "Ovra C5100";
        changedModel.strURI = "socket://10.0.0.2:9101";
        files.WriteList({PrinterFiles::Usb("a", "1"), changedModel});
        QVERIFY(!manager.RunPass()); // model, URI: no change
        files.WriteList({PrinterFiles::Usb("a", "1"), PrinterFiles::Network("b", "10.0.0.3")});
        QVERIFY(manager.RunPass()); // a new port is
        QCOMPARE(updates.size(), 2);
    }

    void readsOnChangeAndGoesOfflineAtTheEleventhFailure()
    {
        PrinterFiles files;
        m_list.Replace(TrdDeviceManage::GetInitPrinterList({PrinterFiles::Usb("p", "1")}));
        TrdGetPrinterStatus worker;
        Worker(worker);
        QSignalSpy updates(&worker, &TrdGetPrinterStatus::SgnUpdatePrinterStatus);

        files.WriteStatus("p", PrinterState(0x00, 5000, {}, {0x110D}));
        QVERIFY(worker.RunCycle());
        QCOMPARE(SharedStatus(), int(en_Status_Ready));
        QCOMPARE(updates.size(), 1);
        QCOMPARE(updates.first().at(0).toInt(), 0);

        QCOMPARE(worker.GetPrinterStatusFile("p", false), 1); // same modification time: nothing new
        QVERIFY(worker.RunCycle());
        QCOMPARE(updates.size(), 1);

        // Only the page counters change: the entry is updated, the window is not told.
        ovraemu::EmuPrinterState counters = PrinterState(0x00, 5000, {}, {0x110D});
        counters.SetCounter(0x1101, 777);
        QTest::qWait(20);
        files.WriteStatus("p", counters);
        QVERIFY(worker.RunCycle());
        QCOMPARE(updates.size(), 1);
        stPrinterManager entry;
        QVERIFY(m_list.CopyEntry(0, entry));
        QCOMPARE(entry.stState.dwPrinterNumOfPages, quint64(777));

        // Gone: ten failures keep "Ready", the eleventh shows "Offline".
        files.RemoveStatus("p");
        for (int i = 0; i < 10; ++i)
            QVERIFY(worker.RunCycle());
        QCOMPARE(SharedStatus(), int(en_Status_Ready));
        QVERIFY(worker.RunCycle());
        QCOMPARE(SharedStatus(), int(en_Status_Offline));
        QVERIFY(m_list.CopyEntry(0, entry));
        QVERIFY(entry.stState.listWarningStatus.isEmpty());
        QCOMPARE(updates.size(), 2);

        // Bytes that do not parse count as failures too; a good file brings it back.
        files.WriteRawStatus("p", QByteArray(12, '\x01'));
        QVERIFY(worker.RunCycle());
        QCOMPARE(SharedStatus(), int(en_Status_Offline));
        files.WriteStatus("p", PrinterState(0x10, 5000));
        QVERIFY(worker.RunCycle());
        QCOMPARE(SharedStatus(), int(en_Status_Printing));
    }

    void aLongFileIsReadUpToTheBuffer()
    {
        PrinterFiles files;
        m_list.Replace(TrdDeviceManage::GetInitPrinterList({PrinterFiles::Usb("p", "1")}));
        TrdGetPrinterStatus worker;
        Worker(worker);
        const std::vector<uint8_t> body = ovraemu::BuildStatusBody(PrinterState(0x12, 1));
        QByteArray bytes =
            QByteArray(7, '\0') + QByteArray(reinterpret_cast<const char*>(body.data()), int(body.size()));
        bytes.append(QByteArray(100000, '\x55'));
        files.WriteRawStatus("p", bytes);
        QCOMPARE(worker.GetPrinterStatusFile("p", true), 0);
        QCOMPARE(worker.stCurrent.stState.enCurrentStatus, int(en_Status_Copying));
    }

    void cancellingRunsCancelOnce()
    {
        PrinterFiles files;
        QTemporaryDir bin;
        QFile fake(bin.path() + "/cancel");
        QVERIFY(fake.open(QIODevice::WriteOnly));
        fake.write("#!/bin/sh\n(IFS='|'; echo \"$*\") >> \"" + bin.path().toUtf8() + "/calls\"\nexit 1\n");
        fake.close();
        fake.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", bin.path().toLocal8Bit() + ":" + oldPath);

        const QString name = "q$(touch PWNED);'x";
        m_list.Replace(TrdDeviceManage::GetInitPrinterList({PrinterFiles::Usb(name, "1")}));
        TrdGetPrinterStatus worker;
        Worker(worker);
        files.WriteStatus(name, PrinterState(0x10, 100));
        QVERIFY(worker.RunCycle());
        QTest::qWait(20);
        files.WriteStatus(name, PrinterState(0x03, 100));
        QVERIFY(worker.RunCycle());
        QTest::qWait(20);
        files.WriteStatus(name, PrinterState(0x03, 99)); // still cancelling
        QVERIFY(worker.RunCycle());
        qputenv("PATH", oldPath);

        QFile calls(bin.path() + "/calls");
        QVERIFY(calls.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(calls.readAll()), name + "\n");
        QVERIFY(!QFile::exists("PWNED"));
    }
};

QTEST_GUILESS_MAIN(TestTrayWorkers)
#include "tst_trayworkers.moc"
