#include "installroot.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

TestInstallRoot::TestInstallRoot(const char* tag, const std::vector<std::string>& subFolders)
{
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/ovra-" + tag + "-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a temporary install root from " + pattern);
    m_strPath = pattern;
    for (const std::string& folder : subFolders)
        std::filesystem::create_directories(FilePath(folder));
    Use();
}

TestInstallRoot::~TestInstallRoot()
{
    if (m_bKeep)
        return;
    std::error_code ignored;
    std::filesystem::remove_all(m_strPath, ignored);
}

void TestInstallRoot::Use() const { setenv("OVRA_INSTALL_ROOT", m_strPath.c_str(), 1); }
