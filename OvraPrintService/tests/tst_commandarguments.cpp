// Queue names read from the CUPS configuration reach lpstat as plain arguments: a name
// that a shell would run as a command stays a name. A stand-in lpstat records its argv.
#include "ovrapaths.h"
#include "sharedprinterlist.h"
#include "trdgetprinterstatus.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

const char c_szEvilName[] = "q$(touch${IFS}PWNED)\"';touch PWNED2;'";

} // namespace

class TestCommandArguments : public QObject
{
    Q_OBJECT
    QTemporaryDir m_root;
    SharedPrinterList m_list;

    QStringList RecordedCalls()
    {
        QFile file(m_root.path() + "/calls");
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }

private slots:
    void initTestCase()
    {
        qputenv("OVRA_INSTALL_ROOT", (m_root.path() + "/root").toLocal8Bit());
        QDir().mkpath(m_root.path() + "/bin");
        // One line per call: the arguments separated by '|'. Prints a printing job.
        QFile fake(m_root.path() + "/bin/lpstat");
        QVERIFY(fake.open(QIODevice::WriteOnly));
        fake.write("#!/bin/sh\n"
                   "(IFS='|'; echo \"$*\") >> \"" + m_root.path().toUtf8() + "/calls\"\n"
                   "echo 'printer q now printing q-1.  enabled since today'\n"
                   "printf 'q-1 root 10 Mon 07 Dec 2026\\n\\tAlerts: job-printing\\n'\n");
        fake.close();
        QFile::setPermissions(fake.fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("PATH", (m_root.path() + "/bin:").toLocal8Bit() + qgetenv("PATH"));
        QDir::setCurrent(m_root.path());
    }

    void queueNamesStayArguments()
    {
        stPrinterManager entry;
        entry.stInfo.strName = QString::fromUtf8(c_szEvilName);
        entry.stInfo.iConnectType = en_Connect_Network;
        entry.stInfo.strPort = "127.0.0.49";
        entry.stInfo.strURI = "socket://127.0.0.49";
        entry.stState.enCurrentStatus = en_Status_Ready;
        m_list.Replace({entry});
        TrdGetPrinterStatus worker;
        worker.Init(0, &m_list);
        QVERIFY(m_list.CopyEntry(0, worker.stCurrent));

        int iPeriod = 0;
        QVERIFY(worker.CheckNeedStatus(iPeriod));   // "printing" in the first line
        QCOMPARE(iPeriod, 1000);
        worker.CheckJobStatus();
        QCOMPARE(worker.stCurrent.listJobState.size(), 1);

        const QString name = QString::fromUtf8(c_szEvilName);
        const QString user = QDir::homePath().section('/', -1);
        QCOMPARE(RecordedCalls(), (QStringList{"-p|" + name, "-u|" + user + "|-W|all|-l|-o|" + name}));
        QVERIFY(!QFile::exists(m_root.path() + "/PWNED"));
        QVERIFY(!QFile::exists(m_root.path() + "/PWNED2"));
        // The scratch files are gone.
        QVERIFY(QDir(OvraPaths::CfgDir()).entryList({"*.tmp"}, QDir::Files).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCommandArguments)
#include "tst_commandarguments.moc"
