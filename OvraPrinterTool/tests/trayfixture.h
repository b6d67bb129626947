// Writes what the print service would write (printer list, status files) into a
// temporary install root, for the tray's tests.
#pragma once

#include "printerinfo.h"
#include "printerstatebuilder.h"

#include <QString>
#include <QTemporaryDir>

class TrayFiles
{
public:
    TrayFiles();
    QString Root() const { return m_root.path(); }

    static stPrinterInfo Usb(const QString& name, const QString& serial);
    static stPrinterInfo Network(const QString& name, const QString& address);
    void WriteList(const QList<stPrinterInfo>& list);
    void WriteStatus(const QString& queue, const ovraemu::EmuPrinterState& state);
    void WriteRawStatus(const QString& queue, const QByteArray& bytes);
    void RemoveStatus(const QString& queue);

private:
    QTemporaryDir m_root;
};

ovraemu::EmuPrinterState PrinterState(uint8_t status, uint32_t toner, std::vector<uint16_t> errors = {},
                                      std::vector<uint16_t> warnings = {});
