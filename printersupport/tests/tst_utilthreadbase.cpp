// Worker sleeps and folder creation.
#include "utilthreadbase.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

class TestUtilThreadBase : public QObject
{
    Q_OBJECT

    static qint64 Timed(UtilThreadBase& worker, int ms, bool& bResult)
    {
        QElapsedTimer timer;
        timer.start();
        bResult = worker.WaitForSleep(ms);
        return timer.elapsed();
    }

private slots:
    void flagsStartCleared()
    {
        UtilThreadBase worker;
        QVERIFY(!worker.bRunning);
        QVERIFY(!worker.bQuit);
        QCOMPARE(QString(worker.metaObject()->className()), QString("UtilThreadBase"));
    }

    void sleepsTheWholeTimeInSlices()
    {
        UtilThreadBase worker;
        bool bResult = true;
        const qint64 elapsed = Timed(worker, 1200, bResult);
        QVERIFY(!bResult);
        QVERIFY2(elapsed >= 1190 && elapsed < 1600, qPrintable(QString::number(elapsed)));
    }

    void quitBeforeTheCallReturnsAtOnce()
    {
        UtilThreadBase worker;
        worker.bQuit = true;
        bool bResult = false;
        QVERIFY(Timed(worker, 1200, bResult) < 100);
        QVERIFY(bResult);
        QVERIFY(Timed(worker, 0, bResult) < 50);
        QVERIFY(bResult);
    }

    void aShortWaitIsNeverCut()
    {
        UtilThreadBase worker;
        worker.bQuit = true;
        bool bResult = false;
        const qint64 elapsed = Timed(worker, 300, bResult);
        QVERIFY(bResult);
        QVERIFY2(elapsed >= 290 && elapsed < 600, qPrintable(QString::number(elapsed)));
    }

    void quitFromAnotherThreadIsSeenWithinASlice()
    {
        UtilThreadBase worker;
        QThread* setter = QThread::create([&worker] {
            QThread::msleep(700);
            worker.bQuit = true;
        });
        setter->start();
        bool bResult = false;
        const qint64 elapsed = Timed(worker, 10000, bResult);
        setter->wait();
        delete setter;
        QVERIFY(bResult);
        QVERIFY2(elapsed >= 900 && elapsed < 1500, qPrintable(QString::number(elapsed)));
    }

    void makePathExist()
    {
        QTemporaryDir root;
        const QString deep = root.path() + "/a/b/c";
        QVERIFY(MakePathExist(deep));
        QVERIFY(QDir(deep).exists());
        QVERIFY(MakePathExist(deep));
        QFile blocker(root.path() + "/file");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QVERIFY(!MakePathExist(root.path() + "/file/sub"));
    }
};

QTEST_GUILESS_MAIN(TestUtilThreadBase)
#include "tst_utilthreadbase.moc"
