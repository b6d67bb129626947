// The model table and the printer list file, in a temporary install root.
#include "modelinfo.h"
#include "ovrapaths.h"
#include "printerinfo.h"
#include "installroot.h"

#include <QSet>
#include <QtTest>

#include <unistd.h>

namespace {

stPrinterInfo Printer(const QString& name, int type, const QString& uri)
{
    stPrinterInfo info;
    info.strName = name;
    info.enType = "Ovra P2200DN";
    info.iConnectType = type;
    info.strURI = uri;
    info.strPort = type == en_Connect_USB ? uri.mid(6) : uri.section('/', 2, 2).section(':', 0, 0);
    return info;
}

// The other programs read the list file from disk, while this process's QSettings would
// answer from its cache: an older time stamp makes the next reader read the file.
void ReadFromDiskNext()
{
    QFile file(OvraPaths::PrinterListFile());
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
}

void WriteRaw(const QByteArray& content)
{
    QDir().mkpath(OvraPaths::CfgDir());
    QFile file(OvraPaths::PrinterListFile());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

} // namespace

class TestPrinterList : public QObject
{
    Q_OBJECT
    TestInstallRoot m_root{"printerlist"};

private slots:
    void init() { QFile::remove(OvraPaths::PrinterListFile()); }

    void modelTableIsConsistent()
    {
        QCOMPARE(c_iModelCount, 34);
        QSet<QString> codes;
        QSet<int> products;
        for (int i = 0; i < c_iModelCount; ++i) {
            const stModelInfo& row = c_stModelInfoList[i];
            QVERIFY(QRegExp("[A-Z0-9]+").exactMatch(row.strModelCode));
            QCOMPARE(row.strDisplayName, "Ovra " + row.strModelCode);
            QCOMPARE(row.strPPDName, "Ovra_" + row.strModelCode + ".ppd");
            QCOMPARE(row.iVendorId, c_stModelInfoList[0].iVendorId);
            codes.insert(row.strModelCode);
            products.insert(row.iProductId);
        }
        QCOMPARE(codes.size(), 34);
        QCOMPARE(products.size(), 34);
    }

    void everyModelsOwnURIFindsItsRow()
    {
        // Holds only while a code whose "code?" ends another's stands after that other.
        for (int i = 0; i < c_iModelCount; ++i) {
            const stModelInfo& row = c_stModelInfoList[i];
            QCOMPARE(FindModelByDeviceURI("usb://Ovra/" + row.strModelCode + "?serial=1"), &row);
        }
    }

    void uriLookupRules()
    {
        const stModelInfo* pLong = FindModelByDeviceURI("usb://Ovra/MK246?serial=A");
        QVERIFY(pLong);
        QCOMPARE(pLong->strModelCode, QString("MK246")); // "K246?" is in there too; the earlier row wins
        const stModelInfo* pShort = FindModelByDeviceURI("usb://Ovra/K246?serial=A");
        QVERIFY(pShort);
        QCOMPARE(pShort->strModelCode, QString("K246"));
        QVERIFY(!FindModelByDeviceURI("usb://Ovra/mk246?serial=A")); // case matters
        QVERIFY(!FindModelByDeviceURI("usb://Ovra/MK246/serial=A")); // "?" must follow
        QVERIFY(!FindModelByDeviceURI("socket://127.0.0.2:9100"));
        QVERIFY(!FindModelByDeviceURI(QString()));
    }

    void displayNameLookupIgnoresCase()
    {
        const stModelInfo* pRow = FindModelByDisplayName("ovra p2200dn");
        QVERIFY(pRow);
        QCOMPARE(pRow->strModelCode, QString("P2200DN"));
        QVERIFY(FindModelByDisplayName("OVRA M6650ADW"));
        QVERIFY(!FindModelByDisplayName("Ovra P2200"));
        QVERIFY(!FindModelByDisplayName("Acme LaserJet 100"));
    }

    void missingFileIsEmpty() { QVERIFY(GetPrinterInfo().isEmpty()); }

    void roundTripKeepsEveryField()
    {
        QList<stPrinterInfo> list = {Printer("Office", en_Connect_USB, "usb://Ovra/P2200DN?serial=AB=C&x=1"),
                                     Printer("Hall Printer", en_Connect_Network, "socket://127.0.0.2:9100"),
                                     Printer(QString::fromUtf8("Принтер"), en_Connect_Unknown, "lpd://h/q")};
        QVERIFY(SavePrinterInfo(list, true));
        QCOMPARE(GetPrinterInfo(), list);
        QCOMPARE(GetPrinterInfo().at(0).strPort, QString("Ovra/P2200DN?serial=AB=C&x=1"));
    }

    void charactersBeyondTheBmpSurviveTheFile()
    {
        const QList<stPrinterInfo> list = {Printer(QString::fromUtf8("Laser \xF0\x9F\x96\xA8 \xC3\xA9t\xC3\xA9"),
                                                   en_Connect_USB,
                                                   QString::fromUtf8("usb://Ovra/P2200DN?serial=\xF0\x9D\x9F\x99")),
                                           Printer("Office", en_Connect_Network, "socket://127.0.0.2:9100")};
        QVERIFY(SavePrinterInfo(list, true));
        ReadFromDiskNext();
        QCOMPARE(GetPrinterInfo(), list);
        QFile file(OvraPaths::PrinterListFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("Name=Office\n")); // plain names stay plain text
    }

    void notForcedLeavesAnExistingFile()
    {
        QVERIFY(SavePrinterInfo({Printer("A", 1, "usb://Ovra/P1100?serial=1")}, true));
        QVERIFY(SavePrinterInfo({Printer("B", 1, "usb://Ovra/P1100?serial=2")}, false));
        QCOMPARE(GetPrinterInfo().at(0).strName, QString("A"));
        QFile::remove(OvraPaths::PrinterListFile());
        QVERIFY(SavePrinterInfo({Printer("B", 1, "usb://Ovra/P1100?serial=2")}, false)); // missing: written
        QCOMPARE(GetPrinterInfo().at(0).strName, QString("B"));
    }

    void shorterListLeavesStaleGroups()
    {
        QVERIFY(SavePrinterInfo({Printer("A", 1, "usb://Ovra/P1100?serial=1"), Printer("B", 2, "socket://127.0.0.3"),
                                 Printer("C", 2, "socket://127.0.0.4")},
                                true));
        QVERIFY(SavePrinterInfo({Printer("X", 2, "socket://127.0.0.5"), Printer("Y", 2, "socket://127.0.0.6")}, true));
        const QList<stPrinterInfo> list = GetPrinterInfo();
        QCOMPARE(list.size(), 2);
        QCOMPARE(list.at(1).strName, QString("Y"));
        QSettings raw(OvraPaths::PrinterListFile(), QSettings::IniFormat);
        QCOMPARE(raw.value("printer_2/Name").toString(), QString("C"));
    }

    void countRules()
    {
        WriteRaw("[Main]\nCount=0\n[printer_0]\nName=A\n");
        QVERIFY(GetPrinterInfo().isEmpty());
        WriteRaw("[Main]\nCount=abc\n[printer_0]\nName=A\n");
        QVERIFY(GetPrinterInfo().isEmpty());
        WriteRaw("[Main]\nCount=-4\n");
        QVERIFY(GetPrinterInfo().isEmpty());
        WriteRaw("[printer_0]\nName=A\n");
        QVERIFY(GetPrinterInfo().isEmpty());

        // Groups missing below Count read as empty printers of type 0.
        WriteRaw("[Main]\nCount=3\n[printer_0]\nName=A\nConnectType=1\n[printer_2]\nName=C\nConnectType=x\n");
        const QList<stPrinterInfo> list = GetPrinterInfo();
        QCOMPARE(list.size(), 3);
        QCOMPARE(list.at(0).iConnectType, 1);
        QCOMPARE(list.at(1), stPrinterInfo());
        QCOMPARE(list.at(2).strName, QString("C"));
        QCOMPARE(list.at(2).iConnectType, 0);
    }

    void damagedCountIsBounded()
    {
        WriteRaw("[Main]\nCount=2000000000\n[printer_0]\nName=A\n");
        const QList<stPrinterInfo> list = GetPrinterInfo();
        QVERIFY(list.size() <= 256);
        QCOMPARE(list.at(0).strName, QString("A"));
    }

    void garbageFileReadsEmpty()
    {
        WriteRaw(QByteArray("\x00\xff\x01[[[==\n\n]", 12));
        QVERIFY(GetPrinterInfo().isEmpty());
    }

    void onlyTheServiceMayWrite()
    {
        QVERIFY(SavePrinterInfo({Printer("A", 1, "usb://Ovra/P1100?serial=1")}, true));
        const QFileDevice::Permissions perms = QFile::permissions(OvraPaths::PrinterListFile());
        QVERIFY(perms & QFileDevice::ReadOther);
        QVERIFY(perms & QFileDevice::ReadGroup);
        QVERIFY(!(perms & QFileDevice::WriteOther));
        QVERIFY(!(perms & QFileDevice::WriteGroup));
        QVERIFY(!(perms & QFileDevice::ExeOther));
    }

    void unwritableFolderIsReported()
    {
        if (geteuid() == 0)
            QSKIP("root writes anywhere");
        QVERIFY(QDir().mkpath(OvraPaths::CfgDir()));
        QFile::setPermissions(OvraPaths::CfgDir(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        QVERIFY(!SavePrinterInfo({Printer("A", 1, "usb://Ovra/P1100?serial=1")}, true));
        QFile::setPermissions(OvraPaths::CfgDir(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
};

QTEST_GUILESS_MAIN(TestPrinterList)
#include "tst_printerlist.moc"
