// The daemon program itself: loopback-only listener, logs, SIGQUIT, the
// detached start, and twenty clients scanning from network scanners at once
// (fake scanners on 127.0.0.111-130; they need root to bind port 80).
#include "fakenetscanner.h"
#include "scanfaults.h"
#include "scanpaths.h"
#include "testcheck.h"

#include <csignal>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <memory>
#include <set>
#include <spawn.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

std::string g_root;
bool g_netSkipped = false;

pid_t startDaemon(uint16_t port) { return startDaemonProgram(OVRA_SCAN_DAEMON_PATH, port); }

// The daemon started without the foreground knob, as its service starts it.
pid_t startDetachedDaemon(uint16_t port)
{
    setenv("OVRA_SCAN_DAEMON_PORT", std::to_string(port).c_str(), 1);
    unsetenv("OVRA_SCAN_DAEMON_FOREGROUND");
    pid_t pid = -1;
    char* argv[] = {const_cast<char*>(OVRA_SCAN_DAEMON_PATH), nullptr};
    posix_spawn(&pid, OVRA_SCAN_DAEMON_PATH, nullptr, nullptr, argv, environ);
    return pid;
}

pid_t newestConnectionPid()
{
    std::string log = readFile(scanInfoLogPath());
    size_t at = log.rfind("[OvraScanSDK] new conn pid:");
    return at == std::string::npos ? -1 : atoi(log.c_str() + at + 27);
}

int32_t openDevReply(int fd)
{
    USBCommonReq req = {3};
    sendCommand(fd, USB_OPEN_DEV, req);
    int32_t result = -1;
    return recvExact(fd, &result, sizeof(result)) ? result : -1;
}

void listenerOnLoopbackLogsAndQuit()
{
    const uint16_t port = 27141;
    pid_t daemon = startDaemon(port);
    if (!CHECK(daemonStillRunning(daemon)))
        return;
    int fd = connectLoopback(port);
    CHECK(fd >= 0);
    // Only the loopback address 127.0.0.1 answers.
    int other = connectLoopback(port, "127.0.0.2");
    CHECK_EQ(other, -1);
    CHECK(logContains(scanErrLogPath(), "[OvraScanSDK] bind port:27141\n"));
    int32_t undefinedCode = 42;
    sendBytes(fd, &undefinedCode, 4);
    CHECK_EQ(openDevReply(fd), 9);
    CHECK(logContains(scanErrLogPath(), "[OvraScanSDK] undefined scanCommandType 42\n"));
    pid_t connPid = -1;
    CHECK(waitUntil([&] { return (connPid = newestConnectionPid()) > 1; }, 3000));

    // A second daemon on the same port cannot bind.
    pid_t second = startDaemon(port);
    CHECK_EQ(waitForExit(second, 5000), 1);

    // SIGQUIT ends the listener; the connection process goes on serving.
    signalProcess(daemon, SIGQUIT);
    CHECK_EQ(waitForExit(daemon, 5000), 0);
    CHECK(logContains(scanInfoLogPath(), "[OvraScanSDK] I got a signal 3\nI'm quitting.\n"));
    CHECK(logContains(scanInfoLogPath(), "[OvraScanSDK] parent pro exit\n"));
    CHECK_EQ(connectLoopback(port), -1);
    CHECK_EQ(openDevReply(fd), 9);

    // SIGQUIT ends a connection process at its next wait for a command.
    signalProcess(connPid, SIGQUIT);
    char byte;
    CHECK(!recvExact(fd, &byte, 1, 3000));
    CHECK(waitUntil([&] { return logContains(scanInfoLogPath(), "DISCONNECT FROM SERVER"); }, 3000));
    close(fd);
}

// The daemon started without the foreground knob, found by its port.
pid_t findDetachedDaemon(uint16_t port)
{
    std::string wanted = "OVRA_SCAN_DAEMON_PORT=" + std::to_string(port);
    DIR* proc = opendir("/proc");
    pid_t found = -1;
    while (struct dirent* entry = readdir(proc)) {
        pid_t pid = atoi(entry->d_name);
        if (pid <= 0)
            continue;
        std::string comm = readFile("/proc/" + std::string(entry->d_name) + "/comm");
        if (comm != "OvraScanDaemon\n")
            continue;
        std::string env = readFile("/proc/" + std::string(entry->d_name) + "/environ");
        for (size_t at = 0; at < env.size(); at = env.find('\0', at) + 1) {
            if (env.compare(at, wanted.size() + 1, wanted + '\0') == 0 && getppid() != pid)
                found = found < 0 || pid < found ? pid : found;
            if (env.find('\0', at) == std::string::npos)
                break;
        }
    }
    closedir(proc);
    return found;
}

void detachedStart()
{
    const uint16_t port = 27142;
    std::filesystem::remove_all(g_root + "/scan"); // the daemon makes its scan directory
    rmdir((g_root + "/scan").c_str());
    pid_t launcher = startDetachedDaemon(port);
    CHECK_EQ(waitForExit(launcher, 5000), 0); // the parent leaves at once
    int fd = connectLoopback(port);
    CHECK(fd >= 0);
    CHECK_EQ(openDevReply(fd), 9);
    close(fd);
    pid_t daemon = findDetachedDaemon(port);
    CHECK(daemon > 0);
    if (daemon <= 0)
        return;
    CHECK(daemon != launcher);
    CHECK(getsid(daemon) != getsid(0)); // a session of its own
    std::string cwd(256, '\0');
    ssize_t n = readlink(("/proc/" + std::to_string(daemon) + "/cwd").c_str(), &cwd[0], cwd.size());
    CHECK_STR(cwd.substr(0, n > 0 ? static_cast<size_t>(n) : 0), "/");
    signalProcess(daemon, SIGQUIT);
    CHECK(waitUntil([&] { return !signalProcess(daemon, 0); }, 5000));
    CHECK(logContains(scanInfoLogPath(), "[OvraScanSDK] parent pro exit\n"));
}

struct stClientOutcome {
    bool ok = false;
    std::string baseName;
    int pages = 0;
    std::string problem;
};

// One client's scan (in a thread of its own: no checks here, the outcome tells).
void scanFromScanner(uint16_t port, FakeNetScanner& scanner, stClientOutcome& out)
{
    int fd = connectLoopback(port);
    TCPScanStartRes start;
    if (fd < 0 || !startNetScan(fd, scanner.ip(), start) || start.result != 0) {
        out.problem = fd < 0 ? "no connection" : "no start reply";
        close(fd);
        return;
    }
    out.baseName = wireString(start.fileName);
    bool ended = false;
    const std::vector<TCPRecordRes> records = recordsToTheEnd<TCPRecordRes>(fd, 15000, ended);
    out.pages = pagesBegun(records);
    out.ok = ended && records.back().result == OVRA_STATUS_EOF;
    out.problem = ended ? "" : "records stopped";
    for (int p = 0; p < 3 && out.ok; ++p) {
        out.ok = readFile(pageFileName(out.baseName, p)) == bytesOf(scanner.page(p));
        out.problem = out.ok ? "" : "page " + std::to_string(p) + " differs";
    }
    deletePageFiles(fd, out.baseName);
    close(fd);
}

void twentyClientsScanAtOnce()
{
    const uint16_t port = 27143;
    const int clients = 20;
    pid_t daemon = startDaemon(port);
    if (!CHECK(daemonStillRunning(daemon)))
        return;
    std::vector<std::unique_ptr<FakeNetScanner>> scanners;
    for (int i = 0; i < clients; ++i) {
        stNetScanConfig config;
        config.seed = 100 + i;
        config.pageSize = 20000 + 1000 * i;
        config.blockSize = 4096;
        scanners.push_back(std::make_unique<FakeNetScanner>("127.0.0." + std::to_string(111 + i), config));
        if (!scanners.back()->start()) {
            g_netSkipped = true;
            signalProcess(daemon, SIGQUIT);
            waitForExit(daemon, 5000);
            return;
        }
    }
    std::vector<stClientOutcome> outcomes(clients);
    std::vector<std::thread> threads;
    for (int i = 0; i < clients; ++i)
        threads.emplace_back([&, i] { scanFromScanner(port, *scanners[i], outcomes[i]); });
    for (std::thread& t : threads)
        t.join();
    std::set<std::string> names;
    for (int i = 0; i < clients; ++i) {
        if (!CHECK(outcomes[i].ok))
            fprintf(stderr, "  client %d: %s\n", i, outcomes[i].problem.c_str());
        CHECK_EQ(outcomes[i].pages, 3);
        names.insert(outcomes[i].baseName);
    }
    CHECK_EQ(names.size(), static_cast<size_t>(clients));
    signalProcess(daemon, SIGQUIT);
    CHECK_EQ(waitForExit(daemon, 5000), 0);
    // Every page was deleted by its client; only the logs are left.
    CHECK(waitUntil([&] { return listDir(g_root + "/scan").size() == 2; }, 3000));
}

} // namespace

int main()
{
    signal(SIGPIPE, SIG_IGN);
    const TestInstallRoot root("daemon"); // the daemon makes its scan directory
    g_root = root.Path();
    int ret = testcheck::run({
        TEST_CASE(listenerOnLoopbackLogsAndQuit),
        TEST_CASE(detachedStart),
        TEST_CASE(twentyClientsScanAtOnce),
    });
    if (g_netSkipped)
        printf("SKIPPED: network scanner cases need root (binding port 80)\n");
    return ret;
}
