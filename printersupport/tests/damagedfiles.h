// Printer list files and status files as a reader may find them after a crash, a
// full disk or a stray editor: cut, empty or garbage. The tests of every program
// that reads them (tray monitor, settings tool, ovra-status) use the same set.
#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <QtTest>

// The list file of two printers as the print service writes it: "desk" (USB) and
// "hall" (network, 127.0.0.233).
inline QByteArray WholeListFile()
{
    return "[Main]\n"
           "Count=2\n"
           "\n"
           "[printer_0]\n"
           "ConnectType=1\n"
           "Model=Ovra P2200DN\n"
           "Name=desk\n"
           "Port=Ovra/P2200DN?serial=DESK000001\n"
           "URI=usb://Ovra/P2200DN?serial=DESK000001\n"
           "\n"
           "[printer_1]\n"
           "ConnectType=2\n"
           "Model=Ovra MK246\n"
           "Name=hall\n"
           "Port=127.0.0.233\n"
           "URI=socket://127.0.0.233:9100\n";
}

struct stDamagedList {
    const char* szCase;
    QByteArray bytes;
    QStringList listNames; // the printers a reader lists: up to "Count", missing keys empty
};

inline QList<stDamagedList> DamagedListFiles()
{
    const QByteArray whole = WholeListFile();
    static const char c_szGarbage[] = "\x7f"
                                      "ELF\x02\x01\x01\x00\x00\x00[\xff\xfe=\n=\n[[]]\nCount\n";
    return {
        {"empty", QByteArray(), {}},
        {"garbage", QByteArray(c_szGarbage, sizeof(c_szGarbage) - 1) + QByteArray(3000, '\x9c'), {}},
        {"cut in the count line", whole.left(whole.indexOf("Count=") + 3), {}},
        {"cut in the second printer", whole.left(whole.indexOf("Name=hall") + 3), {"desk", ""}},
        {"count beyond the groups", QByteArray(whole).replace("Count=2", "Count=3"), {"desk", "hall", ""}},
    };
}

// Rows "bytes" and "names" of a data-driven test, one per damaged list file.
inline void AddDamagedListRows()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("names");
    for (const stDamagedList& damaged : DamagedListFiles())
        QTest::newRow(damaged.szCase) << damaged.bytes << damaged.listNames;
}

struct stDamagedStatus {
    const char* szCase;
    QByteArray bytes;
};

// Damaged forms of a whole status file; none of them decodes.
inline QList<stDamagedStatus> DamagedStatusFiles(const QByteArray& whole)
{
    return {
        {"empty", QByteArray()},
        {"cut in the texts", whole.left(16)},
        {"cut in the last supply item", whole.left(whole.size() - 1)},
        {"garbage", QByteArray(300, '\xff')}, // a vendor name of 65535 bytes
    };
}

// Rows "bytes" of a data-driven test, one per damaged form of the whole status file.
inline void AddDamagedStatusRows(const QByteArray& whole)
{
    QTest::addColumn<QByteArray>("bytes");
    for (const stDamagedStatus& damaged : DamagedStatusFiles(whole))
        QTest::newRow(damaged.szCase) << damaged.bytes;
}
