// The daemon program under load: 64 clients at once, each sending thousands of
// commands and scanning from an emulated network scanner of its own
// (127.0.3.1-64; port 80 needs root, the test is skipped otherwise). Afterwards
// every reply was right, no zombie is left, the listener kept its descriptors
// and its memory, and no page file is left. Then SIGQUIT to the listener while
// clients work: it ends at once, frees the port, and the connection processes
// serve their clients to the end and leave nothing behind.
#include "loadclient.h"
#include "procinfo.h"
#include "scanpaths.h"
#include "testcheck.h"
#include "testsupport.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <functional>
#include <memory>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

const uint16_t c_port = 27160;
const int c_clients = 64;
const int c_commandsPerClient = 2000;
const int c_quitCommands = 400;
const int c_skipped = 77;
const int c_shortConnections = 1000;
// The listener keeps nothing per connection: after more than a thousand
// connections its resident memory may differ only by what the allocator and
// the kernel round (a few pages). A leak of 256 bytes per connection would
// exceed this.
const long c_rssSlackKiB = 256;

std::string g_root;
pid_t g_daemon = -1;
std::vector<std::unique_ptr<ovraemu::NetScanner>> g_scanners;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

bool startScanners()
{
    for (int i = 0; i < c_clients; ++i) {
        g_scanners.push_back(std::make_unique<ovraemu::NetScanner>("127.0.3." + std::to_string(i + 1)));
        std::string error;
        if (!g_scanners.back()->Start(&error)) {
            printf("SKIPPED: the network scanner emulator cannot start (%s); it needs root for port 80\n",
                   error.c_str());
            return false;
        }
    }
    return true;
}

std::vector<std::unique_ptr<LoadClient>> makeClients()
{
    std::vector<std::unique_ptr<LoadClient>> clients;
    for (int i = 0; i < c_clients; ++i)
        clients.push_back(std::make_unique<LoadClient>(i, *g_scanners[static_cast<size_t>(i)]));
    return clients;
}

// Runs work(client) on every client at once.
void inParallel(std::vector<std::unique_ptr<LoadClient>>& clients, const std::function<void(LoadClient&)>& work)
{
    std::vector<std::thread> threads;
    for (auto& client : clients)
        threads.emplace_back([&work, &client] { work(*client); });
    for (std::thread& t : threads)
        t.join();
}

void checkTallies(const std::vector<std::unique_ptr<LoadClient>>& clients, int scansEach)
{
    int commands = 0;
    int scans = 0;
    for (size_t i = 0; i < clients.size(); ++i) {
        const stLoadTally& tally = clients[i]->Tally();
        if (!CHECK(tally.Ok()))
            fprintf(stderr, "  client %zu: %d wrong replies, %d failed scans, first: %s\n", i, tally.wrongReplies,
                    tally.failedScans, tally.firstProblem.c_str());
        commands += tally.commands;
        scans += tally.scans;
    }
    CHECK_EQ(scans, static_cast<int>(clients.size()) * scansEach);
    printf("  %d commands and %d scans answered right\n", commands, scans);
}

// The test is the subreaper of the daemon's processes: a process the listener
// leaves behind comes to the test and is collected here.
void collectOrphans()
{
    for (pid_t child : childPids(getpid())) {
        if (child != g_daemon && processState(child) == 'Z')
            waitpid(child, nullptr, 0);
    }
}

// The logs and the ones they rolled into, and nothing else.
bool onlyLogsInScanDir()
{
    for (const std::string& name : listDir(g_root + "/scan"))
        if (name.rfind("ovra_scan_", 0) != 0 || name.find(".log") == std::string::npos)
            return false;
    return true;
}

// The port is free again when a new daemon can take it (a daemon that cannot
// bind its port ends at once).
bool portIsFree()
{
    int next = startDaemonProgram(OVRA_SCAN_DAEMON_PATH, c_port);
    bool running = daemonStillRunning(next);
    signalProcess(next, SIGQUIT);
    waitForExit(next, 5000);
    return running;
}

// Connections of one command each, one after the other.
void shortConnections(int count)
{
    for (int i = 0; i < count; ++i) {
        int fd = connectLoopback(c_port);
        USBCommonReq req = {3};
        int32_t result = -1;
        CHECK(sendCommand(fd, USB_OPEN_DEV, req) && recvExact(fd, &result, sizeof(result)) && result == 9);
        close(fd);
    }
}

// A round of short connections, so that the listener has run every path once
// before its descriptors and memory are measured.
void warmUp()
{
    shortConnections(c_clients);
    CHECK(waitUntil([] { return descendantPids(g_daemon).empty(); }, 10000));
}

// A reply in two parts (the head of an attribute reply, then its text) is
// not held back until the client acknowledges the first part: twenty of them
// take far less than the 40 ms such a delay costs each.
void repliesInPartsAreNotHeldBack()
{
    ovrascan::ScanClient client(ovrascan::DaemonConnection::ConnectLocal(c_port, nullptr));
    const OvraSocket scanner = ovrascan::NetScannerSocket(g_scanners[0]->Address());
    const int exchanges = 20;
    Clock::time_point start = Clock::now();
    for (int i = 0; i < exchanges; ++i) {
        ovrascan::Reply<ovrascan::AttributeReply> r = client.NetAttribute(scanner, OSL_CMD_SUMMARY);
        CHECK(r.Ok() && r.value.result == 0 && !r.value.text.empty());
    }
    double seconds = secondsSince(start);
    printf("  %d attribute requests: %.3f s\n", exchanges, seconds);
    CHECK(seconds < exchanges * 0.040);
}

void sixtyFourClientsAtOnce()
{
    warmUp();
    const int fdsBefore = openDescriptorCount(g_daemon);
    const long rssBefore = residentKiB(g_daemon);
    std::vector<std::unique_ptr<LoadClient>> clients = makeClients();
    Clock::time_point start = Clock::now();
    // Meanwhile the listener serves many more connections, each a process.
    std::thread churn(shortConnections, c_shortConnections);
    inParallel(clients, [](LoadClient& c) {
        if (!c.Connect(c_port))
            return;
        c.RunCommands(c_commandsPerClient / 4);
        c.ScanThenAbort();
        c.RunCommands(c_commandsPerClient / 4);
        c.ScanAbortedMidway();
        c.RunCommands(c_commandsPerClient / 2);
        c.Scan();
    });
    churn.join();
    printf("  %d clients x %d commands and 3 scans, %d short connections: %.1f s\n", c_clients, c_commandsPerClient,
           c_shortConnections, secondsSince(start));

    // Every client sits idle after the end of its last scan: its data process
    // has ended and is collected although no further command arrives.
    CHECK(waitUntil([] { return zombieDescendants(g_daemon).empty(); }, 5000));
    CHECK(waitUntil([] { return childPids(g_daemon).size() == static_cast<size_t>(c_clients); }, 5000));
    for (auto& client : clients)
        client->DeletePages();
    checkTallies(clients, 3);
    CHECK(waitUntil(onlyLogsInScanDir, 5000));

    for (auto& client : clients)
        client->Close();
    CHECK(waitUntil([] { return descendantPids(g_daemon).empty(); }, 10000));
    const int fdsAfter = openDescriptorCount(g_daemon);
    const long rssAfter = residentKiB(g_daemon);
    printf("  listener: %d descriptors before, %d after; VmRSS %ld KiB before, %ld KiB after\n", fdsBefore, fdsAfter,
           rssBefore, rssAfter);
    CHECK(fdsBefore > 0);
    CHECK_EQ(fdsAfter, fdsBefore);
    CHECK(rssBefore > 0 && rssAfter <= rssBefore + c_rssSlackKiB);
}

void quitWhileClientsWork()
{
    std::vector<std::unique_ptr<LoadClient>> clients = makeClients();
    std::atomic<int> connected{0};
    std::atomic<bool> listenerGone{false};
    int exitStatus = -1;
    double quitSeconds = -1;
    bool portFreed = false;
    bool logged = false;
    // SIGQUIT once every client has been served; the listener must end while
    // the connection processes still serve.
    std::thread quitter([&] {
        waitUntil([&] { return connected.load() == c_clients; }, 60000);
        Clock::time_point quit = Clock::now();
        signalProcess(g_daemon, SIGQUIT);
        exitStatus = waitForExit(g_daemon, 5000);
        quitSeconds = secondsSince(quit);
        logged = logContains(g_root + "/scan/ovra_scan_info.log", "[OvraScanSDK] parent pro exit\n");
        portFreed = portIsFree();
        listenerGone = true;
    });
    inParallel(clients, [&](LoadClient& c) {
        // Served once before the quit: a connection still waiting in the
        // listen queue is not the listener's to serve after it has gone.
        bool ok = c.Connect(c_port);
        ++connected;
        if (!ok)
            return;
        c.RunCommands(c_quitCommands / 2);
        waitUntil([&] { return listenerGone.load(); }, 60000);
        c.ScanThenAbort();
        c.RunCommands(c_quitCommands / 2);
    });
    quitter.join();
    printf("  SIGQUIT under load: the listener ended %.2f s after it\n", quitSeconds);
    CHECK_EQ(exitStatus, 0);
    CHECK(logged);
    CHECK(portFreed);
    checkTallies(clients, 1);
    for (auto& client : clients)
        client->Close();
    // The connection processes end with their connections; nothing is left.
    CHECK(waitUntil(
        [] {
            collectOrphans();
            return childPids(getpid()).empty();
        },
        10000));
    CHECK(onlyLogsInScanDir());
    if (exitStatus >= 0)
        g_daemon = -1;
}

} // namespace

int main()
{
    signal(SIGPIPE, SIG_IGN);
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    TestInstallRoot root("load", {"scan"});
    g_root = root.Path();
    if (!startScanners())
        return c_skipped;
    g_daemon = startServingDaemon(OVRA_SCAN_DAEMON_PATH, c_port);
    if (g_daemon < 0)
        return 1;
    int ret = testcheck::run({
        TEST_CASE(repliesInPartsAreNotHeldBack),
        TEST_CASE(sixtyFourClientsAtOnce),
        TEST_CASE(quitWhileClientsWork),
    });
    if (g_daemon > 0) {
        signalProcess(g_daemon, SIGQUIT);
        waitForExit(g_daemon, 5000);
    }
    g_scanners.clear();
    if (ret != 0) {
        root.Keep();
        fprintf(stderr, "the daemon's logs are kept in %s/scan\n", g_root.c_str());
    }
    return ret;
}
