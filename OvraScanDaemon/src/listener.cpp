#include "listener.h"

#include "connection.h"
#include "daemonconfig.h"
#include "daemonprocess.h"
#include "scanlog.h"
#include "scanpaths.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>

namespace {

// Room for every client of a burst of connections: once the queue is full
// the kernel answers with SYN cookies, and a client whose first command
// follows its connect in more than one segment is then reset.
const int c_iListenBacklog = SOMAXCONN;

// A start that cannot listen ends the program: the reason goes to both the error
// log and standard error (the journal under systemd).
[[noreturn]] void failToListen(const char* logLine, const char* step, uint16_t port, int error)
{
    OvraLogErr("%s", logLine);
    OvraJournalLine("cannot %s on 127.0.0.1:%d: %s", step, port, strerror(error));
    exit(EXIT_FAILURE);
}

// Under systemd (Type=notify) the unit becomes active once the port accepts
// clients. NOTIFY_SOCKET is dropped from the environment, so that connection and
// data processes never speak for the service.
void announceListening(uint16_t port)
{
    OvraJournalLine("listening on 127.0.0.1:%d", port);
    sd_notify(1, "READY=1");
}

// The client runs on the same computer: the daemon (possibly root) is reached
// on the loopback address only.
int openListeningSocket(uint16_t port)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        failToListen("bind err", "open a socket", port, errno);
    // A restarted daemon must not be kept from its port by connections of
    // the previous one that are still closing (TIME_WAIT); a second daemon
    // on the same port is still refused.
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    struct sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int bound = bind(fd, reinterpret_cast<struct sockaddr*>(&address), sizeof(address));
    const int bindError = errno;
    OvraLogErr("bind port:%d", port);
    if (bound < 0)
        failToListen("bind err", "bind", port, bindError);
    if (listen(fd, c_iListenBacklog) < 0)
        failToListen("listen err", "listen", port, errno);
    return fd;
}

void makeBlocking(int fd)
{
    int flags = fcntl(fd, F_GETFL);
    if (flags >= 0)
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
}

// Replies go out at once: a reply sent in parts (a head and its text, a count
// and its device records, records right after a start reply) would otherwise
// wait for the client's delayed acknowledgement of the part before.
void sendWithoutDelay(int fd)
{
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
}

// The connection processes that run, and whether the cap was logged since it
// was last reached.
struct stConnections {
    int running = 0;
    bool capLogged = false;
};

void reapConnections(stConnections& conns)
{
    while (waitpid(-1, nullptr, WNOHANG) > 0)
        --conns.running;
    if (conns.running < c_iMaxConnections)
        conns.capLogged = false;
}

// A client connection; -1 on SIGQUIT or when accept failed. Connection
// processes that end meanwhile are collected.
int acceptClient(int listenFd, stConnections& conns)
{
    for (;;) {
        reapConnections(conns);
        const enWaitResult result = waitReadableOrChildEnd(listenFd, -1);
        if (result == en_Wait_Readable)
            return accept(listenFd, nullptr, nullptr);
        if (result != en_Wait_ChildEnded)
            return -1;
    }
}

// A connection beyond the cap is closed at once: a local user cannot fill the
// process table through the daemon. The cap is logged once each time it is reached.
bool refuseOverCap(int clientFd, stConnections& conns)
{
    if (conns.running < c_iMaxConnections)
        return false;
    if (!conns.capLogged)
        OvraLogErr("connection limit %d reached: new connections are closed", c_iMaxConnections);
    conns.capLogged = true;
    close(clientFd);
    return true;
}

void startConnectionProcess(int listenFd, int clientFd, stConnections& conns)
{
    pid_t pid = fork();
    if (pid < 0) {
        OvraLogErr("fork pro err");
    } else if (pid == 0) {
        close(listenFd);
        runConnectionProcess(clientFd);
        _exit(0);
    } else {
        ++conns.running;
        OvraLogInfo("new conn pid:%d", pid);
    }
    close(clientFd);
}

} // namespace

long mainProc()
{
    blockQuitSignal();
    // Connection processes are collected here, so that they can be counted.
    watchChildEnds();
    ensureScanDir();
    OvraInitDbg();
    const uint16_t port = daemonListenPort();
    int listenFd = openListeningSocket(port);
    announceListening(port);
    stConnections conns;
    while (flag) {
        int clientFd = acceptClient(listenFd, conns);
        if (clientFd < 0) {
            OvraLogErr("accept err");
            continue;
        }
        if (refuseOverCap(clientFd, conns))
            continue;
        makeBlocking(clientFd);
        sendWithoutDelay(clientFd);
        startConnectionProcess(listenFd, clientFd, conns);
    }
    OvraLogInfo("parent pro exit");
    OvraJournalLine("stopped");
    close(listenFd);
    return 0;
}
