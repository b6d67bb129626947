#include "scanpaths.h"

#include "ovrainstallroot.h"

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>

namespace {

const char c_szScanSubdir[] = "scan/";
const char c_szBasePrefix[] = "ovrascandata_";
const char c_szPageSuffix[] = ".tmp";

// Consumes one run of decimal digits (at most 10) at pos.
bool takeDigits(const std::string& text, size_t& pos)
{
    size_t start = pos;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 10)
        ++pos;
    return pos > start;
}

bool takeChar(const std::string& text, size_t& pos, char c)
{
    if (pos >= text.size() || text[pos] != c)
        return false;
    ++pos;
    return true;
}

// Position after "<scan dir>ovrascandata_<digits>_<digits>", or npos.
size_t matchBaseName(const std::string& name)
{
    const std::string prefix = scanDirPath() + c_szBasePrefix;
    if (name.compare(0, prefix.size(), prefix) != 0)
        return std::string::npos;
    size_t pos = prefix.size();
    if (!takeDigits(name, pos) || !takeChar(name, pos, '_') || !takeDigits(name, pos))
        return std::string::npos;
    return pos;
}

bool matchPageSuffix(const std::string& path, size_t pos)
{
    if (!takeChar(path, pos, '_') || !takeDigits(path, pos))
        return false;
    return path.compare(pos, std::string::npos, c_szPageSuffix) == 0;
}

} // namespace

std::string scanDirPath() { return ovra_install_path(c_szScanSubdir); }

std::string scanDirNoSlash()
{
    std::string dir = scanDirPath();
    dir.pop_back();
    return dir;
}

std::string scanInfoLogPath() { return scanDirPath() + "ovra_scan_info.log"; }

std::string scanErrLogPath() { return scanDirPath() + "ovra_scan_err.log"; }

std::string scanBaseName(int pid, int index)
{
    char tail[64];
    snprintf(tail, sizeof(tail), "%s%d_%d", c_szBasePrefix, pid, index);
    return scanDirPath() + tail;
}

std::string pageFileName(const std::string& baseName, int page)
{
    char tail[32];
    snprintf(tail, sizeof(tail), "_%d%s", page, c_szPageSuffix);
    return baseName + tail;
}

bool isScanBaseName(const std::string& name)
{
    size_t pos = matchBaseName(name);
    return pos != std::string::npos && pos == name.size();
}

bool isPageFilePath(const std::string& path)
{
    size_t pos = matchBaseName(path);
    return pos != std::string::npos && matchPageSuffix(path, pos);
}

bool isPageFileOf(const std::string& path, const std::string& baseName)
{
    if (!isScanBaseName(baseName) || path.compare(0, baseName.size(), baseName) != 0)
        return false;
    return matchPageSuffix(path, baseName.size());
}

bool ensureScanDir()
{
    std::string dir = scanDirPath();
    for (size_t slash = dir.find('/', 1); slash != std::string::npos; slash = dir.find('/', slash + 1)) {
        std::string part = dir.substr(0, slash);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
    }
    struct stat info;
    return stat(dir.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}
