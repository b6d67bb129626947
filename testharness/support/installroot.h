// A private install root for one test: a fresh folder under the temporary folder,
// named OVRA_INSTALL_ROOT for the programs under test, removed with everything in it
// when the object goes. Plain C++, so that tests with and without Qt share it.
#pragma once

#include <string>
#include <vector>

#ifdef QT_CORE_LIB
#include <QString>
#endif

class TestInstallRoot
{
public:
    // tag names the folder ("<tmp>/ovra-<tag>-XXXXXX"); each of subFolders is made in it.
    explicit TestInstallRoot(const char* tag = "test", const std::vector<std::string>& subFolders = {});
    ~TestInstallRoot();
    TestInstallRoot(const TestInstallRoot&) = delete;
    TestInstallRoot& operator=(const TestInstallRoot&) = delete;

    const std::string& Path() const { return m_strPath; }
    // The path of a file or folder below the root.
    std::string FilePath(const std::string& relative) const { return m_strPath + "/" + relative; }
    // Points OVRA_INSTALL_ROOT at this root again (the constructor does it once).
    void Use() const;
    // Leaves the tree in place when the object goes (to look into after a failure).
    void Keep() { m_bKeep = true; }

#ifdef QT_CORE_LIB
    QString QPath() const { return QString::fromStdString(m_strPath); }
    QString QFilePath(const QString& relative) const { return QPath() + "/" + relative; }
#endif

private:
    std::string m_strPath;
    bool m_bKeep = false;
};
