// A status worker asking a private cupsd over IPP. Queue names reach CUPS as attribute
// values only: a name a shell would run stays a name, and names CUPS would never give a
// queue are simply unknown to it. A scheduler that hangs holds a check no longer than
// the time-out, and answers again once it goes on.
#include "cupsclient.h"
#include "ovrapaths.h"
#include "privatecups.h"
#include "sharedprinterlist.h"
#include "trdgetprinterstatus.h"
#include "installroot.h"

#include <QElapsedTimer>
#include <QtTest>

#include <csignal>

class TestCupsClient : public QObject
{
    Q_OBJECT
    TestInstallRoot m_root{"cupsclient"};
    QScopedPointer<PrivateCups> m_cups;
    SharedPrinterList m_list;

    // A worker for index 0 whose printer is the "Ready" network queue strQueue.
    void MakeWorker(TrdGetPrinterStatus& worker, const QString& strQueue)
    {
        stPrinterManager entry;
        entry.stInfo.strName = strQueue;
        entry.stInfo.iConnectType = en_Connect_Network;
        entry.stInfo.strPort = "127.0.0.49";
        entry.stInfo.strURI = "socket://127.0.0.49:9100";
        entry.stState.enCurrentStatus = en_Status_Ready;
        m_list.Replace({entry});
        worker.Init(0, &m_list);
        QVERIFY(m_list.CopyEntry(0, worker.stCurrent));
    }

    // The queue, with a job that its backend holds printing; the job's id.
    QString PrintingQueue(const QString& strQueue)
    {
        QString error;
        if (!m_cups->AddQueue(strQueue, "socket://127.0.0.49:9100", PrivateCups::PpdPath("ovra-mk246"), &error)) {
            qWarning("%s", qPrintable(error));
            return QString();
        }
        const QString jobId = m_cups->Print(strQueue, "job data", &error);
        if (jobId.isEmpty())
            qWarning("%s", qPrintable(error));
        return jobId;
    }

private slots:
    void initTestCase()
    {
        qputenv("OVRA_INSTALL_ROOT", m_root.QFilePath("root").toLocal8Bit());
        QDir::setCurrent(m_root.QPath());
        m_cups.reset(new PrivateCups(m_root.QFilePath("cups")));
        QString error;
        QVERIFY2(m_cups->Start(&error), qPrintable(error));
    }

    void cleanupTestCase() { m_cups->Stop(); }

    void queueNamesReachCupsAsValues_data()
    {
        QTest::addColumn<QString>("queue");
        QTest::addColumn<bool>("known"); // a name CUPS takes for a queue
        QTest::newRow("shell command") << QString("q$(touch${IFS}PWNED);touch${IFS}PWNED2") << true;
        QTest::newRow("non-Latin letters") << QString::fromUtf8("Drucker_Küche_Принтер_打印机") << true;
        QTest::newRow("quotes") << QString("q\"x';touch PWNED3;'") << false;
        QTest::newRow("spaces") << QString("q x $(touch PWNED4)") << false;
    }

    void queueNamesReachCupsAsValues()
    {
        QFETCH(QString, queue);
        QFETCH(bool, known);
        QString jobId;
        if (known) {
            jobId = PrintingQueue(queue);
            QVERIFY(!jobId.isEmpty());
        }
        TrdGetPrinterStatus worker;
        MakeWorker(worker, queue);
        int iPeriod = 0;
        if (known) {
            QTRY_VERIFY_WITH_TIMEOUT(worker.CheckNeedStatus(iPeriod), 15000);
            QCOMPARE(iPeriod, 1000);
            worker.CheckJobStatus();
            QCOMPARE(worker.stCurrent.listJobState.size(), 1);
            QCOMPARE(worker.stCurrent.listJobState.first().strJobId, jobId);
        } else {
            QVERIFY(!worker.CheckNeedStatus(iPeriod));
            QElapsedTimer timer;
            timer.start();
            worker.CheckJobStatus();
            QVERIFY(worker.stCurrent.listJobState.isEmpty());
            QVERIFY2(timer.elapsed() >= 900, "asked again while CUPS has no job");
        }
        QVERIFY(QDir(m_root.QPath()).entryList({"PWNED*"}).isEmpty());
        QVERIFY(QDir(OvraPaths::CfgDir()).entryList({"*.tmp"}, QDir::Files).isEmpty());
    }

    void aHungSchedulerHoldsACheckOnlyUntilItsTimeOut()
    {
        const QString jobId = PrintingQueue("hang");
        QVERIFY(!jobId.isEmpty());
        TrdGetPrinterStatus worker;
        MakeWorker(worker, "hang");
        QTRY_COMPARE_WITH_TIMEOUT((worker.CheckJobStatus(), worker.stCurrent.listJobState.size()), 1, 15000);

        const pid_t cupsd = pid_t(m_cups->CupsdPid());
        QVERIFY(cupsd > 0);
        QCOMPARE(kill(cupsd, SIGSTOP), 0);
        QElapsedTimer timer;
        timer.start();
        worker.CheckJobStatus(); // one time-out, not one per retry
        const qint64 iCheckMs = timer.restart();
        int iPeriod = 0;
        const bool bPrinting = worker.CheckNeedStatus(iPeriod);
        const qint64 iAskMs = timer.elapsed();
        kill(cupsd, SIGCONT);
        // No answer is not the end of the job: it stays watched, so a cancel CUPS reports
        // once it answers again still reaches the printer.
        QCOMPARE(worker.stCurrent.listJobState.size(), 1);
        QVERIFY(!bPrinting);
        const qint64 iBoundMs = qint64(CupsClient::c_dRequestTimeoutS * 1000) + CupsClient::c_iConnectTimeoutMs + 1000;
        QVERIFY2(iCheckMs < iBoundMs, qPrintable(QString::number(iCheckMs)));
        QVERIFY2(iAskMs < iBoundMs, qPrintable(QString::number(iAskMs)));

        // Going on, the scheduler answers the same worker again.
        worker.CheckJobStatus();
        QCOMPARE(worker.stCurrent.listJobState.size(), 1);
        QCOMPARE(worker.stCurrent.listJobState.first().strJobId, jobId);
        QVERIFY(worker.CheckNeedStatus(iPeriod));
    }
};

QTEST_GUILESS_MAIN(TestCupsClient)
#include "tst_cupsclient.moc"
