// The frame of a standalone emulator process: stop signals, the env file that
// names the testbed, the optional program run under the testbed, the serve
// loop of the control socket, and the "ctl" client mode.
#pragma once

#include "commandwords.h"

#include <getopt.h>

#include <functional>
#include <string>
#include <vector>

namespace ovraemu {

struct EmulatorProcess {
    std::string name; // program name, for messages
    std::string socketPath;
    std::string envFile;              // "UMOCKDEV_DIR=..." is written here when ready
    std::vector<std::string> program; // run under the testbed when given
    // Libraries preloaded in front of libumockdev-preload. When there are any,
    // the env file also gets "LD_PRELOAD=<them>:libumockdev-preload.so.0".
    std::vector<std::string> preloadFirst;
};

// getopt_long codes of the options every USB emulator takes, and their table entries.
enum EmulatorOption {
    kOptionSocket = 0x200,
    kOptionEnvFile,
    kOptionFirstOwn
};
#define OVRA_EMULATOR_LONG_OPTIONS                                                                                     \
    {"socket", required_argument, nullptr, ovraemu::kOptionSocket},                                                    \
    {                                                                                                                  \
        "env-file", required_argument, nullptr, ovraemu::kOptionEnvFile                                                \
    }

// Reads a USB emulator's command line with getopt_long (longOptions: the emulator's own,
// OVRA_EMULATOR_LONG_OPTIONS and OVRA_COMMON_LONG_OPTIONS): --help and --version, the
// control socket (required), the env file, the program to run after "--" (only there,
// and "--" has one), and the emulator's own options through takeOwn (false for a wrong
// value). kOvraRun, or the exit status the command line ends with.
int ParseEmulatorCommandLine(int argc, char** argv, const option* longOptions, const char* usage,
                             EmulatorProcess& process, const std::function<bool(int, const char*)>& takeOwn);

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

// ServeEmulator with the control commands of `interpreter`, until "quit".
int ServeTestbed(const EmulatorProcess& process, TestbedInterpreter& interpreter);

// "NAME ctl SOCKET COMMAND [ARGS...]": sends one command and prints the reply.
// Returns 0 for "ok", 1 for "error", 2 when the emulator does not answer.
int RunControlCommand(const std::string& name, int argc, char** argv);

// The main of a standalone emulator: the "ctl" client mode, else the command line read by
// parseOptions (kOvraRun, or the exit status it ends with) and serve run; an error thrown
// is printed after the name and ends the process with status 1.
int RunEmulatorMain(const std::string& name, int argc, char** argv, const std::function<int()>& parseOptions,
                    const std::function<int()>& serve);

// The same, for an emulator whose command line fills its Options: parse(argc, argv,
// options), then serve(options).
template <typename Options>
int RunEmulatorMain(const std::string& name, int argc, char** argv, int (*parse)(int, char**, Options&),
                    int (*serve)(const Options&))
{
    Options options;
    return RunEmulatorMain(
        name, argc, argv, [&] { return parse(argc, argv, options); }, [&] { return serve(options); });
}

} // namespace ovraemu
