#include "printerfiles.h"

#include "ovrapaths.h"
#include "statusfile.h"

#include <QFile>

stPrinterInfo PrinterFiles::Usb(const QString& name, const QString& serial, const QString& model)
{
    stPrinterInfo info;
    info.strName = name;
    info.enType = "Ovra " + model;
    info.iConnectType = en_Connect_USB;
    info.strURI = "usb://Ovra/" + model + "?serial=" + serial;
    info.strPort = info.strURI.mid(6);
    return info;
}

stPrinterInfo PrinterFiles::Network(const QString& name, const QString& address, const QString& model)
{
    stPrinterInfo info;
    info.strName = name;
    info.enType = "Ovra " + model;
    info.iConnectType = en_Connect_Network;
    info.strURI = "socket://" + address + ":9100";
    info.strPort = address;
    return info;
}

void PrinterFiles::WriteList(const QList<stPrinterInfo>& list) { SavePrinterInfo(list, true); }

void PrinterFiles::RemoveList() { QFile::remove(OvraPaths::PrinterListFile()); }

void PrinterFiles::WriteStatus(const QString& queue, const ovraemu::EmuPrinterState& state)
{
    const std::vector<uint8_t> body = ovraemu::BuildStatusBody(state);
    WriteRawStatus(queue,
                   QByteArray(7, '\0') + QByteArray(reinterpret_cast<const char*>(body.data()), int(body.size())));
}

void PrinterFiles::WriteRawStatus(const QString& queue, const QByteArray& bytes)
{
    WriteStatusFile(queue, reinterpret_cast<const unsigned char*>(bytes.constData()), bytes.size());
}

void PrinterFiles::RemoveStatus(const QString& queue) { RemoveStatusFile(queue); }

ovraemu::EmuPrinterState PrinterState(uint8_t status, uint32_t toner, std::vector<uint16_t> errors,
                                      std::vector<uint16_t> warnings)
{
    ovraemu::EmuPrinterState state;
    state.product = "Ovra P2200DN";
    state.statusCode = status;
    state.errors = std::move(errors);
    state.warnings = std::move(warnings);
    state.SetCounter(0x1000, toner);
    return state;
}
