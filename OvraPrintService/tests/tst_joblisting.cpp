// Job listings as "lpstat -l -o" prints them.
#include "joblisting.h"
#include "usbprintersession.h"

#include <QtTest>

namespace {

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

class TestJobListing : public QObject
{
    Q_OBJECT
private slots:
    void printingJobsAreKept()
    {
        const QStringList lines = {
            "q-7                     root           1024   Mon 07 Dec 2026 10:00:00",
            "\tStatus: Sending data to printer.",
            "\tAlerts: job-printing",
            "\tqueued for q",
            "q-8                     root           1024   Mon 07 Dec 2026 10:00:01",
            "\tAlerts: none",
            "q-9                     root           1024   Mon 07 Dec 2026 10:00:02",
            "\tAlerts: job-completed-successfully",
        };
        int iCancels = 0;
        const QList<stJobState> jobs = ParseJobListing(lines, {}, [&](const stJobState&) { ++iCancels; });
        QCOMPARE(Ids(jobs), QStringList{"q-7"});
        QCOMPARE(jobs.first().iJobStatus, int(en_Job_Printing));
        QCOMPARE(jobs.first().iReserved, -1);
        QCOMPARE(iCancels, 0);
    }

    void processingStatusKeepsAJobWithAnotherAlert()
    {
        const QStringList lines = {
            "q-3 root 10 Mon 07 Dec 2026 10:00:00",
            "\tStatus: Processing page 2",
            "\tAlerts: job-hold-until-specified",
            "q-4 root 10 Mon 07 Dec 2026 10:00:00",   // a new header clears the flag
            "\tAlerts: job-hold-until-specified",
        };
        QCOMPARE(Ids(ParseJobListing(lines, {}, nullptr)), QStringList{"q-3"});
    }

    void cancelOnlyForAJobSeenPrinting()
    {
        const QStringList lines = {
            "q-7 root 10 Mon 07 Dec 2026 10:00:00",
            "\tAlerts: job-canceled-by-user",
            "q-8 root 10 Mon 07 Dec 2026 10:00:00",
            "\tAlerts: job-canceled-by-user",
        };
        QStringList canceled;
        const QList<stJobState> jobs =
            ParseJobListing(lines, {Printing("q-7")}, [&](const stJobState& job) { canceled << job.strJobId; });
        QCOMPARE(canceled, QStringList{"q-7"});
        QVERIFY(jobs.isEmpty());
        // The next check has no printing job left to compare with: nothing more is sent.
        canceled.clear();
        ParseJobListing(lines, jobs, [&](const stJobState& job) { canceled << job.strJobId; });
        QVERIFY(canceled.isEmpty());
    }

    void localizedPrefixes()
    {
        const QStringList lines = {
            "q-1 root 10 Mon 07 Dec 2026 10:00:00",
            QString::fromUtf8("\tПредупреждения: job-printing"),
            "q-2 root 10 Mon 07 Dec 2026 10:00:00",
            QString::fromUtf8("\t状态: Processing"),
            QString::fromUtf8("\t警告: something-else"),
            "q-3 root 10 Mon 07 Dec 2026 10:00:00",
            QString::fromUtf8("\tСтатус: Processing"),
            QString::fromUtf8("\tПредупреждения: job-canceled-by-user"),
            "q-4 root 10 Mon 07 Dec 2026 10:00:00",
            "\talerts: job-printing",   // prefixes are matched with their case
        };
        QStringList canceled;
        const QList<stJobState> jobs =
            ParseJobListing(lines, {Printing("q-3")}, [&](const stJobState& job) { canceled << job.strJobId; });
        QCOMPARE(Ids(jobs), (QStringList{"q-1", "q-2"}));
        QCOMPARE(canceled, QStringList{"q-3"});
    }

    void shortHeadersAndNoiseAreIgnored()
    {
        const QStringList lines = {"", "q-5 root", "\t", "\tAlerts: job-printing", "garbage\x01\x02 x y z"};
        const QList<stJobState> jobs = ParseJobListing(lines, {}, nullptr);
        // The alert belongs to no job header; it is kept under an empty id as read.
        QCOMPARE(Ids(jobs), QStringList{QString()});
        QVERIFY(ParseJobListing({}, {Printing("q-1")}, nullptr).isEmpty());
    }

    void serialsOfPorts()
    {
        QCOMPARE(SerialOfPort("Ovra/P2200DN?serial=AB12"), QString("AB12"));
        QCOMPARE(SerialOfPort("Ovra/P2200DN?serial=AB%3D12&interface=1"), QString("AB=12"));
        QCOMPARE(SerialOfPort("Ovra/P2200DN"), QString());
        QVERIFY(SerialMatches("ab12345", "AB12"));
        QVERIFY(SerialMatches("AB12", "AB12"));
        QVERIFY(!SerialMatches("AB1", "AB12"));
        QVERIFY(!SerialMatches("XAB12", "AB12"));
        QVERIFY(SerialMatches("anything", QString()));
    }
};

QTEST_GUILESS_MAIN(TestJobListing)
#include "tst_joblisting.moc"
