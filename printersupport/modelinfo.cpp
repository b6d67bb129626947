#include "modelinfo.h"

#include <vector>

namespace {

const int c_iOvraVendorId = 0x3A53;

struct stModelRow {
    const char* szCode;
    int iProductId;
};

// Product data. Row order matters for the device-URI lookup (first match wins): a code
// whose "code?" is the tail of another's ("K246?" of "MK246?") comes after that other.
const stModelRow c_stModelRows[] = {
    {"P1100", 0x0110},    {"P1100W", 0x0111},  {"P1200", 0x0120},   {"P1200W", 0x0121},   {"P2200DN", 0x0122},
    {"P2200DW", 0x0123},  {"P3300DN", 0x0130}, {"P3300DW", 0x0131}, {"P4400DN", 0x0140},  {"P4400DW", 0x0141},
    {"M1150", 0x0210},    {"M1150W", 0x0211},  {"M1250", 0x0220},   {"M1250W", 0x0221},   {"M2250DN", 0x0222},
    {"M2250DW", 0x0223},  {"M3350DN", 0x0230}, {"M3350DW", 0x0231}, {"M3360ADW", 0x0232}, {"M4450DN", 0x0240},
    {"M4450DW", 0x0241},  {"MK246", 0x0246},   {"K246", 0x0146},    {"MK246W", 0x0247},   {"K246W", 0x0147},
    {"C5100", 0x0410},    {"C5100W", 0x0411},  {"C5200DN", 0x0420}, {"C5200DW", 0x0421},  {"M5250ADW", 0x0250},
    {"M5260ADW", 0x0260}, {"P5500DN", 0x0150}, {"P6600DN", 0x0160}, {"M6650ADW", 0x0265},
};

std::vector<stModelInfo> BuildModelTable()
{
    std::vector<stModelInfo> rows;
    for (const stModelRow& row : c_stModelRows) {
        const QString strCode = QString::fromLatin1(row.szCode);
        rows.push_back({strCode, "Ovra " + strCode, "Ovra_" + strCode + ".ppd", c_iOvraVendorId, row.iProductId});
    }
    return rows;
}

const std::vector<stModelInfo>& ModelTable()
{
    static const std::vector<stModelInfo> table = BuildModelTable();
    return table;
}

} // namespace

const int c_iModelCount = sizeof(c_stModelRows) / sizeof(c_stModelRows[0]);
const stModelInfo* const c_stModelInfoList = ModelTable().data();

const stModelInfo* FindModelByDisplayName(const QString& strName)
{
    for (const stModelInfo& model : ModelTable()) {
        if (model.strDisplayName.compare(strName, Qt::CaseInsensitive) == 0)
            return &model;
    }
    return nullptr;
}

const stModelInfo* FindModelByDeviceURI(const QString& strURI)
{
    for (const stModelInfo& model : ModelTable()) {
        if (strURI.contains(model.strModelCode + "?", Qt::CaseSensitive))
            return &model;
    }
    return nullptr;
}
