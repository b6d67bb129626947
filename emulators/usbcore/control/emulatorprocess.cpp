#include "emulatorprocess.h"

#include "controlsocket.h"
#include "ovracli.h"

#include <pthread.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>

namespace ovraemu {
namespace {

constexpr char kPreloadLibrary[] = "libumockdev-preload.so.0";
constexpr int kServeSliceMs = 200;

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

// The preload libraries of the program, in front of `existing`.
std::string PreloadList(const EmulatorProcess& process, const char* existing)
{
    std::string list;
    for (const std::string& library : process.preloadFirst)
        list += library + ":";
    list += kPreloadLibrary;
    if (existing && *existing)
        list += std::string(":") + existing;
    return list;
}

bool WriteEnvFile(const EmulatorProcess& process, const std::string& root)
{
    const std::string temporary = process.envFile + ".tmp";
    {
        std::ofstream out(temporary);
        out << "UMOCKDEV_DIR=" << root << "\n";
        if (!process.preloadFirst.empty())
            out << "LD_PRELOAD=" << PreloadList(process, nullptr) << "\n";
        if (!out)
            return false;
    }
    return std::rename(temporary.c_str(), process.envFile.c_str()) == 0;
}

// The program runs with the preload library and the testbed, like under
// umockdev-wrapper; its own children inherit both.
pid_t StartProgram(const EmulatorProcess& process, const std::string& root)
{
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    const sigset_t signals = StopSignals();
    pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
    const std::string preloads = PreloadList(process, std::getenv("LD_PRELOAD"));
    setenv("LD_PRELOAD", preloads.c_str(), 1);
    setenv("UMOCKDEV_DIR", root.c_str(), 1);
    std::vector<char*> args;
    for (const std::string& arg : process.program)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    std::fprintf(stderr, "%s: cannot run %s: %s\n", process.name.c_str(), args[0], std::strerror(errno));
    _exit(127);
}

int ExitCodeOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

} // namespace

void BlockStopSignals()
{
    const sigset_t signals = StopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

int ServeEmulator(const EmulatorProcess& process, const std::string& testbedDir,
                  const std::function<std::string(const std::string&)>& handle,
                  const std::function<bool()>& quitRequested)
{
    const sigset_t signals = StopSignals();
    ControlServer server(process.socketPath);
    if (!process.envFile.empty() && !WriteEnvFile(process, testbedDir)) {
        std::fprintf(stderr, "%s: cannot write %s\n", process.name.c_str(), process.envFile.c_str());
        return 1;
    }
    pid_t program = -1;
    if (process.program.empty()) {
        std::printf("UMOCKDEV_DIR=%s\n", testbedDir.c_str());
        std::fflush(stdout);
    } else {
        program = StartProgram(process, testbedDir);
    }

    int exitCode = 0;
    while (!quitRequested() && !StopSignalPending(signals)) {
        server.ServeFor(kServeSliceMs, handle);
        int status = 0;
        if (program > 0 && waitpid(program, &status, WNOHANG) == program) {
            exitCode = ExitCodeOf(status);
            break;
        }
    }
    if (!process.envFile.empty())
        std::remove(process.envFile.c_str());
    return exitCode;
}

int ServeTestbed(const EmulatorProcess& process, TestbedInterpreter& interpreter)
{
    return ServeEmulator(
        process, interpreter.RootDir(), [&interpreter](const std::string& line) { return interpreter.Execute(line); },
        [&interpreter] { return interpreter.QuitRequested(); });
}

int RunControlCommand(const std::string& name, int argc, char** argv)
{
    std::string command;
    for (int i = 3; i < argc; ++i)
        command += (i > 3 ? " " : "") + std::string(argv[i]);
    const auto reply = SendControlCommand(argv[2], command);
    if (!reply) {
        std::fprintf(stderr, "%s: no answer on %s\n", name.c_str(), argv[2]);
        return 2;
    }
    std::printf("%s\n", reply->c_str());
    return reply->compare(0, 2, "ok") == 0 ? 0 : 1;
}

int ParseEmulatorCommandLine(int argc, char** argv, const option* longOptions, const char* usage,
                             EmulatorProcess& process, const std::function<bool(int, const char*)>& takeOwn)
{
    const char* name = process.name.c_str();
    int code = 0;
    while ((code = getopt_long(argc, argv, "+h", longOptions, nullptr)) != -1) {
        const int exitStatus = AnswerCommonOption(code, name, usage);
        if (exitStatus != kOvraRun)
            return exitStatus;
        if (code == kOptionSocket)
            process.socketPath = optarg;
        else if (code == kOptionEnvFile)
            process.envFile = optarg;
        else if (!takeOwn(code, optarg))
            return AnswerCommonOption('?', name, usage);
    }
    const bool afterDashes = optind > 1 && std::strcmp(argv[optind - 1], "--") == 0;
    if (afterDashes != (optind < argc) || process.socketPath.empty())
        return AnswerCommonOption('?', name, usage);
    process.program.assign(argv + optind, argv + argc);
    return kOvraRun;
}

int RunEmulatorMain(const std::string& name, int argc, char** argv, const std::function<int()>& parseOptions,
                    const std::function<int()>& serve)
{
    if (argc >= 4 && std::strcmp(argv[1], "ctl") == 0)
        return RunControlCommand(name, argc, argv);
    const int commandLineExit = parseOptions();
    if (commandLineExit != kOvraRun)
        return commandLineExit;
    try {
        return serve();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", name.c_str(), e.what());
        return 1;
    }
}

} // namespace ovraemu
