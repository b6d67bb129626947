// The models the suite supports, and how a queue or a device URI is tied to one.
#pragma once

#include <QString>

struct stModelInfo {
    QString strModelCode;   // "P2200DN"
    QString strDisplayName; // "Ovra P2200DN": a PPD's *ModelName names it
    QString strPPDName;     // "Ovra_P2200DN.ppd"
    int iVendorId;
    int iProductId;
};

extern const int c_iModelCount;
extern const stModelInfo* const c_stModelInfoList; // c_iModelCount rows

// First row whose display name equals the name, ignoring case; null when none does.
const stModelInfo* FindModelByDisplayName(const QString& strName);

// First row whose model code followed by "?" stands in the URI (case-sensitive); null when none.
const stModelInfo* FindModelByDeviceURI(const QString& strURI);
