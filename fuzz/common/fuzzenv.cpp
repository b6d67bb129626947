#include "fuzzenv.h"

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace ovrafuzz {

namespace {

std::string g_root;
pid_t g_owner = 0;

void RemoveRoot()
{
    // Children forked by the code under test end with _exit; only the owner cleans up.
    if (getpid() != g_owner || g_root.empty())
        return;
    std::error_code ignored;
    std::filesystem::remove_all(g_root, ignored);
}

// TMPDIR, else memory (the programs write and sync files for every input), else /tmp.
std::string TempFolder()
{
    const char* tmp = std::getenv("TMPDIR");
    if (tmp && *tmp)
        return tmp;
    return access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
}

} // namespace

const std::string& FuzzRoot()
{
    if (!g_root.empty())
        return g_root;
    std::string pattern = TempFolder() + "/ovra-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data()))
        Fail("cannot make the temporary root");
    g_root = pattern + "/";
    g_owner = getpid();
    std::atexit(RemoveRoot);
    setenv("OVRA_INSTALL_ROOT", (g_root + "install/").c_str(), 1);
    setenv("CUPS_SERVERROOT", (g_root + "cups/").c_str(), 1);
    for (const char* dir : {"install/cfg", "install/scan", "install/temp", "cups/ppd"})
        MakeDirs(g_root + dir);
    return g_root;
}

void MakeDirs(const std::string& path)
{
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (error)
        Fail("cannot make a folder");
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    bool ok = file && (size == 0 || std::fwrite(data, 1, size, file) == size);
    if (file)
        ok = std::fclose(file) == 0 && ok;
    if (!ok)
        Fail("cannot write a file");
}

void RemoveFiles(const std::string& folder, const std::string& prefix)
{
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return;
    while (struct dirent* entry = readdir(dir)) {
        if (entry->d_type == DT_REG && std::string(entry->d_name).compare(0, prefix.size(), prefix) == 0)
            unlinkat(dirfd(dir), entry->d_name, 0);
    }
    closedir(dir);
}

void CapFile(const std::string& path, long maxBytes)
{
    struct stat info;
    if (stat(path.c_str(), &info) == 0 && info.st_size > maxBytes && truncate(path.c_str(), 0) != 0)
        Fail("cannot cut a file");
}

void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

std::set<int> OpenDescriptors()
{
    std::set<int> fds;
    DIR* dir = opendir("/proc/self/fd");
    if (!dir)
        Fail("cannot list /proc/self/fd");
    while (struct dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        int fd = std::atoi(entry->d_name);
        if (fd != dirfd(dir))
            fds.insert(fd);
    }
    closedir(dir);
    return fds;
}

void FillDescriptorsBelow(int floor)
{
    const std::set<int> open = OpenDescriptors();
    for (int fd = 0; fd < floor; ++fd) {
        if (open.count(fd))
            continue;
        int placeholder = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (placeholder != fd)
            Fail("descriptor numbers are not handed out lowest first");
    }
}

} // namespace ovrafuzz
