// The CUPS configuration as the print service reads it: the queues of printers.conf and
// the model name of a queue's PPD. The input serves as both.
#include "cupsconfig.h"
#include "fuzzenv.h"
#include "modelinfo.h"
#include "ovrapaths.h"

#include <QFile>

namespace {

void CheckQueues(const QList<stPrinterInfo>& list, bool bModels)
{
    using ovrafuzz::Check;
    for (const stPrinterInfo& info : list) {
        Check(!info.strName.isEmpty() && !info.strURI.isEmpty(), "queue without name or URI");
        if (info.iConnectType == en_Connect_USB)
            Check(info.strURI.startsWith("usb", Qt::CaseInsensitive) && info.strPort == info.strURI.mid(6),
                  "USB queue port");
        else
            Check(info.iConnectType == en_Connect_Network && info.strURI.contains("://") && !info.strPort.contains(':'),
                  "network queue port");
        Check(!bModels || FindModelByDisplayName(info.enType), "queue listed without a supported model");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ovrafuzz::FuzzRoot();
    const QByteArray content(reinterpret_cast<const char*>(data), int(size));

    QString strModel;
    if (FindModelInPpd(content, strModel))
        ovrafuzz::Check(FindModelByDisplayName(strModel) != nullptr, "PPD model not in the table");

    const DriverMatchFn checkDriver = [&content](const QString&, QString& model) {
        return FindModelInPpd(content, model);
    };
    CheckQueues(ParseCupsPrinters(content, checkDriver), true);

    ovrafuzz::WriteFile(QFile::encodeName(OvraPaths::CupsPrintersConf()).toStdString(), data, size);
    CheckQueues(ReadCupsPrinters(false), false);
    return 0;
}
