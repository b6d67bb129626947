// Status workers polling emulated USB printers (umockdev's usbfs, real libusb), and the
// job watcher cancelling a printer's own job through a private cupsd.
#include "ovrapaths.h"
#include "printerstatebuilder.h"
#include "privatecups.h"
#include "serviceusb.h"
#include "sharedprinterlist.h"
#include "trdgetprinterstatus.h"
#include "utilprinterstatus.h"

#include "ovraemu/usbprinterbed.h"
#include "installroot.h"
#include "usbprinters.h"

#include <libusb-1.0/libusb.h>
#include <QThread>
#include <QtTest>

Q_DECLARE_METATYPE(UsbResult)

using ovraemu::EmuPrinterState;
using ovraemu::UsbFault;
using ovraemu::UsbPrinterBed;

namespace {

EmuPrinterState StateFor(const std::string& serial, uint8_t status = 0x00)
{
    EmuPrinterState state;
    state.product = "Ovra P2200DN";
    state.serial = serial;
    state.statusCode = status;
    state.SetCounter(0x1000, 6500);
    return state;
}

int Plug(UsbPrinterBed& bed, const std::string& serial, const EmuPrinterState& state)
{
    const int id = bed.AddPrinter(UsbPrinterOfModel("Ovra P2200DN", serial));
    bed.SetStatusReply(id, ovraemu::BuildStatusBody(state));
    return id;
}

stPrinterManager UsbEntry(const QString& name, const QString& serial)
{
    stPrinterManager entry;
    entry.stInfo.strName = name;
    entry.stInfo.enType = "Ovra P2200DN";
    entry.stInfo.iConnectType = en_Connect_USB;
    entry.stInfo.strURI = "usb://Ovra/P2200DN" + (serial.isNull() ? QString("?interface=0") : "?serial=" + serial);
    entry.stInfo.strPort = entry.stInfo.strURI.mid(6);
    entry.bReady = true;
    return entry;
}

QByteArray UsbFileBytes(const EmuPrinterState& state)
{
    const std::vector<uint8_t> body = ovraemu::BuildStatusBody(state);
    return QByteArray(7, '\0') + QByteArray(reinterpret_cast<const char*>(body.data()), int(body.size()));
}

QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestStatusWorkerUsb : public QObject
{
    Q_OBJECT
    QScopedPointer<TestInstallRoot> m_root;
    SharedPrinterList m_list;

    void Bind(TrdGetPrinterStatus& worker, int index)
    {
        worker.Init(index, &m_list);
        QVERIFY(m_list.CopyEntry(index, worker.stCurrent));
    }

private slots:
    void init()
    {
        m_root.reset(new TestInstallRoot("statusworker"));
        qputenv("CUPS_SERVER", m_root->QFilePath("no-cupsd.sock").toLocal8Bit());
    }

    void statusFileHoldsSevenZerosAndTheReply()
    {
        UsbPrinterBed bed;
        const int id = Plug(bed, "USB0001", StateFor("USB0001", 0x10));
        m_list.Replace({UsbEntry("ovra-usb", "USB0001")});
        TrdGetPrinterStatus worker;
        Bind(worker, 0);
        QCOMPARE(worker.PollPrinter(), 0);
        const QString path = OvraPaths::StatusFile("ovra-usb");
        QCOMPARE(FileBytes(path), UsbFileBytes(StateFor("USB0001", 0x10)));
        QCOMPARE(worker.stCurrent.stState.enCurrentStatus, int(en_Status_Printing));
        QCOMPARE(worker.stCurrent.stState.dwRemainingToner, quint64(6500));
        const ovraemu::ControlRequest expected{0xA1, 0x33, 0, 0, 1024};
        QCOMPARE(bed.ControlRequests(id).size(), size_t(1));
        QVERIFY(bed.ControlRequests(id).at(0) == expected);

        // Unchanged replies leave the file alone.
        QCOMPARE(worker.PollPrinter(), 0);
        const QDateTime old = QDateTime::currentDateTime().addSecs(-600);
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(old, QFileDevice::FileModificationTime));
        }
        QCOMPARE(worker.PollPrinter(), 0);
        QCOMPARE(QFileInfo(path).lastModified(), old);
        bed.SetStatusReply(id, ovraemu::BuildStatusBody(StateFor("USB0001", 0x00)));
        QCOMPARE(worker.PollPrinter(), 0);
        QVERIFY(QFileInfo(path).lastModified() > old);
        QCOMPARE(worker.stCurrent.stState.enCurrentStatus, int(en_Status_Ready));
    }

    void unpluggedGoesOfflineAtTheFirstPoll()
    {
        UsbPrinterBed bed;
        const int id = Plug(bed, "USB0002", StateFor("USB0002", 0x10));
        Plug(bed, "OTHER", StateFor("OTHER")); // the bus is not empty afterwards
        m_list.Replace({UsbEntry("ovra-usb", "USB0002")});
        TrdGetPrinterStatus worker;
        Bind(worker, 0);
        QCOMPARE(worker.PollPrinter(), 0);
        QVERIFY(QFile::exists(OvraPaths::StatusFile("ovra-usb")));
        bed.Unplug(id);
        QCOMPARE(worker.PollPrinter(), -5);
        QCOMPARE(worker.stCurrent.stState.enCurrentStatus, int(en_Status_Offline));
        QVERIFY(!QFile::exists(OvraPaths::StatusFile("ovra-usb")));
    }

    void aBusWithoutPrintersIsNoPrinter()
    {
        UsbPrinterBed bed;
        m_list.Replace({UsbEntry("ovra-usb", "USB0003")});
        TrdGetPrinterStatus worker;
        Bind(worker, 0);
        worker.stCurrent.stState.enCurrentStatus = en_Status_Ready;
        QCOMPARE(worker.PollPrinter(), -5);
        QCOMPARE(worker.stCurrent.stState.enCurrentStatus, int(en_Status_Offline));
    }

    void twoPrintersOfOneModelToldApartBySerial()
    {
        UsbPrinterBed bed;
        EmuPrinterState first = StateFor("AAA111", 0x00);
        EmuPrinterState second = StateFor("BBB222", 0x11);
        const int a = Plug(bed, "AAA111", first);
        const int b = Plug(bed, "BBB222", second);
        m_list.Replace({UsbEntry("first", "AAA111"), UsbEntry("second", "bbb"), UsbEntry("any", QString())});
        TrdGetPrinterStatus w0, w1, w2;
        Bind(w0, 0);
        Bind(w1, 1);
        Bind(w2, 2);
        QCOMPARE(w0.PollPrinter(), 0);
        QCOMPARE(w1.PollPrinter(), 0); // a prefix of the serial, in another letter case
        QCOMPARE(w2.PollPrinter(), 0); // no serial: the first on the bus
        QCOMPARE(w0.stCurrent.stState.strPrinterSerialNumber, QString("AAA111"));
        QCOMPARE(w1.stCurrent.stState.strPrinterSerialNumber, QString("BBB222"));
        QCOMPARE(w1.stCurrent.stState.enCurrentStatus, int(en_Status_Scanning));
        // Whichever libusb lists first answers for the URI without a serial.
        const bool bFirstIsA = w2.stCurrent.stState.strPrinterSerialNumber == "AAA111";
        QVERIFY(bFirstIsA || w2.stCurrent.stState.strPrinterSerialNumber == "BBB222");
        QCOMPARE(bed.CountRequests(a, 0x33), bFirstIsA ? 2 : 1);
        QCOMPARE(bed.CountRequests(b, 0x33), bFirstIsA ? 1 : 2);
    }

    void faultsKeepTheState()
    {
        UsbPrinterBed bed;
        const int id = Plug(bed, "USB0004", StateFor("USB0004", 0x10));
        m_list.Replace({UsbEntry("ovra-usb", "USB0004")});
        TrdGetPrinterStatus worker;
        Bind(worker, 0);
        QCOMPARE(worker.PollPrinter(), 0);

        bed.SetFault(id, UsbFault::FailClaim);
        QCOMPARE(worker.PollPrinter(), -6);
        QCOMPARE(worker.stCurrent.stState.enCurrentStatus, int(en_Status_Printing));
        bed.SetFault(id, UsbFault::StallControl);
        QCOMPARE(worker.PollPrinter(), int(LIBUSB_ERROR_PIPE));
        QCOMPARE(worker.stCurrent.stState.enCurrentStatus, int(en_Status_Printing));
        bed.SetFault(id, UsbFault::RefuseOpen);
        QCOMPARE(worker.PollPrinter(), -4); // the walk ended on a failed open
        QCOMPARE(worker.stCurrent.stState.enCurrentStatus, int(en_Status_Printing));
        QVERIFY(QFile::exists(OvraPaths::StatusFile("ovra-usb")));

        bed.SetFault(id, UsbFault::KernelDriverActive);
        QCOMPARE(worker.PollPrinter(), 0);
        QVERIFY(bed.KernelDriverDetached(id));
    }

    // The service's code for each result of the library's USB session it can get.
    void codesOfLibraryResults_data()
    {
        QTest::addColumn<UsbResult>("result");
        QTest::addColumn<int>("code");
        QTest::newRow("Ok") << UsbResult::Ok << int(en_Usb_OK);
        QTest::newRow("InitFailed") << UsbResult::InitFailed << int(en_Usb_InitFailed);
        QTest::newRow("ListFailed") << UsbResult::ListFailed << int(en_Usb_ListFailed);
        QTest::newRow("DescriptorFailed") << UsbResult::DescriptorFailed << int(en_Usb_WalkFailed);
        QTest::newRow("ProbeFailed") << UsbResult::ProbeFailed << int(en_Usb_WalkFailed);
        QTest::newRow("NoDevice") << UsbResult::NoDevice << int(en_Usb_NoDevice);
        QTest::newRow("ClaimFailed") << UsbResult::ClaimFailed << int(en_Usb_ClaimFailed);
    }

    void codesOfLibraryResults()
    {
        QFETCH(UsbResult, result);
        QFETCH(int, code);
        QCOMPARE(ServiceUsbCode(result), code);
    }

    void unknownModelIsNotLookedFor()
    {
        UsbPrinterBed bed;
        const int id = Plug(bed, "USB0005", StateFor("USB0005"));
        stPrinterManager entry = UsbEntry("odd", "USB0005");
        entry.stInfo.strPort = "Ovra/X9?serial=USB0005";
        m_list.Replace({entry});
        TrdGetPrinterStatus worker;
        Bind(worker, 0);
        QCOMPARE(worker.PollPrinter(), -1);
        QCOMPARE(bed.ControlRequests(id).size(), size_t(0));
        QCOMPARE(worker.CancelPrinterJob("127.0.0.1"), -1);
    }

    void cancelledJobSendsExactlyOneCancel()
    {
        PrivateCups cups(m_root->QFilePath("cups"));
        QString error;
        QVERIFY2(cups.Start(&error), qPrintable(error));
        QVERIFY2(cups.AddQueue("ovra-usb", "usb://Ovra/P2200DN?serial=USB0006", PrivateCups::PpdPath("ovra-p2200dn"),
                               &error),
                 qPrintable(error));
        UsbPrinterBed bed;
        const int id = Plug(bed, "USB0006", StateFor("USB0006", 0x10));
        m_list.Replace({UsbEntry("ovra-usb", "USB0006")});

        TrdGetPrinterStatus* pWorker = new TrdGetPrinterStatus;
        QThread thread;
        pWorker->moveToThread(&thread);
        pWorker->Init(0, &m_list);
        thread.start();
        QMetaObject::invokeMethod(pWorker, "SlotTaskStart", Qt::QueuedConnection);

        const QString jobId = cups.Print("ovra-usb", "job", &error);
        QVERIFY2(!jobId.isEmpty(), qPrintable(error));
        auto printingJobs = [&] {
            stPrinterManager entry;
            m_list.CopyEntry(0, entry);
            return entry.listJobState.size();
        };
        QTRY_COMPARE_WITH_TIMEOUT(printingJobs(), 1, 15000);
        QCOMPARE(bed.CountRequests(id, 0x34), 0);
        QVERIFY2(cups.Cancel(jobId, &error), qPrintable(error));
        QTRY_COMPARE_WITH_TIMEOUT(bed.CountRequests(id, 0x34), 1, 10000);
        // The list shows it at the cycle's write-back; with no job left, each later check
        // of that cycle asks again for about a second.
        QTRY_COMPARE_WITH_TIMEOUT(printingJobs(), 0, 15000);
        QTest::qWait(4000); // several more job checks: no second request
        QCOMPARE(bed.CountRequests(id, 0x34), 1);
        const ovraemu::ControlRequest expected{0xA1, 0x34, 0, 0, 1017};
        int iMatching = 0;
        for (const ovraemu::ControlRequest& request : bed.ControlRequests(id))
            iMatching += request == expected ? 1 : 0;
        QCOMPARE(iMatching, 1);

        pWorker->bQuit = true;
        thread.quit();
        QVERIFY(thread.wait(30000));
        delete pWorker;
    }
};

QTEST_GUILESS_MAIN(TestStatusWorkerUsb)
#include "tst_statusworker_usb.moc"
