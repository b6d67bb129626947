// The scan-start sequence all transports share.
#include "scanstart.h"

#include "commands.h"
#include "daemonprocess.h"
#include "scanlog.h"
#include "scanpaths.h"

#include <fcntl.h>
#include <unistd.h>

namespace {

// The status of a start whose data process cannot be made.
const int32_t c_iForkFailed = OVRA_STATUS_NO_MEM;

// The data process waits behind this gate until the connection process has
// sent the start reply, so the reply always comes before the first record.
struct stStartGate {
    int fds[2] = {-1, -1};
};

bool openGate(stStartGate& gate) { return pipe2(gate.fds, O_CLOEXEC) == 0; }

void releaseGate(stStartGate& gate)
{
    char go = 1;
    ssize_t ignored = write(gate.fds[1], &go, 1);
    (void)ignored;
    close(gate.fds[0]);
    close(gate.fds[1]);
}

void passGate(stStartGate& gate)
{
    close(gate.fds[1]);
    char go;
    ssize_t ignored = read(gate.fds[0], &go, 1);
    (void)ignored;
    close(gate.fds[0]);
}

// Forks the data process; returns its id in the parent, 0 in the child, -1
// on failure (logged).
pid_t forkDataProcess(stStartGate& gate)
{
    if (!openGate(gate)) {
        OvraLogErr("create data proc err");
        return -1;
    }
    pid_t pid = fork();
    if (pid < 0) {
        close(gate.fds[0]);
        close(gate.fds[1]);
        OvraLogErr("create data proc err");
        return -1;
    }
    if (pid == 0) {
        passGate(gate);
        unblockQuitSignal();
        OvraReopenDbg();
    }
    return pid;
}

void noteDataProcess(stConnectionState& st, pid_t pid)
{
    st.dataProcPid = pid;
    st.dataProcs.insert(pid);
}

std::string nextBaseName(stConnectionState& st) { return scanBaseName(getpid(), st.filename_index++); }

// What the request names must be this connection's: a usbfs handle it opened (else the start
// is refused), a data connection it opened (given up here, since the start replaces it; any
// other is left alone).
int32_t claimScanner(stConnectionState& st, const stScanTransport& transport, void* job)
{
    if (transport.dataConnection)
        releaseDataConnection(st, *transport.dataConnection(job));
    if (transport.deviceHandle && !ownsDevice(st, transport.deviceHandle(job)))
        return c_iNotOwnHandle;
    return OVRA_STATUS_GOOD;
}

// The data connection a good start opened belongs to this connection from now on.
void noteDataConnection(stConnectionState& st, const stScanTransport& transport, void* job, int32_t result)
{
    if (!transport.dataConnection || result != OVRA_STATUS_GOOD)
        return;
    const int fd = *transport.dataConnection(job);
    if (fd >= 0)
        st.dataConnFds.insert(fd);
}

} // namespace

void runScanStart(stConnectionState& st, const stScanTransport& transport, void* job)
{
    if (!transport.receiveRequest(st, job))
        return;
    int32_t result = claimScanner(st, transport, job);
    if (result == OVRA_STATUS_GOOD)
        result = transport.startOnScanner(job);
    noteDataConnection(st, transport, job, result);
    const std::string baseName = nextBaseName(st);
    pid_t pid = 0;
    stStartGate gate;
    if (result == OVRA_STATUS_GOOD) {
        pid = forkDataProcess(gate);
        if (pid == 0) {
            transport.runDataProcess(st, job, baseName);
            _exit(0);
        }
        if (pid < 0)
            result = c_iForkFailed;
    }
    st.dataProcPid = 0;
    if (pid > 0)
        noteDataProcess(st, pid);
    const stWireRecord reply = transport.reply(job, result, baseName);
    if (sendReply(st, reply.data, reply.size, "send ScanStartReq result err"))
        OvraLogInfo("%s scanstart main process exit:%d pid:%d", transport.name, result, getpid());
    if (pid > 0)
        releaseGate(gate);
}
