#include "testsupport.h"

#include "scanpaths.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

bool fileExists(const std::string& path)
{
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary);
    out << content;
}

std::vector<std::string> listDir(const std::string& path)
{
    std::vector<std::string> names;
    DIR* dir = opendir(path.c_str());
    if (!dir)
        return names;
    while (struct dirent* entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0)
            names.push_back(entry->d_name);
    }
    closedir(dir);
    return names;
}

bool logContains(const std::string& logPath, const std::string& text)
{
    return readFile(logPath).find(text) != std::string::npos;
}

bool sendBytes(int fd, const void* data, size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = send(fd, bytes, size, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool recvExact(int fd, void* data, size_t size, int timeoutMs)
{
    char* bytes = static_cast<char*>(data);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (size > 0) {
        int left = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count());
        if (left <= 0)
            return false;
        struct pollfd entry = {fd, POLLIN, 0};
        if (poll(&entry, 1, left) <= 0)
            return false;
        ssize_t n = recv(fd, bytes, size, 0);
        if (n <= 0)
            return false;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool nothingArrives(int fd, int waitMs)
{
    struct pollfd entry = {fd, POLLIN, 0};
    return poll(&entry, 1, waitMs) == 0;
}

int connectLoopback(uint16_t port, const char* address)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        struct sockaddr_in to = {};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        inet_pton(AF_INET, address, &to.sin_addr);
        if (connect(fd, reinterpret_cast<struct sockaddr*>(&to), sizeof(to)) == 0)
            return fd;
        close(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return -1;
}

bool signalProcess(int pid, int sig)
{
    if (pid <= 1)
        return false;
    return kill(pid, sig) == 0;
}

int startDaemonProgram(const char* path, uint16_t port)
{
    setenv("OVRA_SCAN_DAEMON_PORT", std::to_string(port).c_str(), 1);
    setenv("OVRA_SCAN_DAEMON_FOREGROUND", "1", 1);
    pid_t pid = -1;
    char* argv[] = {const_cast<char*>(path), nullptr};
    if (posix_spawn(&pid, path, nullptr, nullptr, argv, environ) != 0)
        return -1;
    return pid;
}

int startServingDaemon(const char* path, uint16_t port)
{
    int pid = startDaemonProgram(path, port);
    int probe = daemonStillRunning(pid) ? connectLoopback(port) : -1;
    if (probe < 0) {
        fprintf(stderr, "FAIL: the daemon did not start on port %u (busy?)\n", port);
        signalProcess(pid, SIGQUIT);
        waitForExit(pid, 5000);
        return -1;
    }
    close(probe);
    return pid;
}

int waitForExit(int pid, int timeoutMs)
{
    if (pid <= 1)
        return -1;
    int exitStatus = -1;
    waitUntil(
        [&] {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) != pid)
                return false;
            exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return true;
        },
        timeoutMs);
    return exitStatus;
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return condition();
}

bool daemonStillRunning(int pid)
{
    if (pid <= 1)
        return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    int status = 0;
    return waitpid(pid, &status, WNOHANG) == 0;
}

int lastKilledPid()
{
    const std::string log = readFile(scanInfoLogPath());
    const size_t at = log.rfind("[OvraScanSDK] kill -9 ");
    return at == std::string::npos ? -1 : atoi(log.c_str() + at + 22);
}

std::vector<unsigned char> pageImage(int seed, int page, size_t size)
{
    std::vector<unsigned char> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<unsigned char>((seed * 131 + page * 31 + i * 7 + (i >> 8)) & 0xFF);
    return bytes;
}
