// Takes finished page files out of the daemon's scan directory: waits until a page
// file holds every byte its records announced, copies it into the output folder as
// page-001.jpg, page-002.jpg, ... and has the daemon delete it.
#pragma once

#include "ovrascan/scansettings.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ovrascan {

// "<base name>_<page>.tmp", the daemon's page file of a scan.
std::string PageFilePath(const std::string& baseName, int page);

// Creates the folder (and those above it) when missing; false with a reason when it
// cannot be made or is not a writable folder.
bool PrepareOutputFolder(const std::string& folder, std::string& error);

struct SavedPage {
    std::string path;
    int64_t bytes = 0;
};

class PageCollector
{
public:
    using DeleteRequest = std::function<bool(const std::string&)>;

    PageCollector(std::string outputFolder, ImageFormat format, DeleteRequest deleteRequest,
                  std::chrono::milliseconds settleLimit = std::chrono::seconds(5));

    enum class Result {
        Saved,
        Empty,
        Failed
    };
    // Copies the page file once it holds `bytes` bytes (waiting at most the settle
    // limit for the daemon to write and close it), then asks for its deletion. An empty
    // page is deleted without a copy. On Failed, `error` says why; the page file is
    // still deleted.
    Result Collect(const std::string& pageFile, int64_t bytes, std::string& error);
    // Asks for the deletion of a page file that is not kept.
    void Discard(const std::string& pageFile);

    const std::vector<SavedPage>& Saved() const { return m_saved; }
    const std::vector<std::string>& DeleteRequests() const { return m_deleteRequests; }
    std::string NextOutputPath() const;

private:
    bool WaitForBytes(const std::string& pageFile, int64_t bytes, int64_t& size) const;
    bool CopyPage(const std::string& from, const std::string& to, int64_t& copied, std::string& error) const;

    std::string m_folder;
    ImageFormat m_format;
    DeleteRequest m_deleteRequest;
    std::chrono::milliseconds m_settleLimit;
    std::vector<SavedPage> m_saved;
    std::vector<std::string> m_deleteRequests;
};

} // namespace ovrascan
