#include "utilprinterstatus.h"

#include <cstring>

namespace {

// Bounds-checked walk through a response: every read first checks that its field
// ends inside the buffer.
class ResponseReader
{
public:
    ResponseReader(const unsigned char* pBuf, unsigned long ulLength) : m_pBuf(pBuf), m_ulLength(ulLength) {}

    bool Has(unsigned long n) const { return n <= m_ulLength - m_ulPos; }
    bool Skip(unsigned long n)
    {
        if (!Has(n))
            return false;
        m_ulPos += n;
        return true;
    }
    bool U8(unsigned int& value)
    {
        if (!Has(1))
            return false;
        value = m_pBuf[m_ulPos++];
        return true;
    }
    bool U16(unsigned int& value)
    {
        if (!Has(2))
            return false;
        value = (unsigned(m_pBuf[m_ulPos]) << 8) | m_pBuf[m_ulPos + 1];
        m_ulPos += 2;
        return true;
    }
    // n bytes; *ppBytes points into the buffer.
    bool Bytes(unsigned long n, const unsigned char** ppBytes)
    {
        if (!Has(n))
            return false;
        *ppBytes = m_pBuf + m_ulPos;
        m_ulPos += n;
        return true;
    }

private:
    const unsigned char* m_pBuf;
    unsigned long m_ulLength;
    unsigned long m_ulPos = 0;
};

// Text up to the first zero byte or its length, cut to the field's capacity.
QByteArray TextField(const unsigned char* pBytes, unsigned long n, int capacity)
{
    const unsigned long limit = qMin<unsigned long>(n, capacity);
    const void* pZero = std::memchr(pBytes, 0, limit);
    const unsigned long len = pZero ? static_cast<const unsigned char*>(pZero) - pBytes : limit;
    return QByteArray(reinterpret_cast<const char*>(pBytes), int(len));
}

bool ReadText16(ResponseReader& reader, QByteArray& text)
{
    unsigned int n = 0;
    const unsigned char* pBytes = nullptr;
    if (!reader.U16(n) || !reader.Bytes(n, &pBytes))
        return false;
    text = TextField(pBytes, n, UtilPrinterStatus::c_iLongTextCapacity);
    return true;
}

bool ReadText8(ResponseReader& reader, QByteArray& text)
{
    unsigned int n = 0;
    const unsigned char* pBytes = nullptr;
    if (!reader.U8(n) || !reader.Bytes(n, &pBytes))
        return false;
    text = TextField(pBytes, n, UtilPrinterStatus::c_iShortTextCapacity);
    return true;
}

bool ReadCodeList(ResponseReader& reader, QList<quint16>& codes)
{
    unsigned int count = 0;
    if (!reader.U8(count))
        return false;
    for (unsigned int i = 0; i < count; ++i) {
        unsigned int code = 0;
        if (!reader.U16(code))
            return false;
        codes.append(quint16(code));
    }
    return true;
}

struct stCodeRange {
    unsigned long ulFirst;
    unsigned long ulLast;
    int iValue;
};

const stCodeRange c_stErrorCodeRanges[] = {
    {0x1200, 0x1200, en_Error_Fuser},
    {0x1203, 0x1203, en_Error_DamagedLaser},
    {0x2200, 0x2200, en_Error_ScannerNotDetected},
    {0x0100, 0x0101, en_Error_PrinterFault},
    {0x0200, 0x0200, en_Error_PrinterFault},
    {0x0202, 0x0202, en_Error_PrinterFault},
    {0x1108, 0x1108, en_Error_PrinterFault},
    {0x1201, 0x1202, en_Error_PrinterFault},
    {0x1204, 0x1207, en_Error_PrinterFault},
    {0x1209, 0x120B, en_Error_PrinterFault},
    {0x1211, 0x1211, en_Error_PrinterFault},
    {0x1213, 0x121F, en_Error_PrinterFault},
    {0x1212, 0x1212, en_Error_HighTemperature},
    {0x1106, 0x1106, en_Error_FrontCoverOpened},
    {0x1109, 0x110C, en_Error_CartridgeError},
    {0x110D, 0x110D, en_Error_TonerLow},
    {0x110E, 0x110E, en_Error_TonerOutContinue},
    {0x1123, 0x1123, en_Error_TonerOutContinue},
    {0x112F, 0x112F, en_Error_TonerOutContinue},
    {0x11EE, 0x11EF, en_Error_TonerOutContinue},
    {0x110F, 0x110F, en_Error_TonerOutChange},
    {0x11EA, 0x11EA, en_Error_TonerLow2},
    {0x1110, 0x1110, en_Error_CartridgeNotDetected},
    {0x1121, 0x1121, en_Error_WasteTonerWillBeFull},
    {0x1111, 0x1111, en_Error_WasteTonerFull},
    {0x1125, 0x1125, en_Error_WasteTonerFull},
    {0x1122, 0x1122, en_Error_CartridgePageLimitNear},
    {0x1124, 0x1124, en_Error_CartridgePageLimitNear},
    {0x1112, 0x1114, en_Error_PageLimitReached},
    {0x1128, 0x1129, en_Error_ServiceLifeNear},
    {0x1115, 0x1115, en_Error_ServiceLifeExceeded},
    {0x1126, 0x1127, en_Error_ServiceLifeExceeded},
    {0x1130, 0x1130, en_Error_InsufficientMemory},
    {0x1140, 0x1140, en_Error_HighTemperatureWait},
    {0x2100, 0x2100, en_Error_ADFPaperJam},
    {0x2102, 0x2102, en_Error_ADFNoPaper},
    {0x2103, 0x2103, en_Error_ADFPickFailure},
    {0x1132, 0x1132, en_Error_InvalidSetting},
    {0x11A0, 0x11A0, en_Error_TrayNoPaper},
    {0x11A1, 0x11A1, en_Error_ManualFeederNoPaper},
    {0x11A2, 0x11A2, en_Error_ManualFeederAbnormal},
    {0x1133, 0x1133, en_Error_ImproperPaperSource},
    {0x11B0, 0x11B8, en_Error_PaperJamDevice},
    {0x11C0, 0x11C6, en_Error_PaperJamCartridge},
    {0x11D0, 0x11D6, en_Error_PaperJamRear},
    {0x11E0, 0x11E3, en_Error_ImproperPaperSize},
    {0x0110, 0x0110, en_Error_InitialSetting},
    {0x4211, 0x4211, en_Error_FlatbedScanner},
    {0x4213, 0x4213, en_Error_ADFNoPaper2},
    {0x4214, 0x4214, en_Error_FileOversized},
    {0x4100, 0x4100, en_Error_PrinterFault2},
    {0x4200, 0x4201, en_Error_PrinterFault2},
    {0x4210, 0x4210, en_Error_PrinterFault2},
    {0x4212, 0x4212, en_Error_PrinterFault2},
    {0x4F00, 0x4F00, en_Error_PrinterFault2},
    {0xE100, 0xE100, en_Error_IPSetting},
    {0x5000, 0x5000, en_Error_IPConflict},
};

QList<int> MapErrorCodes(const QList<quint16>& codes)
{
    QList<int> values;
    for (quint16 code : codes)
        values.append(UtilPrinterStatus::GetErrorStatusEnum(code));
    return values;
}

} // namespace

UtilPrinterStatus::UtilPrinterStatus() = default;

bool UtilPrinterStatus::parseRecvBuf(const unsigned char* pBuf, unsigned long ulLength)
{
    if (!pBuf)
        return false;
    ResponseReader reader(pBuf, ulLength);
    // Frame header (7), reserved (1 + 2 + 2).
    if (!reader.Skip(12))
        return false;
    if (!ReadText16(reader, strVenderName) || !ReadText16(reader, strProductName)
        || !ReadText16(reader, strPrinterSerialNumber))
        return false;
    unsigned int status = 0;
    if (!reader.Skip(2) || !reader.U8(status))
        return false;
    m_ucStatus = static_cast<unsigned char>(status);
    if (!ReadText8(reader, strFWVersion) || !ReadText8(reader, strExtraText))
        return false;
    if (!ReadCodeList(reader, listErrorCodes) || !ReadCodeList(reader, listWarningCodes))
        return false;
    unsigned int itemCount = 0;
    if (!reader.Skip(5) || !reader.U8(itemCount))
        return false;
    for (unsigned int i = 0; i < itemCount; ++i) {
        unsigned int tag = 0, n = 0;
        const unsigned char* pValue = nullptr;
        if (!reader.U16(tag) || !reader.U8(n) || !reader.Bytes(n, &pValue))
            return false;
        setSuppliesData(quint16(tag), pValue, int(n));
    }
    return true;
}

quint64 UtilPrinterStatus::byteToDWORD(const unsigned char* pBytes, int n)
{
    if (n <= 0 || !pBytes)
        return 0;
    if (n < 2 || n > 4)
        return pBytes[0];
    quint64 value = 0;
    for (int i = 0; i < n; ++i)
        value = (value << 8) | pBytes[i];
    return value;
}

void UtilPrinterStatus::setSuppliesData(quint16 wTag, const unsigned char* pValue, int n)
{
    const int iStored = qBound(0, n, c_iItemValueCapacity);
    const quint64 dwValue = byteToDWORD(pValue, iStored);
    switch (wTag) {
    case 0x0000:
        strSupplySerialNumber = pValue ? TextField(pValue, iStored, c_iSupplySerialCapacity) : QByteArray();
        break;
    case 0x0001: dwSupplyType = dwValue; break;
    case 0x1000: dwRemainingToner = dwValue; break;
    case 0x1001: dwWasteToner = dwValue; break;
    case 0x1002: dwOPCRotation = dwValue; break;
    case 0x1003: dwNumberOfPages = dwValue; break;
    case 0x1004: dwNumberOfPrint = dwValue; break;
    case 0x1100: dwPrintDotsCount = dwValue; break;
    case 0x1101: dwPrinterNumOfPages = dwValue; break;
    case 0x1102: dwPrinterNumOfPrint = dwValue; break;
    default: break;
    }
}

int UtilPrinterStatus::GetPrinterStatusEnum(unsigned long ulCode)
{
    switch (ulCode) {
    case 0x00: return en_Status_Ready;
    case 0x01: return en_Status_Initialization;
    case 0x02: return en_Status_Busy;
    case 0x03: return en_Status_Canceling;
    case 0x10: return en_Status_Printing;
    case 0x11: return en_Status_Scanning;
    case 0x12: return en_Status_Copying;
    case 0x13: return en_Status_PrintingReport;
    default: return en_Status_Unknown;
    }
}

int UtilPrinterStatus::GetErrorStatusEnum(unsigned long ulCode)
{
    for (const stCodeRange& range : c_stErrorCodeRanges) {
        if (ulCode >= range.ulFirst && ulCode <= range.ulLast)
            return range.iValue;
    }
    return en_Error_Unknown;
}

int UtilPrinterStatus::GetTonerTypeEnum(quint64) { return 0; }

stPrinterState UtilPrinterStatus::ToPrinterState() const
{
    stPrinterState state;
    state.strPrinterSerialNumber = QString::fromLatin1(strPrinterSerialNumber);
    state.enCurrentStatus = GetPrinterStatusEnum(m_ucStatus);
    state.strFWVersion = QString::fromLatin1(strFWVersion);
    state.strVenderName = QString::fromLatin1(strVenderName);
    state.strProductName = QString::fromLatin1(strProductName);
    state.iNumberOfError = listErrorCodes.size();
    state.iNumberOfWarning = listWarningCodes.size();
    state.listErrorStatus = MapErrorCodes(listErrorCodes);
    state.listWarningStatus = MapErrorCodes(listWarningCodes);
    state.strSupplySerialNumber = QString::fromLatin1(strSupplySerialNumber);
    state.enSpplyType = GetTonerTypeEnum(dwSupplyType);
    state.dwRemainingToner = dwRemainingToner;
    state.dwWasteToner = dwWasteToner;
    state.dwOPCRotation = dwOPCRotation;
    state.dwNumberOfPages = dwNumberOfPages;
    state.dwNumberOfPrint = dwNumberOfPrint;
    state.dwPrintDotsCount = dwPrintDotsCount;
    state.dwPrinterNumOfPages = dwPrinterNumOfPages;
    state.dwPrinterNumOfPrint = dwPrinterNumOfPrint;
    state.iConnectFailCount = 0;
    return state;
}

bool DecodePrinterStatus(const unsigned char* pBuf, unsigned long ulLength, stPrinterState& state)
{
    UtilPrinterStatus parser;
    if (!parser.parseRecvBuf(pBuf, ulLength))
        return false;
    state = parser.ToPrinterState();
    return true;
}

bool DecodePrinterStatus(const QByteArray& response, stPrinterState& state)
{
    return DecodePrinterStatus(reinterpret_cast<const unsigned char*>(response.constData()),
                               static_cast<unsigned long>(response.size()), state);
}
