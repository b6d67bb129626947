// One printer as the suite knows it, and the printer list file the print service
// publishes for the other programs (cfg/printerlist.ini).
#pragma once

#include <QList>
#include <QString>

enum enConnectType {
    en_Connect_Unknown = 0,
    en_Connect_USB = 1,
    en_Connect_Network = 2,
};

struct stPrinterInfo {
    QString strName; // CUPS queue name
    QString enType;  // model display name from the queue's PPD
    int iConnectType = en_Connect_Unknown;
    QString strPort; // USB: device URI without "usb://"; network: the IPv4 address
    QString strURI;  // CUPS device URI

    bool operator==(const stPrinterInfo& other) const;
    bool operator!=(const stPrinterInfo& other) const { return !(*this == other); }
};

// Writes the list file when bForce is set or the file is missing. Groups beyond the new
// count stay in the file; readers stop at "Count". Returns false when the file could
// not be written.
bool SavePrinterInfo(const QList<stPrinterInfo>& listPrinter, bool bForce);

// Reads the list file; a missing file is an empty list.
QList<stPrinterInfo> GetPrinterInfo();
