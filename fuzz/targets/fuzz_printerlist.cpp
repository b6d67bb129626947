// The printer list file (cfg/printerlist.ini) as the tray monitor, the settings tool
// and the firmware helper read it; what is read must survive the service writing it.
#include "fuzzenv.h"
#include "ovrapaths.h"
#include "printerinfo.h"

#include <QFile>

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

// The longest list a reader builds, whatever "Count" says.
const int c_iReaderListLimit = 256;

// QSettings re-reads a file only when its size or time stamp changed: every input
// gets a time stamp of its own.
void StampUnique(const QString& path)
{
    static long s_lCounter = 0;
    ++s_lCounter;
    const struct timespec times[2] = {{s_lCounter, 0}, {s_lCounter, 0}};
    utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
}

// The service writes what CUPS gives: C strings of UTF-8, which hold no NUL character and
// no unpaired surrogate. (QSettings itself does not bring every such character back.)
bool CupsCouldGive(const QString& text) { return !text.contains(QChar(0)) && QString::fromUtf8(text.toUtf8()) == text; }

bool CupsCouldGive(const stPrinterInfo& info)
{
    return CupsCouldGive(info.strName) && CupsCouldGive(info.enType) && CupsCouldGive(info.strPort)
           && CupsCouldGive(info.strURI);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ovrafuzz::FuzzRoot();
    const QString path = OvraPaths::PrinterListFile();
    ovrafuzz::WriteFile(QFile::encodeName(path).toStdString(), data, size);
    StampUnique(path);
    const QList<stPrinterInfo> listRead = GetPrinterInfo();
    ovrafuzz::Check(listRead.size() <= c_iReaderListLimit, "list longer than the readers' limit");

    if (!std::all_of(listRead.begin(), listRead.end(), [](const stPrinterInfo& info) { return CupsCouldGive(info); }))
        return 0;
    // The result is not looked at: QSettings reports a malformed old file as an error
    // although it rewrites the file.
    SavePrinterInfo(listRead, true);
    StampUnique(path);
    ovrafuzz::Check(GetPrinterInfo() == listRead, "printers changed on their way through the list file");
    return 0;
}
