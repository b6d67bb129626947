// The CUPS configuration as the print service's device manager meets it when it
// cannot be read (a folder in place of printers.conf) or was cut while being
// written, and a printer list file that someone else damaged: no pass lists a
// queue whose block it has not read to its end, the status files and the list
// file follow what the pass saw, and everything comes back with a whole file.
#include "cupsconfig.h"
#include "ovrapaths.h"
#include "printerinfo.h"
#include "sharedprinterlist.h"
#include "trddevicemanage.h"
#include "trdgetprinterstatus.h"
#include "installroot.h"

#include <QThread>
#include <QtTest>

namespace {

// As cupsd writes it, with a default printer among the queues.
const QByteArray c_printersConf = "# Printer configuration file for CUPS v2.4.2\n"
                                  "# Written by cupsd\n"
                                  "NextPrinterId 4\n"
                                  "<Printer desk>\n"
                                  "PrinterId 1\n"
                                  "Info Desk printer\n"
                                  "MakeModel Ovra P2200DN\n"
                                  "DeviceURI usb://Ovra/P2200DN?serial=DESK000001\n"
                                  "State Idle\n"
                                  "StateTime 1700000000\n"
                                  "Accepting Yes\n"
                                  "Shared No\n"
                                  "JobSheets none none\n"
                                  "OpPolicy default\n"
                                  "ErrorPolicy stop-printer\n"
                                  "</Printer>\n"
                                  "<DefaultPrinter office>\n"
                                  "PrinterId 2\n"
                                  "Info Office\n"
                                  "DeviceURI ovrasocket://127.0.0.231:9100\n"
                                  "State Idle\n"
                                  "Accepting Yes\n"
                                  "</DefaultPrinter>\n"
                                  "<Printer hall>\n"
                                  "PrinterId 3\n"
                                  "DeviceURI socket://127.0.0.232:9100\n"
                                  "State Idle\n"
                                  "</Printer>\n";
const char* const c_szQueues[] = {"desk", "office", "hall"};

void WriteFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(content), qint64(content.size()));
}

QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList Names(const QList<stPrinterInfo>& list)
{
    QStringList names;
    for (const stPrinterInfo& info : list)
        names << info.strName;
    return names;
}

// How many queue blocks end (their closing line read whole) within the first `length` bytes.
int WholeBlocks(int length)
{
    int count = 0;
    for (const char* tag : {"</Printer>", "</DefaultPrinter>"}) {
        for (int at = c_printersConf.indexOf(tag); at >= 0; at = c_printersConf.indexOf(tag, at + 1))
            count += at + int(qstrlen(tag)) <= length ? 1 : 0;
    }
    return count;
}

} // namespace

class TestFaultsCupsConfig : public QObject
{
    Q_OBJECT
    QScopedPointer<TestInstallRoot> m_root;
    SharedPrinterList m_list;
    QScopedPointer<TrdDeviceManage> m_manager;
    QList<stPrinterInfo> m_whole;

    QString Conf() const { return OvraPaths::CupsPrintersConf(); }

    // Of the network queues only: the USB queue's worker finds no printer on this
    // machine and drops that queue's file itself.
    void WriteStatusFiles()
    {
        for (const char* queue : {"office", "hall"})
            WriteFile(OvraPaths::StatusFile(queue), "status of " + QByteArray(queue));
    }

    int StatusFiles() const
    {
        return QDir(OvraPaths::CfgDir()).entryList(QStringList() << "*.dat", QDir::Files).size();
    }

private slots:
    void init()
    {
        m_root.reset(new TestInstallRoot("cupsconfig"));
        const QByteArray root = m_root->QPath().toLocal8Bit();
        qputenv("OVRA_INSTALL_ROOT", root);
        qputenv("CUPS_SERVERROOT", root + "/cups");
        qputenv("CUPS_SERVER", root + "/no-cupsd.sock"); // the workers find no scheduler
        for (const char* queue : c_szQueues)
            WriteFile(OvraPaths::CupsPpdFile(queue), "*PPD-Adobe: \"4.3\"\n*ModelName: \"Ovra P2200DN\"\n");
        WriteFile(Conf(), c_printersConf);
        m_whole = ReadCupsPrinters(true);
        QCOMPARE(Names(m_whole), QStringList({"desk", "office", "hall"}));
        m_list.Replace({});
        m_manager.reset(new TrdDeviceManage);
        m_manager->Init(&m_list);
    }

    // The status workers the passes started run until told to stop; each ends its cycle first.
    void cleanup()
    {
        m_list.Replace({});
        for (TrdGetPrinterStatus* pWorker : m_manager->listStatusWorker)
            pWorker->bQuit = true;
        for (QThread* pThread : m_manager->listStatusThread) {
            pThread->quit();
            QVERIFY(pThread->wait(60000));
        }
        qDeleteAll(m_manager->listStatusThread);
        qDeleteAll(m_manager->listStatusWorker);
        m_manager.reset();
    }

    // printers.conf cut at every byte: only queues whose block was read to its closing
    // line are listed, each exactly as in the whole file (never a cut URI or name).
    void cutAnywhereListsWholeBlocksOnly()
    {
        for (int length = 0; length <= c_printersConf.size(); ++length) {
            WriteFile(Conf(), c_printersConf.left(length));
            const QList<stPrinterInfo> listed = ReadCupsPrinters(true);
            QVERIFY2(listed == m_whole.mid(0, WholeBlocks(length)), qPrintable(QString("cut at %1").arg(length)));
        }
    }

    void unreadableThenCutThenWhole()
    {
        m_manager->RunPass(true);
        WriteStatusFiles();
        const QByteArray listFile = ReadBytes(OvraPaths::PrinterListFile());
        QCOMPARE(Names(GetPrinterInfo()), QStringList({"desk", "office", "hall"}));

        // A folder where printers.conf belongs: the ".O" copy serves, nothing changes.
        QVERIFY(QFile::remove(Conf()));
        QVERIFY(QDir().mkpath(Conf()));
        WriteFile(Conf() + ".O", c_printersConf);
        m_manager->RunPass(false);
        QCOMPARE(m_list.Size(), 3);
        QCOMPARE(StatusFiles(), 2);
        QCOMPARE(ReadBytes(OvraPaths::PrinterListFile()), listFile);

        // Neither readable: the pass sees no printers; the list file says so, whole.
        QVERIFY(QFile::remove(Conf() + ".O"));
        m_manager->RunPass(false);
        QCOMPARE(m_list.Size(), 0);
        QCOMPARE(StatusFiles(), 0);
        QCOMPARE(GetPrinterInfo().size(), 0);

        // Cut inside the third block: the two whole queues come back, nothing of the third.
        QVERIFY(QDir(Conf()).removeRecursively());
        WriteFile(Conf(), c_printersConf.left(c_printersConf.indexOf("DeviceURI socket://127.0.0.232") + 20));
        m_manager->RunPass(false);
        QCOMPARE(GetPrinterInfo(), m_whole.mid(0, 2));
        QCOMPARE(m_list.Size(), 2);

        WriteFile(Conf(), c_printersConf);
        m_manager->RunPass(false);
        QCOMPARE(GetPrinterInfo(), m_whole);
        QCOMPARE(m_list.Size(), 3);
    }

    // Garbage in the list file stays until the queues change (the service writes the file
    // on a change or when it is missing); then readers get the whole list again.
    void damagedListFileIsRewrittenOnTheNextChange()
    {
        m_manager->RunPass(true);
        static const char c_szGarbage[] = "\x00\x01\xff[Main\nCount=70000\n[printer_0]\nName=";
        const QByteArray garbage = QByteArray(c_szGarbage, sizeof(c_szGarbage) - 1) + QByteArray(500, '\xfe');
        WriteFile(OvraPaths::PrinterListFile(), garbage);
        m_manager->RunPass(false);
        QCOMPARE(ReadBytes(OvraPaths::PrinterListFile()), garbage);

        WriteFile(Conf(), c_printersConf.left(c_printersConf.indexOf("<Printer hall>")));
        m_manager->RunPass(false);
        QCOMPARE(GetPrinterInfo(), m_whole.mid(0, 2));
    }
};

QTEST_GUILESS_MAIN(TestFaultsCupsConfig)
#include "tst_faults_cupsconfig.moc"
