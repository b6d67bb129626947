// A USB printer that is unplugged while the status worker's poll waits for the
// reply of its status request (umockdev's usbfs, real libusb): the poll ends
// with the control transfer's own error and keeps the state and the status
// file, the next poll finds no printer (Offline, file gone), and the printer
// plugged in again is polled as before. A reply that never comes ends at the
// request's 2000 ms time-out.
#include "ovrapaths.h"
#include "printerstatebuilder.h"
#include "sharedprinterlist.h"
#include "trdgetprinterstatus.h"
#include "serviceusb.h"

#include "ovraemu/usbprinterbed.h"
#include "installroot.h"
#include "usbprinters.h"

#include <QElapsedTimer>
#include <QtTest>

#include <libusb-1.0/libusb.h>

#include <thread>

using ovraemu::UsbFault;
using ovraemu::UsbPrinterBed;

namespace {

const char* const c_szSerial = "UNPLUG0001";

ovraemu::EmuPrinterState State(uint8_t statusCode)
{
    ovraemu::EmuPrinterState state;
    state.product = "Ovra P2200DN";
    state.serial = c_szSerial;
    state.statusCode = statusCode;
    state.SetCounter(0x1000, 4200);
    return state;
}

QByteArray StatusFileBytes()
{
    QFile file(OvraPaths::StatusFile("desk"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray ExpectedFile(uint8_t statusCode)
{
    const std::vector<uint8_t> body = ovraemu::BuildStatusBody(State(statusCode));
    return QByteArray(7, '\0') + QByteArray(reinterpret_cast<const char*>(body.data()), int(body.size()));
}

} // namespace

class TestFaultsUsbPoll : public QObject
{
    Q_OBJECT
    QScopedPointer<TestInstallRoot> m_root;
    QScopedPointer<UsbPrinterBed> m_bed;
    SharedPrinterList m_list;
    QScopedPointer<TrdGetPrinterStatus> m_worker;

    int Plug(uint8_t statusCode)
    {
        const int id = m_bed->AddPrinter(UsbPrinterOfModel("Ovra P2200DN", c_szSerial));
        m_bed->SetStatusReply(id, ovraemu::BuildStatusBody(State(statusCode)));
        return id;
    }

    int Status() const { return m_worker->stCurrent.stState.enCurrentStatus; }

private slots:
    void init()
    {
        m_root.reset(new TestInstallRoot("usbpoll"));
        m_bed.reset(new UsbPrinterBed);
        stPrinterManager entry;
        entry.stInfo.strName = "desk";
        entry.stInfo.iConnectType = en_Connect_USB;
        entry.stInfo.strURI = QString("usb://Ovra/P2200DN?serial=") + c_szSerial;
        entry.stInfo.strPort = entry.stInfo.strURI.mid(6);
        entry.bReady = true;
        m_list.Replace({entry});
        m_worker.reset(new TrdGetPrinterStatus);
        m_worker->Init(0, &m_list);
        QVERIFY(m_list.CopyEntry(0, m_worker->stCurrent));
    }

    void cleanup()
    {
        m_worker.reset();
        m_bed.reset();
    }

    void unplugWhileTheStatusReplyIsAwaited()
    {
        const int id = Plug(0x10);
        QCOMPARE(m_worker->PollPrinter(), 0);
        QCOMPARE(Status(), int(en_Status_Printing));
        QCOMPARE(StatusFileBytes(), ExpectedFile(0x10));

        m_bed->SetFault(id, UsbFault::HoldControl);
        int iResult = 0;
        std::thread poll([&] { iResult = m_worker->PollPrinter(); });
        QTRY_COMPARE(m_bed->CountRequests(id, ovraemu::kStatusRequest), 2); // the request is in flight
        m_bed->Unplug(id);
        poll.join();
        QCOMPARE(iResult, int(LIBUSB_ERROR_NO_DEVICE)); // ended by the unplug, not by the time-out
        QCOMPARE(Status(), int(en_Status_Printing));    // not -5: the state stays
        QCOMPARE(StatusFileBytes(), ExpectedFile(0x10));

        QCOMPARE(m_worker->PollPrinter(), int(en_Usb_NoDevice));
        QCOMPARE(Status(), int(en_Status_Offline));
        QVERIFY(!QFile::exists(OvraPaths::StatusFile("desk")));

        Plug(0x00); // the same printer again, under a new device number
        QCOMPARE(m_worker->PollPrinter(), 0);
        QCOMPARE(Status(), int(en_Status_Ready));
        QCOMPARE(StatusFileBytes(), ExpectedFile(0x00));
    }

    void unansweredStatusRequestEndsAtItsTimeOut()
    {
        const int id = Plug(0x10);
        QCOMPARE(m_worker->PollPrinter(), 0);
        m_bed->SetFault(id, UsbFault::HoldControl);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(m_worker->PollPrinter(), int(LIBUSB_ERROR_TIMEOUT));
        QVERIFY2(timer.elapsed() >= 1900 && timer.elapsed() < 6000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(Status(), int(en_Status_Printing));
        QCOMPARE(StatusFileBytes(), ExpectedFile(0x10));

        m_bed->SetFault(id, UsbFault::None);
        m_bed->SetStatusReply(id, ovraemu::BuildStatusBody(State(0x00)));
        QCOMPARE(m_worker->PollPrinter(), 0);
        QCOMPARE(Status(), int(en_Status_Ready));
    }
};

QTEST_GUILESS_MAIN(TestFaultsUsbPoll)
#include "tst_faults_usbpoll.moc"
