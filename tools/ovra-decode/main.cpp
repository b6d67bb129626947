// ovra-decode: prints what the suite reads from printer status responses.
//   ovra-decode FILE...     decode status files (cfg/<queue>.dat)
//   ovra-decode --samples   decode a few responses as printers of the family send them
#include "ovracommandline.h"
#include "printerstatebuilder.h"
#include "utilprinterstatus.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include <cstdio>

namespace {

QString Codes(const QList<int>& values)
{
    QStringList parts;
    for (int value : values)
        parts << QString::number(value);
    return parts.isEmpty() ? "-" : parts.join(",");
}

void Print(const QString& title, const QByteArray& response)
{
    stPrinterState state;
    if (!DecodePrinterStatus(response, state)) {
        std::printf("%-22s %5d bytes  does not parse\n", qPrintable(title), int(response.size()));
        return;
    }
    std::printf("%-22s %5d bytes  status %-2d toner %3llu  errors %-8s warnings %-8s  %s %s fw %s\n", qPrintable(title),
                int(response.size()), state.enCurrentStatus, static_cast<unsigned long long>(state.dwRemainingToner),
                qPrintable(Codes(state.listErrorStatus)), qPrintable(Codes(state.listWarningStatus)),
                qPrintable(state.strProductName), qPrintable(state.strPrinterSerialNumber),
                qPrintable(state.strFWVersion));
}

QByteArray UsbResponse(const ovraemu::EmuPrinterState& state)
{
    const std::vector<uint8_t> body = ovraemu::BuildStatusBody(state);
    return QByteArray(7, '\0') + QByteArray(reinterpret_cast<const char*>(body.data()), int(body.size()));
}

int PrintSamples()
{
    ovraemu::EmuPrinterState ready;
    ready.product = "Ovra P2200DN";
    ready.serial = "K2460001";
    ready.SetCounter(0x1000, 80);
    Print("ready", UsbResponse(ready));

    ovraemu::EmuPrinterState paperOut = ready;
    paperOut.errors = {0x11A0};
    Print("paper out", UsbResponse(paperOut));

    ovraemu::EmuPrinterState tonerLow = ready;
    tonerLow.statusCode = 0x10;
    tonerLow.warnings = {0x110D};
    tonerLow.SetCounter(0x1000, 7);
    const std::vector<uint8_t> udp = ovraemu::BuildUdpStatusReply(tonerLow);
    const QByteArray udpReply(reinterpret_cast<const char*>(udp.data()), int(udp.size()));
    Print("printing, toner low", udpReply);
    Print("cut in the middle", udpReply.left(udpReply.size() - 3));
    return en_Exit_Ok;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const char kSynopsis[] = "FILE... | --samples";
    OvraCommandLine commandLine("Prints what the suite reads from printer status responses: the status files "
                                "(cfg/<queue>.dat) named, or a few responses as printers of the family send them.",
                                kSynopsis);
    QCommandLineParser& parser = commandLine.Parser();
    parser.addOption({"samples", "Decode a few sample responses instead of files."});
    parser.addPositionalArgument("FILE", "Status files to decode.", "FILE...");
    const int iExit = commandLine.Process(app.arguments());
    if (iExit != OvraCommandLine::kRun)
        return iExit;
    if (parser.isSet("samples"))
        return PrintSamples();
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty()) {
        std::fprintf(stderr, "usage: ovra-decode %s\n", kSynopsis);
        return en_Exit_Usage;
    }
    int iResult = en_Exit_Ok;
    for (const QString& path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "ovra-decode: cannot read %s\n", qPrintable(path));
            iResult = en_Exit_Failure;
            continue;
        }
        Print(path.section('/', -1), file.readAll());
    }
    return iResult;
}
