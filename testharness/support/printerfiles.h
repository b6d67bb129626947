// Writes what the print service writes (the printer list, the status files) into a
// private install root, for the tests of the programs that read them.
#pragma once

#include "installroot.h"
#include "printerinfo.h"
#include "printerstatebuilder.h"

#include <QByteArray>
#include <QList>
#include <QString>

class PrinterFiles
{
public:
    explicit PrinterFiles(const char* tag = "printerfiles") : m_root(tag) {}
    QString Root() const { return m_root.QPath(); }

    static stPrinterInfo Usb(const QString& name, const QString& serial, const QString& model = "P2200DN");
    static stPrinterInfo Network(const QString& name, const QString& address, const QString& model = "P2200DN");
    void WriteList(const QList<stPrinterInfo>& list);
    void RemoveList();

    // A status file as the service writes it: a 7-byte head and the printer's status body.
    void WriteStatus(const QString& queue, const ovraemu::EmuPrinterState& state);
    void WriteRawStatus(const QString& queue, const QByteArray& bytes);
    void RemoveStatus(const QString& queue);

private:
    TestInstallRoot m_root;
};

ovraemu::EmuPrinterState PrinterState(uint8_t status, uint32_t toner, std::vector<uint16_t> errors = {},
                                      std::vector<uint16_t> warnings = {});
