// A scan program for the tests, run in its own process under the umockdev
// preload library: finds a scanner by walking /dev/bus/usb, reads its strings,
// locks it, starts a scan, saves the pages (optionally from a forked data
// process, as the scan daemon does) and unlocks it.
//
//   ovra_usbscanner_scanclient VID PID OUTDIR [--fork | --abort-after N]
//
// --abort-after N reads the scan in a data process and, once it has read N
// image records, aborts the scan the way the scan daemon does: abort command,
// USB reset, SIGKILL to the data process; then unlocks.
//
// Prints "node PATH", "strings M|P|S", "pages=N end=0|1 error=E" (from the
// process that read the scan) and, after an abort, "unlock FLAG". Exit codes:
// 0 done, 2 usage, 3 no scanner, 4 lock refused (the flag is printed),
// 5 start refused, 6 scan incomplete, 7 unlock refused.
#include "rawusbfs.h"

#include <linux/usbdevice_fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

using namespace ovraemu;
using namespace ovraemu::test;

namespace {

struct Options {
    uint16_t vendor = 0;
    uint16_t product = 0;
    std::string dir;
    bool fork = false;
    int abortAfter = 0; // image records before the abort; 0: no abort
};

bool ParseOptions(int argc, char** argv, Options& options)
{
    if (argc != 4 && argc != 5 && argc != 6)
        return false;
    options.vendor = static_cast<uint16_t>(std::strtoul(argv[1], nullptr, 16));
    options.product = static_cast<uint16_t>(std::strtoul(argv[2], nullptr, 16));
    options.dir = argv[3];
    if (argc == 5 && std::strcmp(argv[4], "--fork") == 0)
        options.fork = true;
    else if (argc == 6 && std::strcmp(argv[4], "--abort-after") == 0)
        options.abortAfter = std::atoi(argv[5]);
    else if (argc != 4)
        return false;
    return true;
}

void SavePages(const ScanReadout& scan, const std::string& dir)
{
    for (size_t page = 0; page < scan.pages.size(); ++page) {
        std::ofstream out(dir + "/page_" + std::to_string(page) + ".bin", std::ios::binary);
        out.write(reinterpret_cast<const char*>(scan.pages[page].data()),
                  static_cast<std::streamsize>(scan.pages[page].size()));
    }
    std::printf("pages=%zu end=%d error=%d\n", scan.pages.size(), scan.endOfData ? 1 : 0, scan.error);
    std::fflush(stdout);
}

// The data process: reads the scan and tells `progress` of every image record.
pid_t StartDataProcess(int fd, const std::string& dir, int progress)
{
    const pid_t child = fork();
    if (child != 0)
        return child;
    const ScanReadout scan = ReadScan(fd, 5000, [progress](int status) {
        if (status == static_cast<int>(ScanStatus::Continuous) && progress >= 0)
            (void)!write(progress, "r", 1);
    });
    SavePages(scan, dir);
    _exit(scan.endOfData ? 0 : 1);
}

bool WaitFor(pid_t child)
{
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool ReadPages(int fd, const Options& options)
{
    if (options.fork)
        return WaitFor(StartDataProcess(fd, options.dir, -1));
    const ScanReadout scan = ReadScan(fd);
    SavePages(scan, options.dir);
    return scan.endOfData;
}

// Aborts the scan while the data process reads it; returns the unlock's flag.
int AbortScan(int fd, const Options& options)
{
    int progress[2];
    if (pipe(progress) != 0)
        return -1;
    const pid_t child = StartDataProcess(fd, options.dir, progress[1]);
    close(progress[1]);
    char mark;
    for (int records = 0; records < options.abortAfter && read(progress[0], &mark, 1) == 1; ++records) {
    }
    SendCommand(fd, ScannerCommand::Abort);
    ioctl(fd, USBDEVFS_RESET, nullptr);
    kill(child, SIGKILL);
    WaitFor(child);
    close(progress[0]);
    if (SendCommand(fd, ScannerCommand::Unlock) != 0)
        return -1;
    const auto answer = ReadAnswer(fd, 2000);
    return answer && answer->size() >= 8 && (*answer)[2] == 0x06 ? (*answer)[6] : -1;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: %s VID PID OUTDIR [--fork | --abort-after N]\n", argv[0]);
        return 2;
    }
    const std::string node = FindNode(options.vendor, options.product);
    const int fd = node.empty() ? -1 : OpenNode(node);
    if (fd < 0)
        return 3;
    std::printf("node %s\n", node.c_str());
    std::printf("strings %s|%s|%s\n", ReadAsciiString(fd, 1).value_or("").c_str(),
                ReadAsciiString(fd, 2).value_or("").c_str(), ReadAsciiString(fd, 3).value_or("").c_str());
    std::fflush(stdout);

    const int lock = Exchange(fd, ScannerCommand::Lock, LockPayload(2, 850, 1100, 300, ScanSource::FlatbedSingle));
    if (lock != flag::kSuccess) {
        std::printf("lock %d\n", lock);
        return 4;
    }
    if (Exchange(fd, ScannerCommand::Start) != flag::kSuccess)
        return 5;
    if (options.abortAfter > 0) {
        const int unlock = AbortScan(fd, options);
        std::printf("unlock %d\n", unlock);
        return unlock == flag::kSuccess ? 0 : 7;
    }
    if (!ReadPages(fd, options))
        return 6;
    return Exchange(fd, ScannerCommand::Unlock) == flag::kSuccess ? 0 : 7;
}
