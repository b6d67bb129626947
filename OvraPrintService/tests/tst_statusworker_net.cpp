// A status worker polling emulated network printers (UDP on loopback addresses).
#include "ovraemu/netprinter.h"
#include "ovrapaths.h"
#include "sharedprinterlist.h"
#include "trdgetprinterstatus.h"
#include "udpchannel.h"
#include "utilprinterstatus.h"
#include "installroot.h"

#include <QtTest>

using ovraemu::EmuPrinterState;
using ovraemu::NetPrinter;
using ovraemu::NetReplyMode;

namespace {

EmuPrinterState PrintingState()
{
    EmuPrinterState state;
    state.product = "Ovra MK246";
    state.serial = "NET001";
    state.statusCode = 0x10;
    state.warnings = {0x110D};
    state.SetCounter(0x1000, 4200);
    return state;
}

QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray Bytes(const std::vector<uint8_t>& v)
{
    return QByteArray(reinterpret_cast<const char*>(v.data()), int(v.size()));
}

} // namespace

class TestStatusWorkerNet : public QObject
{
    Q_OBJECT
    QScopedPointer<TestInstallRoot> m_root;
    SharedPrinterList m_list;
    QScopedPointer<NetPrinter> m_printer;

    // A worker for index 0 holding a ready-to-poll copy of the network printer at address,
    // which is emulated unless bEmulated is false.
    void MakeWorker(TrdGetPrinterStatus& worker, const QString& address, bool bEmulated = true)
    {
        if (bEmulated) {
            m_printer.reset(new NetPrinter(address.toStdString(), PrintingState()));
            QVERIFY(m_printer->Start());
        }
        stPrinterManager entry;
        entry.stInfo.strName = "net-" + address.section('.', -1);
        entry.stInfo.iConnectType = en_Connect_Network;
        entry.stInfo.strPort = address;
        entry.stInfo.strURI = "socket://" + address + ":9100";
        entry.bReady = true;
        m_list.Replace({entry});
        worker.Init(0, &m_list);
        QVERIFY(m_list.CopyEntry(0, worker.stCurrent));
    }

    QString StatusFile(const TrdGetPrinterStatus& worker)
    {
        return OvraPaths::StatusFile(worker.stCurrent.stInfo.strName);
    }

private slots:
    void init()
    {
        m_printer.reset();
        m_root.reset(new TestInstallRoot("statusworker"));
        qputenv("CUPS_SERVER", m_root->QFilePath("no-cupsd.sock").toLocal8Bit());
    }

    void replyIsStoredAndDecoded()
    {
        TrdGetPrinterStatus worker;
        MakeWorker(worker, "127.0.0.51");
        worker.stCurrent.stState.iConnectFailCount = 3;
        QCOMPARE(worker.PollPrinter(), 0);
        QCOMPARE(FileBytes(StatusFile(worker)), Bytes(ovraemu::BuildUdpStatusReply(PrintingState())));
        const stPrinterState& state = worker.stCurrent.stState;
        QCOMPARE(state.enCurrentStatus, int(en_Status_Printing));
        QCOMPARE(state.listWarningStatus, QList<int>{en_Error_TonerLow});
        QCOMPARE(state.dwRemainingToner, quint64(4200));
        QCOMPARE(state.strPrinterSerialNumber, QString("NET001"));
        QCOMPARE(state.iConnectFailCount, 0);
        QCOMPARE(m_printer->StatusRequests(), 1);
        QCOMPARE(Bytes(m_printer->Received().at(0)), QByteArray::fromHex("A5000C50E074080300000000000000"));
    }

    void statusFileRewrittenOnlyOnChange()
    {
        TrdGetPrinterStatus worker;
        MakeWorker(worker, "127.0.0.52");
        QCOMPARE(worker.PollPrinter(), 0); // file missing: written, the worker's copy not yet taken
        QCOMPARE(worker.PollPrinter(), 0); // taken now (one more write)
        const QString path = StatusFile(worker);
        const QDateTime old = QDateTime::currentDateTime().addSecs(-3600);
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(old, QFileDevice::FileModificationTime));
        }
        QCOMPARE(worker.PollPrinter(), 0);
        QCOMPARE(QFileInfo(path).lastModified(), old);

        EmuPrinterState changed = PrintingState();
        changed.SetCounter(0x1000, 4199); // one byte differs
        m_printer->SetState(changed);
        QCOMPARE(worker.PollPrinter(), 0);
        QVERIFY(QFileInfo(path).lastModified() > old);
        QCOMPARE(FileBytes(path), Bytes(ovraemu::BuildUdpStatusReply(changed)));

        // A missing file is written again even though the reply is the same.
        QVERIFY(QFile::remove(path));
        QCOMPARE(worker.PollPrinter(), 0);
        QCOMPARE(FileBytes(path), Bytes(ovraemu::BuildUdpStatusReply(changed)));
    }

    // A reply that fills the receive buffer is remembered whole. The buffer size is bound
    // to a reference here, as the worker's own qBound does: it must be defined somewhere.
    void fullBufferReplyIsComparedWhole()
    {
        const int& iSize = TrdGetPrinterStatus::c_iRecvBufferSize;
        QCOMPARE(iSize, c_iUdpStatusBufferSize);
        TrdGetPrinterStatus worker;
        std::vector<unsigned char> reply(size_t(iSize), 0x5A);
        QVERIFY(worker.CheckRecvBufChange(reply.data(), iSize));
        QVERIFY(!worker.CheckRecvBufChange(reply.data(), iSize));
        reply.back() = 0x5B;
        QVERIFY(worker.CheckRecvBufChange(reply.data(), iSize));
    }

    // A reply longer than the buffer cannot be remembered whole: the same one again still
    // counts as changed, and comparing it never reads past the remembered copy.
    void longerReplyAlwaysCountsAsChanged()
    {
        TrdGetPrinterStatus worker;
        const int iLength = TrdGetPrinterStatus::c_iRecvBufferSize + 100;
        const std::vector<unsigned char> reply(size_t(iLength), 0x5A);
        QVERIFY(worker.CheckRecvBufChange(reply.data(), iLength));
        QVERIFY(worker.CheckRecvBufChange(reply.data(), iLength));
    }

    void silentPrinterGoesOfflineAtTheSixthFailure()
    {
        TrdGetPrinterStatus worker;
        MakeWorker(worker, "127.0.0.53");
        QCOMPARE(worker.PollPrinter(), 0);
        m_printer->SetReplyMode(NetReplyMode::Silent);
        for (int i = 1; i <= 5; ++i) {
            QCOMPARE(worker.PollPrinter(), -5);
            QCOMPARE(worker.stCurrent.stState.iConnectFailCount, i);
            QCOMPARE(worker.stCurrent.stState.enCurrentStatus, int(en_Status_Printing));
            QVERIFY(QFile::exists(StatusFile(worker)));
        }
        QCOMPARE(worker.PollPrinter(), -5);
        const stPrinterState& state = worker.stCurrent.stState;
        QCOMPARE(state.enCurrentStatus, int(en_Status_Offline));
        QVERIFY(state.listWarningStatus.isEmpty() && state.listErrorStatus.isEmpty());
        QCOMPARE(state.iNumberOfWarning, 0);
        QCOMPARE(state.iConnectFailCount, 0);
        QCOMPARE(state.dwRemainingToner, quint64(4200)); // counters keep their last values
        QVERIFY(!QFile::exists(StatusFile(worker)));
    }

    void aGoodReplyResetsTheCount()
    {
        TrdGetPrinterStatus worker;
        MakeWorker(worker, "127.0.0.54");
        m_printer->SetReplyMode(NetReplyMode::Short); // 1-7 bytes count as no reply
        for (int i = 0; i < 4; ++i)
            QCOMPARE(worker.PollPrinter(), -5);
        m_printer->SetReplyMode(NetReplyMode::Normal);
        QCOMPARE(worker.PollPrinter(), 0);
        QCOMPARE(worker.stCurrent.stState.iConnectFailCount, 0);
        m_printer->SetReplyMode(NetReplyMode::Short);
        for (int i = 0; i < 5; ++i)
            QCOMPARE(worker.PollPrinter(), -5);
        QCOMPARE(worker.stCurrent.stState.enCurrentStatus, int(en_Status_Printing));
    }

    void replyThatDoesNotParse()
    {
        TrdGetPrinterStatus worker;
        MakeWorker(worker, "127.0.0.55");
        QCOMPARE(worker.PollPrinter(), 0);
        m_printer->SetReplyMode(NetReplyMode::Garbage);
        QCOMPARE(worker.PollPrinter(), -1);
        // Written all the same; the decoded state stays.
        QVERIFY(FileBytes(StatusFile(worker)) != Bytes(ovraemu::BuildUdpStatusReply(PrintingState())));
        QCOMPARE(worker.stCurrent.stState.enCurrentStatus, int(en_Status_Printing));
        QCOMPARE(worker.stCurrent.stState.iConnectFailCount, 1);
    }

    // The device manager replaced the list while the worker was part-way through its
    // cycle: the worker neither writes nor deletes the file of a queue that is no longer
    // its own, whether the queue left or another worker serves it now.
    void removedQueueKeepsNoFile_data()
    {
        QTest::addColumn<bool>("movedToIndex1");
        QTest::newRow("queue left the list") << false;
        QTest::newRow("queue moved to another index") << true;
    }

    void removedQueueKeepsNoFile()
    {
        QFETCH(bool, movedToIndex1);
        TrdGetPrinterStatus worker;
        MakeWorker(worker, "127.0.0.60");
        stPrinterManager other = worker.stCurrent;
        other.stInfo.strName = "net-other";
        other.stInfo.strURI = "socket://127.0.0.61:9100";
        const QByteArray otherWorkersFile("written by worker 1");
        if (movedToIndex1) {
            m_list.Replace({other, worker.stCurrent});
            QVERIFY(QDir().mkpath(OvraPaths::CfgDir()));
            QFile file(StatusFile(worker));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(otherWorkersFile) > 0);
        } else {
            m_list.Replace({other});
        }
        const QByteArray before = FileBytes(StatusFile(worker));

        QCOMPARE(worker.PollPrinter(), 0);
        QCOMPARE(m_printer->StatusRequests(), 1);
        QCOMPARE(FileBytes(StatusFile(worker)), before);
        QCOMPARE(QFile::exists(StatusFile(worker)), movedToIndex1);
        // The failure rule: the file stays as it is too.
        worker.stCurrent.stInfo.strPort.clear(); // an empty address fails at once
        worker.stCurrent.stState.iConnectFailCount = TrdGetPrinterStatus::c_iFailuresBeforeOffline;
        QCOMPARE(worker.PollPrinter(), -1);
        QCOMPARE(worker.stCurrent.stState.enCurrentStatus, int(en_Status_Offline));
        QCOMPARE(FileBytes(StatusFile(worker)), before);
        QCOMPARE(QFile::exists(StatusFile(worker)), movedToIndex1);
        QVERIFY(!m_list.WriteBack(0, worker.stCurrent));
    }

    void notPolledBeforeTheListWasSaved()
    {
        TrdGetPrinterStatus worker;
        MakeWorker(worker, "127.0.0.56");
        worker.stCurrent.bReady = false;
        QCOMPARE(worker.PollPrinter(), 0);
        QCOMPARE(m_printer->StatusRequests(), 0);
    }

    void pollCadence()
    {
        TrdGetPrinterStatus worker;
        MakeWorker(worker, "127.0.0.57", false);
        int iPeriod = 0;
        QVERIFY(worker.CheckNeedStatus(iPeriod)); // Offline
        QCOMPARE(iPeriod, 10000);
        stPrinterManager entry = worker.stCurrent;
        entry.stState.enCurrentStatus = en_Status_Printing;
        QVERIFY(m_list.WriteBack(0, entry));
        QVERIFY(worker.CheckNeedStatus(iPeriod));
        QCOMPARE(iPeriod, 1000);
        entry.stState.enCurrentStatus = en_Status_Ready; // and CUPS does not say "printing"
        QVERIFY(m_list.WriteBack(0, entry));
        QVERIFY(!worker.CheckNeedStatus(iPeriod));
        QCOMPARE(iPeriod, 100);
        QVERIFY(!QFile::exists(OvraPaths::CfgDir() + "printer_0.tmp"));
        entry.stInfo.iConnectType = en_Connect_USB;
        m_list.Replace({entry});
        QVERIFY(worker.CheckNeedStatus(iPeriod));
        QCOMPARE(iPeriod, 1500);
    }

    void writeBackOnlyToTheSamePrinter()
    {
        TrdGetPrinterStatus worker;
        MakeWorker(worker, "127.0.0.58", false);
        worker.stCurrent.stState.enCurrentStatus = en_Status_Copying;
        worker.stCurrent.bReady = false;
        QVERIFY(m_list.WriteBack(0, worker.stCurrent));
        stPrinterManager entry;
        QVERIFY(m_list.CopyEntry(0, entry));
        QCOMPARE(entry.stState.enCurrentStatus, int(en_Status_Copying));
        QVERIFY(entry.bReady); // the list's own flag stays
        worker.stCurrent.stInfo.strURI = "socket://127.0.0.59";
        QVERIFY(!m_list.WriteBack(0, worker.stCurrent));
        QVERIFY(!m_list.WriteBack(1, worker.stCurrent));
    }
};

QTEST_GUILESS_MAIN(TestStatusWorkerNet)
#include "tst_statusworker_net.moc"
