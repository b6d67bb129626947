#include "deletefiles.h"

#include "scanlog.h"
#include "scanpaths.h"

#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isRegularFile(const std::string& path, unsigned char type)
{
    if (type == DT_REG)
        return true;
    if (type != DT_UNKNOWN)
        return false;
    struct stat info;
    return lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace

int deleteFileList(const char* basePath, const char* subStr)
{
    if (!subStr || subStr[0] == '\0') {
        OvraLogInfo("subStr isEmpty");
        return 0;
    }
    if (!isScanBaseName(subStr)) {
        OvraLogErr("not a scan file name:%s", logSafe(subStr).c_str());
        return 0;
    }
    DIR* dir = opendir(basePath);
    if (!dir)
        return -1;
    while (struct dirent* entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0)
            continue;
        std::string path = std::string(basePath) + "/" + entry->d_name;
        if (!isRegularFile(path, entry->d_type) || !isPageFileOf(path, subStr))
            continue;
        OvraLogInfo("delete file:%s", path.c_str());
        unlink(path.c_str());
    }
    closedir(dir);
    return 0;
}

bool deletePageFile(const char* path)
{
    if (!isPageFilePath(path)) {
        OvraLogErr("not a page file, not deleted:%s", logSafe(path).c_str());
        return false;
    }
    struct stat info;
    if (lstat(path, &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    return unlink(path) == 0;
}
