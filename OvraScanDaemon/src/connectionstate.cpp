#include "connectionstate.h"

#include "scanlog.h"

#include <csignal>
#include <sys/wait.h>

bool ownsDevice(const stConnectionState& st, int fd) { return st.deviceFds.count(fd) != 0; }

bool ownsDataConnection(const stConnectionState& st, int fd) { return st.dataConnFds.count(fd) != 0; }

void releaseDataConnection(stConnectionState& st, int& fd)
{
    if (ownsDataConnection(st, fd))
        st.dataConnFds.erase(fd);
    else
        fd = -1;
}

void reapDataProcesses(stConnectionState& st)
{
    for (auto it = st.dataProcs.begin(); it != st.dataProcs.end();) {
        if (waitpid(*it, nullptr, WNOHANG) == *it) {
            if (st.dataProcPid == *it)
                st.dataProcPid = 0;
            it = st.dataProcs.erase(it);
        } else {
            ++it;
        }
    }
}

void killDataProcess(stConnectionState& st)
{
    reapDataProcesses(st);
    pid_t pid = st.dataProcPid;
    st.dataProcPid = 0;
    if (pid <= 0 || st.dataProcs.count(pid) == 0)
        return;
    OvraLogInfo("kill -9 %d", pid);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    st.dataProcs.erase(pid);
}
