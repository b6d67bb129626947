// What a job check makes of the jobs CUPS reports: the status of each job, the printing
// jobs kept, a cancel only for a job seen printing before; and the jobs read from an IPP
// response. (The serial of a port and the serial rules are the library's:
// printersupport/tests/tst_usbserialrules.cpp.)
#include "cupsclient.h"
#include "jobwatch.h"

#include <cups/cups.h>

#include <QtTest>

Q_DECLARE_METATYPE(stCupsJob)

namespace {

stCupsJob Job(int iId, int iState, const QStringList& reasons, const QString& message = QString())
{
    stCupsJob job;
    job.iId = iId;
    job.iState = iState;
    job.listReasons = reasons;
    job.strMessage = message;
    return job;
}

stJobState Printing(const QString& id)
{
    stJobState job;
    job.strJobId = id;
    job.iJobStatus = en_Job_Printing;
    return job;
}

QStringList Ids(const QList<stJobState>& jobs)
{
    QStringList ids;
    for (const stJobState& job : jobs)
        ids << job.strJobId;
    return ids;
}

} // namespace

class TestJobWatch : public QObject
{
    Q_OBJECT
private slots:
    void statusOfAJob_data()
    {
        QTest::addColumn<stCupsJob>("job");
        QTest::addColumn<int>("status");
        const QStringList none{"none"}, printing{"job-printing"}, canceled{"job-canceled-by-user"};
        const QStringList other{"job-hold-until-specified"};
        QTest::newRow("no reasons") << Job(1, en_CupsJob_Processing, {}) << int(en_Job_HeaderOnly);
        QTest::newRow("none") << Job(1, en_CupsJob_Pending, none) << int(en_Job_AlertNone);
        QTest::newRow("none while processing") << Job(1, en_CupsJob_Processing, none) << int(en_Job_AlertNone);
        QTest::newRow("printing") << Job(1, en_CupsJob_Processing, printing) << int(en_Job_Printing);
        QTest::newRow("printing among others")
            << Job(1, en_CupsJob_Processing, {"job-incoming", "job-printing"}) << int(en_Job_Printing);
        QTest::newRow("canceled by user") << Job(1, en_CupsJob_Canceled, canceled) << int(en_Job_CanceledByUser);
        QTest::newRow("other, processing") << Job(1, en_CupsJob_Processing, other) << int(en_Job_Printing);
        QTest::newRow("other, processing-stopped") << Job(1, en_CupsJob_Stopped, other) << int(en_Job_Printing);
        QTest::newRow("other, pending") << Job(1, en_CupsJob_Pending, other) << int(en_Job_OtherAlert);
        QTest::newRow("other, held, message Processing")
            << Job(1, en_CupsJob_Held, other, "Processing page 2") << int(en_Job_Printing);
        QTest::newRow("completed, message Processing")
            << Job(1, en_CupsJob_Completed, {"job-completed-successfully"}, "Processing page 2")
            << int(en_Job_OtherAlert);
        QTest::newRow("aborted") << Job(1, en_CupsJob_Aborted, {"aborted-by-system"}) << int(en_Job_OtherAlert);
        QTest::newRow("message in German")
            << Job(1, en_CupsJob_Pending, other, "Verarbeitung") << int(en_Job_OtherAlert);
        QTest::newRow("keywords whole, not parts")
            << Job(1, en_CupsJob_Pending, {"job-printing-x", "nonesuch"}) << int(en_Job_OtherAlert);
    }

    void statusOfAJob()
    {
        QFETCH(stCupsJob, job);
        QFETCH(int, status);
        QCOMPARE(JobStatusOf(job), status);
    }

    void printingJobsAreKeptWithTheirQueueId()
    {
        const QList<stCupsJob> jobs = {Job(7, en_CupsJob_Processing, {"job-printing"}),
                                       Job(8, en_CupsJob_Pending, {"none"}),
                                       Job(9, en_CupsJob_Processing, {"job-hold-until-specified"})};
        const QList<stJobState> kept = DecideJobs("Küche-2", jobs, {}, [](const stJobState&) { QFAIL("cancel"); });
        QCOMPARE(Ids(kept), (QStringList{"Küche-2-7", "Küche-2-9"}));
        QCOMPARE(kept.first().iJobStatus, int(en_Job_Printing));
        QCOMPARE(kept.first().iReserved, -1);
        QCOMPARE(CupsJobNumberOf("Küche-2-9"), 9);
        QCOMPARE(CupsJobNumberOf("q-"), 0);
    }

    void cancelOnlyForAJobSeenPrinting()
    {
        const QList<stCupsJob> jobs = {Job(7, en_CupsJob_Canceled, {"job-canceled-by-user"}),
                                       Job(8, en_CupsJob_Canceled, {"job-canceled-by-user"})};
        QStringList canceled;
        const auto record = [&](const stJobState& job) { canceled << job.strJobId; };
        const QList<stJobState> kept = DecideJobs("q", jobs, {Printing("q-7"), Printing("other-8")}, record);
        QCOMPARE(canceled, QStringList{"q-7"});
        QVERIFY(kept.isEmpty());
        // The next check has no printing job left to compare with: nothing more is sent.
        canceled.clear();
        DecideJobs("q", jobs, kept, record);
        QVERIFY(canceled.isEmpty());
    }

    // Jobs as CUPS sends them: one group per job, attributes of other names or types and
    // jobs without an id passed over.
    void jobsOfAResponse()
    {
        ipp_t* pResponse = ippNew();
        ippAddString(pResponse, IPP_TAG_OPERATION, IPP_TAG_CHARSET, "attributes-charset", nullptr, "utf-8");
        ippAddInteger(pResponse, IPP_TAG_JOB, IPP_TAG_INTEGER, "job-id", 4);
        ippAddInteger(pResponse, IPP_TAG_JOB, IPP_TAG_ENUM, "job-state", IPP_JSTATE_PROCESSING);
        const char* const reasons[] = {"job-printing", "job-incoming"};
        ippAddStrings(pResponse, IPP_TAG_JOB, IPP_TAG_KEYWORD, "job-state-reasons", 2, nullptr, reasons);
        ippAddString(pResponse, IPP_TAG_JOB, IPP_TAG_TEXT, "job-printer-state-message", nullptr, "Druckt Seite 1");
        ippAddSeparator(pResponse);
        ippAddString(pResponse, IPP_TAG_JOB, IPP_TAG_KEYWORD, "job-state", nullptr, "processing"); // wrong type
        ippAddInteger(pResponse, IPP_TAG_JOB, IPP_TAG_INTEGER, "job-id", 5);
        ippAddSeparator(pResponse);
        ippAddInteger(pResponse, IPP_TAG_JOB, IPP_TAG_ENUM, "job-state", IPP_JSTATE_PENDING); // no id
        const QList<stCupsJob> jobs = JobsOfResponse(pResponse);
        ippDelete(pResponse);

        QCOMPARE(jobs.size(), 2);
        QCOMPARE(jobs.at(0).iId, 4);
        QCOMPARE(jobs.at(0).iState, int(en_CupsJob_Processing));
        QCOMPARE(jobs.at(0).listReasons, (QStringList{"job-printing", "job-incoming"}));
        QCOMPARE(jobs.at(0).strMessage, QString("Druckt Seite 1"));
        QCOMPARE(jobs.at(1).iId, 5);
        QCOMPARE(jobs.at(1).iState, 0);
        QVERIFY(JobsOfResponse(nullptr).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestJobWatch)
#include "tst_jobwatch.moc"
