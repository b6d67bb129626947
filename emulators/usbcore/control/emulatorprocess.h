// The frame of a standalone emulator process: stop signals, the env file that
// names the testbed, the optional program run under the testbed, the serve
// loop of the control socket, and the "ctl" client mode.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace ovraemu {

struct EmulatorProcess {
    std::string name;                  // program name, for messages
    std::string socketPath;
    std::string envFile;               // "UMOCKDEV_DIR=..." is written here when ready
    std::vector<std::string> program;  // run under the testbed when given
    // Libraries preloaded in front of libumockdev-preload. When there are any,
    // the env file also gets "LD_PRELOAD=<them>:libumockdev-preload.so.0".
    std::vector<std::string> preloadFirst;
};

// Blocks the stop signals (SIGTERM, SIGINT, SIGHUP) and SIGCHLD in this thread
// and so in every thread started afterwards, umockdev's workers included; the
// serve loop takes them between its waits. Call before creating the testbed.
void BlockStopSignals();

// Announces the testbed (env file; standard output or the program), then
// serves control lines with `handle` until `quitRequested()`, a stop signal or
// the end of the program. Returns the exit code: the program's (128 + signal
// number when it was killed), else 0; 1 when the env file cannot be written.
int ServeEmulator(const EmulatorProcess& process, const std::string& testbedDir,
                  const std::function<std::string(const std::string&)>& handle,
                  const std::function<bool()>& quitRequested);

// "NAME ctl SOCKET COMMAND [ARGS...]": sends one command and prints the reply.
// Returns 0 for "ok", 1 for "error", 2 when the emulator does not answer.
int RunControlCommand(const std::string& name, int argc, char** argv);

}  // namespace ovraemu
