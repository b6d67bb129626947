// The printer list the threads of a program share: copies out, write-backs, replacement,
// and all of them at once from several threads (the ThreadSanitizer build runs this too).
#include "sharedprinterlist.h"

#include <QtTest>

#include <atomic>
#include <thread>
#include <vector>

namespace {

stPrinterManager Entry(const QString& name)
{
    stPrinterManager entry;
    entry.stInfo.strName = name;
    entry.stInfo.strURI = "usb://Ovra/" + name;
    entry.stInfo.iConnectType = en_Connect_USB;
    return entry;
}

QList<stPrinterManager> Entries(int count, const QString& prefix = "q")
{
    QList<stPrinterManager> list;
    for (int i = 0; i < count; ++i)
        list.append(Entry(prefix + QString::number(i)));
    return list;
}

} // namespace

class TestSharedPrinterList : public QObject
{
    Q_OBJECT

private slots:
    void copyOutAndWriteBack()
    {
        SharedPrinterList list;
        list.Replace(Entries(2));
        stPrinterManager entry;
        QVERIFY(list.CopyEntry(1, entry));
        QCOMPARE(entry.stInfo.strName, QString("q1"));
        QVERIFY(!list.CopyEntry(2, entry));
        QVERIFY(!list.CopyEntry(-1, entry));

        entry.stState.enCurrentStatus = en_Status_Ready;
        entry.stState.listErrorStatus << en_Error_PaperJamRear;
        QVERIFY(list.WriteBack(1, entry));
        QVERIFY(list.CopyEntry(1, entry));
        QCOMPARE(entry.stState.enCurrentStatus, int(en_Status_Ready));
        QCOMPARE(entry.stState.listErrorStatus, QList<int>() << en_Error_PaperJamRear);
    }

    void writeBackKeepsReadyAndSkipsAnotherPrinter()
    {
        SharedPrinterList list;
        list.Replace(Entries(1));
        list.SetAllReady();
        stPrinterManager entry;
        QVERIFY(list.CopyEntry(0, entry));
        entry.bReady = false;
        QVERIFY(list.WriteBack(0, entry));
        QVERIFY(list.CopyEntry(0, entry));
        QVERIFY(entry.bReady);

        list.Replace(Entries(1, "other"));
        QVERIFY(!list.WriteBack(0, Entry("q0")));
        QCOMPARE(list.Infos().at(0).strName, QString("other0"));
    }

    void snapshotIsNotChangedByLaterWrites()
    {
        SharedPrinterList list;
        list.Replace(Entries(2));
        const QList<stPrinterManager> before = list.Snapshot();
        stPrinterManager entry;
        QVERIFY(list.CopyEntry(0, entry));
        entry.stState.enCurrentStatus = en_Status_Printing;
        QVERIFY(list.WriteBack(0, entry));
        QCOMPARE(before.size(), 2);
        QCOMPARE(before.at(0).stState.enCurrentStatus, int(en_Status_Offline));
        QCOMPARE(list.Snapshot().at(0).stState.enCurrentStatus, int(en_Status_Printing));
    }

    // As in the programs: one worker per index copies its entry out and writes it back,
    // a manager replaces the list now and then, a reader takes snapshots and lets them go.
    void threadsShareTheList()
    {
        const int c_iWorkers = 3;
        SharedPrinterList list;
        list.Replace(Entries(c_iWorkers));
        std::atomic<bool> bStop{false};
        std::atomic<int> iWritten{0};
        std::vector<std::thread> threads;
        for (int index = 0; index < c_iWorkers; ++index) {
            threads.emplace_back([&list, &bStop, &iWritten, index] {
                for (int round = 0; !bStop; ++round) {
                    stPrinterManager entry;
                    if (!list.CopyEntry(index, entry))
                        continue;
                    entry.stState.enCurrentStatus = round % 2 ? en_Status_Ready : en_Status_Printing;
                    entry.stState.strFWVersion = QString("V%1").arg(round);
                    entry.stState.listErrorStatus = QList<int>() << round % 7;
                    if (list.WriteBack(index, entry))
                        ++iWritten;
                }
            });
        }
        threads.emplace_back([&list, &bStop] {
            for (int round = 0; !bStop; ++round) {
                list.Replace(Entries(c_iWorkers, round % 2 ? "q" : "r"));
                list.SetAllReady();
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
        int iSeen = 0;
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 500 || iWritten < 50) {
            const QList<stPrinterManager> snapshot = list.Snapshot();
            for (const stPrinterManager& entry : snapshot)
                iSeen += entry.stState.strFWVersion.size() + entry.stState.listErrorStatus.size();
            QCOMPARE(snapshot.size(), c_iWorkers);
            QVERIFY2(timer.elapsed() < 20000, "the workers wrote back too little");
        }
        bStop = true;
        for (std::thread& thread : threads)
            thread.join();
        QVERIFY(iSeen >= 0);
        QCOMPARE(list.Size(), c_iWorkers);
    }
};

QTEST_GUILESS_MAIN(TestSharedPrinterList)
#include "tst_sharedprinterlist.moc"
