// Splits a printer's binary status response and maps its codes to the suite's values.
//
// Layout (big-endian): 7 bytes frame header, 1 + 2 + 2 reserved, then texts with 16-bit
// lengths (vendor, product, serial), 2 reserved, the status code, texts with 8-bit lengths
// (firmware, one more), the error and warning code lists with 8-bit counts, 1 + 2 + 2
// reserved, and the supply items (tag 16 bits, length 8 bits, value).
#pragma once

#include "printerstate.h"

#include <QByteArray>
#include <QList>
#include <QtGlobal>

class UtilPrinterStatus
{
public:
    // Capacities of the fields: longer texts and values are cut to them (the walk
    // through the response still skips their full length).
    static constexpr int c_iLongTextCapacity = 260;  // vendor, product, printer serial
    static constexpr int c_iShortTextCapacity = 255; // firmware version, further text
    static constexpr int c_iSupplySerialCapacity = 64;
    static constexpr int c_iItemValueCapacity = 65;
    static constexpr unsigned long c_ulMinimalResponse = 31;

    UtilPrinterStatus();

    // True only when every field up to the last supply item lies inside the buffer.
    bool parseRecvBuf(const unsigned char* pBuf, unsigned long ulLength);

    // The number an item carries: 2 to 4 bytes big-endian, otherwise the first byte
    // alone (0 for an empty item).
    static quint64 byteToDWORD(const unsigned char* pBytes, int n);
    void setSuppliesData(quint16 wTag, const unsigned char* pValue, int n);

    const unsigned char* getPrinterStatusValue() const { return &m_ucStatus; }

    static int GetPrinterStatusEnum(unsigned long ulCode);
    static int GetErrorStatusEnum(unsigned long ulCode);
    static int GetTonerTypeEnum(quint64 ulValue);

    // The parsed response as a printer state (call after a successful parse).
    stPrinterState ToPrinterState() const;

    QByteArray strVenderName, strProductName, strPrinterSerialNumber;
    QByteArray strFWVersion, strExtraText, strSupplySerialNumber;
    QList<quint16> listErrorCodes, listWarningCodes;
    quint64 dwSupplyType = 0;
    quint64 dwRemainingToner = 0, dwWasteToner = 0, dwOPCRotation = 0, dwNumberOfPages = 0;
    quint64 dwNumberOfPrint = 0, dwPrintDotsCount = 0, dwPrinterNumOfPages = 0, dwPrinterNumOfPrint = 0;

private:
    unsigned char m_ucStatus = 0;
};

// The one decoding of a status response, for the print service and the tray monitor:
// on success the state is replaced by the decoded one and true is returned; a response
// that does not parse leaves the state as it was.
bool DecodePrinterStatus(const unsigned char* pBuf, unsigned long ulLength, stPrinterState& state);
bool DecodePrinterStatus(const QByteArray& response, stPrinterState& state);
