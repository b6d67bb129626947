#include "trayfixture.h"

#include "ovrapaths.h"
#include "statusfile.h"

#include <QDir>
#include <QFile>

TrayFiles::TrayFiles() { qputenv("OVRA_INSTALL_ROOT", m_root.path().toLocal8Bit()); }

stPrinterInfo TrayFiles::Usb(const QString& name, const QString& serial)
{
    stPrinterInfo info;
    info.strName = name;
    info.enType = "Ovra P2200DN";
    info.iConnectType = en_Connect_USB;
    info.strURI = "usb://Ovra/P2200DN?serial=" + serial;
    info.strPort = info.strURI.mid(6);
    return info;
}

stPrinterInfo TrayFiles::Network(const QString& name, const QString& address)
{
    stPrinterInfo info;
    info.strName = name;
    info.enType = "Ovra MK246";
    info.iConnectType = en_Connect_Network;
    info.strURI = "socket://" + address + ":9100";
    info.strPort = address;
    return info;
}

void TrayFiles::WriteList(const QList<stPrinterInfo>& list) { SavePrinterInfo(list, true); }

void TrayFiles::WriteStatus(const QString& queue, const ovraemu::EmuPrinterState& state)
{
    const std::vector<uint8_t> body = ovraemu::BuildStatusBody(state);
    WriteRawStatus(queue, QByteArray(7, '\0') + QByteArray(reinterpret_cast<const char*>(body.data()), int(body.size())));
}

void TrayFiles::WriteRawStatus(const QString& queue, const QByteArray& bytes)
{
    WriteStatusFile(queue, reinterpret_cast<const unsigned char*>(bytes.constData()), bytes.size());
}

void TrayFiles::RemoveStatus(const QString& queue) { RemoveStatusFile(queue); }

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
