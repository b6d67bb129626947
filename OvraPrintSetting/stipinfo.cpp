#include "stipinfo.h"

QString& stIPInfo::Address(int k)
{
    QString* const addresses[c_iAddressCount] = {&strIPAddress,    &strSubnetMask,  &strGateway,      &strPrimaryDNS,
                                                 &strSecondaryDNS, &strPrimaryWINS, &strSecondaryWINS};
    return *addresses[qBound(1, k, c_iAddressCount) - 1];
}

const QString& stIPInfo::Address(int k) const { return const_cast<stIPInfo*>(this)->Address(k); }
