// ovra-usbprinter-emu: emulated Ovra USB printers for programs in other
// processes. See README.md for the options and the control commands.
#include "commandinterpreter.h"
#include "controlsocket.h"
#include "ovraemu/usbprinterbed.h"

#include <pthread.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr char kPreloadLibrary[] = "libumockdev-preload.so.0";

struct Options {
    std::string socketPath;
    std::string envFile;
    std::vector<ovraemu::UsbPrinterConfig> printers;
    std::vector<std::string> program;  // run under the testbed when given
};

void Usage()
{
    std::fprintf(stderr,
                 "usage: ovra-usbprinter-emu --socket PATH [--env-file PATH] [--printer VID:PID[:SERIAL]]...\n"
                 "                           [-- PROGRAM [ARGS...]]\n"
                 "       ovra-usbprinter-emu ctl SOCKET COMMAND [ARGS...]\n");
}

bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") {
            options.program.assign(argv + i + 1, argv + argc);
            return !options.program.empty() && !options.socketPath.empty();
        }
        if (i + 1 >= argc)
            return false;
        const std::string value = argv[++i];
        if (arg == "--socket") {
            options.socketPath = value;
        } else if (arg == "--env-file") {
            options.envFile = value;
        } else if (arg == "--printer") {
            const auto config = ovraemu::ParsePrinterArgument(value);
            if (!config)
                return false;
            options.printers.push_back(*config);
        } else {
            return false;
        }
    }
    return !options.socketPath.empty();
}

// The stop signals (and SIGCHLD) are blocked in every thread, umockdev's
// worker threads included, and taken by the serve loop between its waits.
sigset_t StopSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGCHLD})
        sigaddset(&signals, signal);
    return signals;
}

bool StopSignalPending(const sigset_t& signals)
{
    const timespec noWait{0, 0};
    int signal;
    while ((signal = sigtimedwait(&signals, nullptr, &noWait)) > 0) {
        if (signal != SIGCHLD)
            return true;
    }
    return false;
}

bool WriteEnvFile(const std::string& path, const std::string& root)
{
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary);
        out << "UMOCKDEV_DIR=" << root << "\n";
        if (!out)
            return false;
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

// The program runs with the preload library and the testbed, like under
// umockdev-wrapper; its own children inherit both.
pid_t StartProgram(const std::vector<std::string>& program, const std::string& root)
{
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    const sigset_t signals = StopSignals();
    pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
    const char* preload = std::getenv("LD_PRELOAD");
    const std::string preloads = std::string(kPreloadLibrary) + (preload && *preload ? std::string(":") + preload : "");
    setenv("LD_PRELOAD", preloads.c_str(), 1);
    setenv("UMOCKDEV_DIR", root.c_str(), 1);
    std::vector<char*> args;
    for (const std::string& arg : program)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    std::fprintf(stderr, "ovra-usbprinter-emu: cannot run %s: %s\n", args[0], std::strerror(errno));
    _exit(127);
}

int ExitCodeOf(int status)
{
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int Serve(const Options& options)
{
    const sigset_t signals = StopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    ovraemu::UsbPrinterBed bed;
    for (const ovraemu::UsbPrinterConfig& config : options.printers)
        bed.AddPrinter(config);
    ovraemu::CommandInterpreter interpreter(bed);
    ovraemu::ControlServer server(options.socketPath);
    if (!options.envFile.empty() && !WriteEnvFile(options.envFile, bed.RootDir())) {
        std::fprintf(stderr, "ovra-usbprinter-emu: cannot write %s\n", options.envFile.c_str());
        return 1;
    }
    pid_t program = -1;
    if (options.program.empty()) {
        std::printf("UMOCKDEV_DIR=%s\n", bed.RootDir().c_str());
        std::fflush(stdout);
    } else {
        program = StartProgram(options.program, bed.RootDir());
    }

    int exitCode = 0;
    const auto handle = [&interpreter](const std::string& line) { return interpreter.Execute(line); };
    while (!interpreter.QuitRequested() && !StopSignalPending(signals)) {
        server.ServeFor(200, handle);
        int status = 0;
        if (program > 0 && waitpid(program, &status, WNOHANG) == program) {
            exitCode = ExitCodeOf(status);
            break;
        }
    }
    if (!options.envFile.empty())
        std::remove(options.envFile.c_str());
    return exitCode;
}

int Control(int argc, char** argv)
{
    std::string command;
    for (int i = 3; i < argc; ++i)
        command += (i > 3 ? " " : "") + std::string(argv[i]);
    const auto reply = ovraemu::SendControlCommand(argv[2], command);
    if (!reply) {
        std::fprintf(stderr, "ovra-usbprinter-emu: no answer on %s\n", argv[2]);
        return 2;
    }
    std::printf("%s\n", reply->c_str());
    return reply->compare(0, 2, "ok") == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 4 && std::strcmp(argv[1], "ctl") == 0)
        return Control(argc, argv);
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        Usage();
        return 2;
    }
    try {
        return Serve(options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ovra-usbprinter-emu: %s\n", e.what());
        return 1;
    }
}
