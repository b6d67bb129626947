// The device manager's passes over a CUPS configuration written by the test.
#include "ovrapaths.h"
#include "privatecups.h"
#include "printerinfo.h"
#include "sharedprinterlist.h"
#include "trddevicemanage.h"
#include "trdgetprinterstatus.h"
#include "installroot.h"

#include <QThread>
#include <QtTest>

namespace {

struct stQueue {
    QString name;
    QString uri;
    QString model; // *ModelName of its PPD
};

void WriteFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

void WriteCups(const QList<stQueue>& queues)
{
    QByteArray conf = "# written by the test\n";
    for (const stQueue& queue : queues) {
        conf += "<Printer " + queue.name.toUtf8() + ">\nDeviceURI " + queue.uri.toUtf8() + "\nState Idle\n</Printer>\n";
        WriteFile(OvraPaths::CupsPpdFile(queue.name),
                  "*PPD-Adobe: \"4.3\"\n*ModelName: \"" + queue.model.toUtf8() + "\"\n");
    }
    WriteFile(OvraPaths::CupsPrintersConf(), conf);
}

// The printers the list file names, one "name connection port model" line each.
QStringList Published()
{
    QStringList lines;
    for (const stPrinterInfo& info : GetPrinterInfo()) {
        const QString connection = info.iConnectType == en_Connect_USB       ? "USB"
                                   : info.iConnectType == en_Connect_Network ? "network"
                                                                             : "other";
        lines << QStringList({info.strName, connection, info.strPort, info.enType}).join(' ');
    }
    return lines;
}

} // namespace

class TestDeviceManage : public QObject
{
    Q_OBJECT
    QScopedPointer<TestInstallRoot> m_root;
    SharedPrinterList m_list;
    QScopedPointer<TrdDeviceManage> m_manager;

    const stQueue usbQueue{"ovra-usb", "usb://Ovra/P2200DN?serial=A1", "Ovra P2200DN"};
    const stQueue netQueue{"ovra-net", "socket://127.0.0.41:9100", "Ovra MK246"};

private slots:
    void init()
    {
        m_root.reset(new TestInstallRoot("devicemanage"));
        qputenv("CUPS_SERVERROOT", m_root->QFilePath("cups").toLocal8Bit());
        qputenv("CUPS_SERVER", m_root->QFilePath("no-cupsd.sock").toLocal8Bit());
        m_list.Replace({});
        m_manager.reset(new TrdDeviceManage);
        m_manager->Init(&m_list);
    }

    void cleanup()
    {
        for (TrdGetPrinterStatus* pWorker : m_manager->listStatusWorker)
            pWorker->bQuit = true;
        for (QThread* pThread : m_manager->listStatusThread) {
            pThread->quit();
            QVERIFY(pThread->wait(30000));
            delete pThread;
        }
        qDeleteAll(m_manager->listStatusWorker);
        m_manager.reset();
    }

    void onlySupportedUsbAndSocketQueues()
    {
        WriteCups({usbQueue,
                   {"ovra-ipp", "ipp://127.0.0.42/ipp/print", "Ovra P2200DN"},
                   {"acme", "usb://Acme/LJ100?serial=9", "Acme LaserJet 100"},
                   netQueue,
                   {"ovra-noppd", "usb://Ovra/P1100?serial=2", "Ovra P1100"}});
        QFile::remove(OvraPaths::CupsPpdFile("ovra-noppd"));
        m_manager->RunPass(true);

        QCOMPARE(Published(), QStringList({"ovra-usb USB Ovra/P2200DN?serial=A1 Ovra P2200DN",
                                           "ovra-net network 127.0.0.41 Ovra MK246"}));

        const QList<stPrinterManager> shared = m_list.Snapshot();
        QCOMPARE(shared.size(), 2);
        for (const stPrinterManager& entry : shared) {
            QCOMPARE(entry.stState.enCurrentStatus, int(en_Status_Offline));
            QVERIFY(entry.bReady);
            QVERIFY(entry.listJobState.isEmpty());
        }
        QCOMPARE(m_manager->listStatusWorker.size(), 2);
        QCOMPARE(m_manager->listStatusThread.size(), 2);
    }

    void heartbeatEveryPass()
    {
        WriteCups({});
        m_manager->RunPass(true);
        QFile file(OvraPaths::HeartbeatFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray first = file.readAll();
        file.close();
        QVERIFY2(QRegExp("\\[\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\]").exactMatch(first),
                 first.constData());
        QTest::qWait(20);
        m_manager->RunPass(false);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll() != first);
        QCOMPARE(m_manager->listStatusWorker.size(), 0); // no printer, no worker
    }

    void listFileWrittenOnlyOnChangeOrWhenMissing()
    {
        WriteCups({usbQueue, netQueue});
        m_manager->RunPass(true);
        const QString strList = OvraPaths::PrinterListFile();
        // A reader's view that the service must not overwrite while nothing changes.
        QSettings(strList, QSettings::IniFormat).setValue("Main/Marker", "kept");
        m_manager->RunPass(false);
        QCOMPARE(QSettings(strList, QSettings::IniFormat).value("Main/Marker").toString(), QString("kept"));

        QVERIFY(QFile::remove(strList));
        m_manager->RunPass(false);
        QCOMPARE(GetPrinterInfo().size(), 2);

        // A driver switch to another supported model is no change: the file keeps the old model.
        WriteCups({{usbQueue.name, usbQueue.uri, "Ovra P3300DN"}, netQueue});
        m_manager->RunPass(false);
        QCOMPARE(GetPrinterInfo().at(0).enType, QString("Ovra P2200DN"));

        // A new URI is a change: rewritten, every entry back to "Offline".
        stPrinterManager entry;
        QVERIFY(m_list.CopyEntry(1, entry));
        entry.stState.enCurrentStatus = en_Status_Ready;
        QVERIFY(m_list.WriteBack(1, entry));
        WriteCups({{usbQueue.name, usbQueue.uri, "Ovra P3300DN"},
                   {netQueue.name, "socket://127.0.0.43:9100", netQueue.model}});
        m_manager->RunPass(false);
        QCOMPARE(GetPrinterInfo().at(1).strPort, QString("127.0.0.43"));
        QCOMPARE(GetPrinterInfo().at(0).enType, QString("Ovra P3300DN"));
        QVERIFY(m_list.CopyEntry(1, entry));
        QCOMPARE(entry.stState.enCurrentStatus, int(en_Status_Offline));
    }

    void staleStatusFilesGo()
    {
        WriteCups({usbQueue, netQueue});
        m_manager->RunPass(true);
        for (const char* name : {"ovra-usb.dat", "ovra-net.dat", "gone.dat", "notes.txt"})
            WriteFile(OvraPaths::CfgDir() + name, "x");
        QDir().mkpath(OvraPaths::CfgDir() + "folder.dat");
        QVERIFY(QFile::link(OvraPaths::CfgDir() + "notes.txt", OvraPaths::CfgDir() + "link.dat"));

        m_manager->RunPass(false); // nothing changed: nothing deleted
        QVERIFY(QFile::exists(OvraPaths::CfgDir() + "gone.dat"));

        WriteCups({usbQueue, {"ovra-net-renamed", netQueue.uri, netQueue.model}});
        m_manager->RunPass(false);
        QVERIFY(QFile::exists(OvraPaths::CfgDir() + "ovra-usb.dat"));
        QVERIFY(!QFile::exists(OvraPaths::CfgDir() + "ovra-net.dat"));
        QVERIFY(!QFile::exists(OvraPaths::CfgDir() + "gone.dat"));
        QVERIFY(QFile::exists(OvraPaths::CfgDir() + "notes.txt"));
        QVERIFY(QFileInfo(OvraPaths::CfgDir() + "link.dat").isSymLink());
        QVERIFY(QDir(OvraPaths::CfgDir() + "folder.dat").exists());
        QCOMPARE(GetPrinterInfo().at(1).strName, QString("ovra-net-renamed"));
    }

    void workersOnlyEverGrow()
    {
        WriteCups({usbQueue, netQueue});
        m_manager->RunPass(true);
        QCOMPARE(m_manager->listStatusWorker.size(), 2);
        WriteCups({netQueue});
        m_manager->RunPass(false);
        QCOMPARE(m_list.Size(), 1);
        WriteCups({usbQueue, netQueue});
        m_manager->RunPass(false);
        QCOMPARE(m_manager->listStatusWorker.size(), 2);
        QCOMPARE(m_manager->listStatusWorker.at(1)->iPrinterIndex, 1);
        WriteCups({usbQueue, netQueue, {"ovra-third", "socket://127.0.0.44", "Ovra C5100"}});
        m_manager->RunPass(false);
        QCOMPARE(m_manager->listStatusWorker.size(), 3);
        QCOMPARE(m_manager->listStatusWorker.at(2)->iPrinterIndex, 2);
    }

    void inventoryFromARealCupsd()
    {
        PrivateCups cups(m_root->QFilePath("cupsd"));
        QString error;
        QVERIFY2(cups.Start(&error), qPrintable(error)); // points CUPS_SERVERROOT at its own folder
        const QString p2200 = PrivateCups::PpdPath("ovra-p2200dn");
        QVERIFY(cups.AddQueue("ovra-usb", usbQueue.uri, p2200, &error));
        QVERIFY(cups.AddQueue("ovra-ipp", "ipp://127.0.0.46/ipp/print", p2200, &error));
        QVERIFY(cups.AddQueue("acme", "socket://127.0.0.47:9100", PrivateCups::PpdPath("acme-laserjet-100"), &error));
        QVERIFY(cups.AddQueue("ovra-net", "socket://127.0.0.48:9100", PrivateCups::PpdPath("ovra-mk246"), &error));
        m_manager->RunPass(true);
        // cupsd keeps its queues sorted by name.
        QCOMPARE(Published(), QStringList({"ovra-net network 127.0.0.48 Ovra MK246",
                                           "ovra-usb USB Ovra/P2200DN?serial=A1 Ovra P2200DN"}));

        // Another supported driver for the same queue: no change, nothing rewritten.
        QVERIFY(cups.AddQueue("ovra-net", "socket://127.0.0.48:9100", p2200, &error));
        m_manager->RunPass(false);
        QCOMPARE(GetPrinterInfo().at(0).enType, QString("Ovra MK246"));

        // A new device URI is a change.
        QVERIFY(cups.AddQueue("ovra-net", "socket://127.0.0.49:9100", p2200, &error));
        m_manager->RunPass(false);
        QCOMPARE(GetPrinterInfo().at(0).strPort, QString("127.0.0.49"));
        QCOMPARE(GetPrinterInfo().at(0).enType, QString("Ovra P2200DN"));

        // CUPS renames by deleting and adding: the new name is listed, the old one gone.
        QCOMPARE(cups.Run("lpadmin", {"-x", "ovra-usb"}), 0);
        QVERIFY(cups.AddQueue("ovra-usb-2", usbQueue.uri, p2200, &error));
        m_manager->RunPass(false);
        QCOMPARE(GetPrinterInfo().size(), 2);
        QCOMPARE(GetPrinterInfo().at(1).strName, QString("ovra-usb-2"));
        cups.Stop();
    }

    void unreadableConfiguration()
    {
        WriteCups({usbQueue, netQueue});
        m_manager->RunPass(true);
        WriteFile(OvraPaths::CfgDir() + "ovra-usb.dat", "x");
        // printers.conf gone: the ".O" copy serves.
        QVERIFY(QFile::rename(OvraPaths::CupsPrintersConf(), OvraPaths::CupsPrintersConf() + ".O"));
        m_manager->RunPass(false);
        QCOMPARE(m_list.Size(), 2);
        QVERIFY(QFile::exists(OvraPaths::CfgDir() + "ovra-usb.dat"));
        // Neither: no printers, every status file gone, the list file says Count 0.
        QVERIFY(QFile::remove(OvraPaths::CupsPrintersConf() + ".O"));
        m_manager->RunPass(false);
        QCOMPARE(m_list.Size(), 0);
        QVERIFY(!QFile::exists(OvraPaths::CfgDir() + "ovra-usb.dat"));
        QCOMPARE(QSettings(OvraPaths::PrinterListFile(), QSettings::IniFormat).value("Main/Count").toString(),
                 QString("0"));
    }
};

QTEST_GUILESS_MAIN(TestDeviceManage)
#include "tst_devicemanage.moc"
