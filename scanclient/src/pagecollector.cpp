#include "ovrascan/pagecollector.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <thread>

namespace ovrascan {

namespace {

constexpr std::chrono::milliseconds kPollInterval(10);

// -1 when the file cannot be looked at (errno tells why).
int64_t FileSize(const std::string& path)
{
    struct stat info {
    };
    return stat(path.c_str(), &info) == 0 ? int64_t(info.st_size) : -1;
}

bool MakeFolder(const std::string& folder) { return mkdir(folder.c_str(), 0755) == 0 || errno == EEXIST; }

} // namespace

std::string PageFilePath(const std::string& baseName, int page)
{
    return baseName + "_" + std::to_string(page) + ".tmp";
}

bool PrepareOutputFolder(const std::string& folder, std::string& error)
{
    if (folder.empty()) {
        error = "no output folder given";
        return false;
    }
    for (size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1))
        MakeFolder(folder.substr(0, slash));
    struct stat info {
    };
    if (!MakeFolder(folder) || stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        error = "cannot create the output folder " + folder + ": " + strerror(errno ? errno : ENOTDIR);
        return false;
    }
    if (access(folder.c_str(), W_OK) != 0) {
        error = "the output folder " + folder + " is not writable";
        return false;
    }
    return true;
}

PageCollector::PageCollector(std::string outputFolder, ImageFormat format, DeleteRequest deleteRequest,
                             std::chrono::milliseconds settleLimit)
    : m_folder(std::move(outputFolder)), m_format(format), m_deleteRequest(std::move(deleteRequest)),
      m_settleLimit(settleLimit)
{
}

std::string PageCollector::NextOutputPath() const
{
    char name[32];
    snprintf(name, sizeof name, "page-%03zu.%s", m_saved.size() + 1, PageExtension(m_format));
    return m_folder + "/" + name;
}

bool PageCollector::WaitForBytes(const std::string& pageFile, int64_t bytes, int64_t& size) const
{
    const auto deadline = std::chrono::steady_clock::now() + m_settleLimit;
    while ((size = FileSize(pageFile)) < bytes && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(kPollInterval);
    return size >= bytes;
}

bool PageCollector::CopyPage(const std::string& from, const std::string& to, int64_t& copied, std::string& error) const
{
    std::ifstream in(from, std::ios::binary);
    if (!in) {
        error = "cannot read the page file " + from + ": " + strerror(errno);
        return false;
    }
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    if (!out) {
        error = "cannot write " + to + ": " + strerror(errno);
        return false;
    }
    out << in.rdbuf();
    out.close();
    copied = FileSize(to);
    if (!out || copied < 0) {
        error = "writing " + to + " failed";
        return false;
    }
    return true;
}

PageCollector::Result PageCollector::Collect(const std::string& pageFile, int64_t bytes, std::string& error)
{
    int64_t size = 0;
    Result result = Result::Failed;
    if (!WaitForBytes(pageFile, bytes, size)) {
        error = size < 0 ? "cannot read the page file " + pageFile + ": " + strerror(errno)
                         : "the page file " + pageFile + " holds " + std::to_string(size) + " of "
                               + std::to_string(bytes) + " bytes";
    } else if (size == 0) {
        result = Result::Empty;
    } else {
        SavedPage page{NextOutputPath(), 0};
        if (CopyPage(pageFile, page.path, page.bytes, error)) {
            m_saved.push_back(page);
            result = Result::Saved;
        }
    }
    Discard(pageFile);
    return result;
}

void PageCollector::Discard(const std::string& pageFile)
{
    m_deleteRequests.push_back(pageFile);
    if (m_deleteRequest)
        m_deleteRequest(pageFile);
}

} // namespace ovrascan
