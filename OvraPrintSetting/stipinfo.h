// The network address settings of one printer as the network page reads and writes them.
#pragma once

#include <QString>

const int c_iAddressCount = 7; // IP, mask, gateway, two DNS, two WINS servers
const int c_iIPModeDHCP = 0;
const int c_iIPModeStatic = 1;
const int c_iIPModeUnknown = -1; // no mode record came: the mode shown stays

struct stIPInfo {
    // 1: the printer uses record tags 0x4000-0x400F; 0: 0x4010-0x401F. A printer
    // that does not tell uses block 1.
    int iTagBlock = 1;
    int iIPMode = c_iIPModeUnknown; // 0 DHCP, 1 Static (index of the mode chooser)
    QString strIPAddress;
    QString strSubnetMask;
    QString strGateway;
    QString strPrimaryDNS;
    QString strSecondaryDNS;
    QString strPrimaryWINS;
    QString strSecondaryWINS;

    // Address k (1..7) in the order above.
    QString& Address(int k);
    const QString& Address(int k) const;
};
