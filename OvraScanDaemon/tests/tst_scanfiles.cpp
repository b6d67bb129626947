// Scan files: names of scans and page files, the test that a client's name is
// a page file of the scan directory, removal of a scan's pages, page file
// creation and the logs.
#include "deletefiles.h"
#include "pagefile.h"
#include "scanlog.h"
#include "scanpaths.h"
#include "testcheck.h"
#include "testsupport.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

const TestInstallRoot* g_root = nullptr;

std::string scanDir() { return g_root->FilePath("scan/"); }

void namesOfScansAndPages()
{
    CHECK_STR(scanBaseName(123, 4), scanDir() + "ovrascandata_123_4");
    CHECK_STR(pageFileName(scanBaseName(123, 4), 0), scanDir() + "ovrascandata_123_4_0.tmp");
    CHECK_STR(scanInfoLogPath(), scanDir() + "ovra_scan_info.log");
    CHECK_STR(scanErrLogPath(), scanDir() + "ovra_scan_err.log");
    CHECK_STR(scanDirNoSlash() + "/", scanDir());
}

void onlyPageFilesOfTheScanDirectoryMatch()
{
    std::string dir = scanDir();
    CHECK(isScanBaseName(dir + "ovrascandata_1_0"));
    CHECK(!isScanBaseName(dir + "ovrascandata_1_"));
    CHECK(!isScanBaseName(dir + "ovrascandata_1_0_0.tmp"));
    CHECK(!isScanBaseName(dir + "ovra"));
    CHECK(!isScanBaseName("/etc/ovrascandata_1_0"));
    CHECK(!isScanBaseName(dir + "../scan/ovrascandata_1_0"));
    CHECK(!isScanBaseName(dir + "ovrascandata_12345678901_0"));

    CHECK(isPageFilePath(dir + "ovrascandata_1_0_0.tmp"));
    CHECK(isPageFilePath(dir + "ovrascandata_20_3_17.tmp"));
    CHECK(!isPageFilePath(dir + "ovra_scan_info.log"));
    CHECK(!isPageFilePath(dir + "ovrascandata_1_0_0.tmp/../../etc/passwd"));
    CHECK(!isPageFilePath(dir + "ovrascandata_1_0_0.tmpx"));
    CHECK(!isPageFilePath(dir + "ovrascandata_1_0.tmp"));
    CHECK(!isPageFilePath("/tmp/ovrascandata_1_0_0.tmp"));
    CHECK(!isPageFilePath(""));

    // Scan 1 is not a prefix of scan 10.
    CHECK(isPageFileOf(dir + "ovrascandata_7_1_0.tmp", dir + "ovrascandata_7_1"));
    CHECK(!isPageFileOf(dir + "ovrascandata_7_10_0.tmp", dir + "ovrascandata_7_1"));
    CHECK(!isPageFileOf(dir + "ovrascandata_7_1_0.tmp", dir + "ovrascandata_7"));
}

void abortRemovesOnlyThatScansPages()
{
    std::string dir = scanDir();
    OvraInitDbg();
    const char* files[] = {"ovrascandata_7_1_0.tmp", "ovrascandata_7_1_1.tmp", "ovrascandata_7_10_0.tmp",
                           "ovrascandata_7_2_0.tmp", "ovrascandata_8_1_0.tmp", "other.txt"};
    for (const char* name : files)
        writeFile(dir + name, "page");
    mkdir((dir + "ovrascandata_7_1_5.tmp").c_str(), 0755); // a folder with a page file's name
    std::string outside = g_root->FilePath("precious");
    writeFile(outside, "keep");
    CHECK_EQ(symlink(outside.c_str(), (dir + "ovrascandata_7_1_9.tmp").c_str()), 0);

    CHECK_EQ(deleteFileList(scanDirNoSlash().c_str(), (dir + "ovrascandata_7_1").c_str()), 0);
    CHECK(!fileExists(dir + "ovrascandata_7_1_0.tmp"));
    CHECK(!fileExists(dir + "ovrascandata_7_1_1.tmp"));
    CHECK(fileExists(dir + "ovrascandata_7_10_0.tmp"));
    CHECK(fileExists(dir + "ovrascandata_7_2_0.tmp"));
    CHECK(fileExists(dir + "ovrascandata_8_1_0.tmp"));
    CHECK(fileExists(dir + "other.txt"));
    CHECK(fileExists(dir + "ovrascandata_7_1_5.tmp"));
    CHECK(fileExists(dir + "ovrascandata_7_1_9.tmp")); // a link, not a regular file
    CHECK_STR(readFile(outside), "keep");
    CHECK(fileExists(scanInfoLogPath()));
    CHECK(logContains(scanInfoLogPath(), "[OvraScanSDK] delete file:" + dir + "ovrascandata_7_1_0.tmp\n"));
}

void abortWithUnsafeNamesRemovesNothing()
{
    std::string dir = scanDir();
    OvraInitDbg();
    writeFile(dir + "ovrascandata_9_0_0.tmp", "page");
    CHECK_EQ(deleteFileList(scanDirNoSlash().c_str(), ""), 0);
    CHECK(logContains(scanInfoLogPath(), "[OvraScanSDK] subStr isEmpty\n"));
    // Substrings that would match the logs or every scan.
    for (const char* sub : {"ovra", "scan", ".log", "/", "ovrascandata_9", "_0"}) {
        deleteFileList(scanDirNoSlash().c_str(), sub);
        deleteFileList(scanDirNoSlash().c_str(), (dir + sub).c_str());
    }
    CHECK(fileExists(dir + "ovrascandata_9_0_0.tmp"));
    CHECK(fileExists(scanInfoLogPath()));
    CHECK(fileExists(scanErrLogPath()));
    CHECK_EQ(deleteFileList(g_root->FilePath("missing").c_str(), (dir + "ovrascandata_9_0").c_str()), -1);
}

void deleteFileTakesOnlyPageFiles()
{
    std::string dir = scanDir();
    OvraInitDbg();
    writeFile(dir + "ovrascandata_3_0_0.tmp", "page");
    std::string outside = g_root->FilePath("ovrascandata_3_0_0.tmp");
    writeFile(outside, "keep");
    CHECK(!deletePageFile(outside.c_str()));
    CHECK(!deletePageFile(scanInfoLogPath().c_str()));
    CHECK(!deletePageFile((dir + "ovrascandata_3_0_0.tmp/../ovra_scan_err.log").c_str()));
    CHECK(!deletePageFile((dir + "ovrascandata_3_0_1.tmp").c_str())); // does not exist
    CHECK(fileExists(outside));
    CHECK(fileExists(scanErrLogPath()));
    CHECK(deletePageFile((dir + "ovrascandata_3_0_0.tmp").c_str()));
    CHECK(!fileExists(dir + "ovrascandata_3_0_0.tmp"));
}

void pageFilesAreWrittenWhole()
{
    std::string base = scanBaseName(42, 0);
    int fd = createPageFile(base, 2);
    CHECK(fd >= 0);
    std::vector<unsigned char> data = pageImage(1, 2, 70000);
    CHECK(writePageData(fd, data.data(), data.size()));
    closePageFile(fd);
    CHECK_EQ(fd, -1);
    CHECK(readFile(pageFileName(base, 2)) == std::string(data.begin(), data.end()));
    CHECK(!writePageData(-1, data.data(), data.size()));

    // A planted link is not followed.
    std::string target = g_root->FilePath("target");
    writeFile(target, "keep");
    CHECK_EQ(symlink(target.c_str(), pageFileName(base, 3).c_str()), 0);
    CHECK_EQ(createPageFile(base, 3), -1);
    CHECK_STR(readFile(target), "keep");
}

void logsTruncateThenAppend()
{
    CHECK(OvraInitDbg());
    OvraLogInfo("first %d", 1);
    OvraLogErrNoEol("no end");
    CHECK(OvraReopenDbg());
    OvraLogInfo("second");
    OvraLogErr("after");
    CHECK_STR(readFile(scanInfoLogPath()), "[OvraScanSDK] first 1\n[OvraScanSDK] second\n");
    CHECK_STR(readFile(scanErrLogPath()), "[OvraScanSDK] no end[OvraScanSDK] after\n");
    CHECK(OvraInitDbg());
    CHECK_STR(readFile(scanInfoLogPath()), "");
    OvraLogSignal(3);
    CHECK_STR(readFile(scanInfoLogPath()), "[OvraScanSDK] I got a signal 3\nI'm quitting.\n");
}

void missingScanDirectory()
{
    const TestInstallRoot root("nodir");
    CHECK(!OvraInitDbg());
    OvraLogInfo("goes nowhere"); // must not crash
    OvraLogErr("goes nowhere");
    OvraLogSignal(3);
    CHECK_EQ(createPageFile(scanBaseName(1, 0), 0), -1);
    CHECK(ensureScanDir());
    CHECK(OvraInitDbg());
    CHECK(fileExists(root.FilePath("scan/ovra_scan_info.log")));
    OvraCloseDbg();
    g_root->Use();
}

} // namespace

int main()
{
    const TestInstallRoot root("files", {"scan"});
    g_root = &root;
    int ret = testcheck::run({
        TEST_CASE(namesOfScansAndPages),
        TEST_CASE(onlyPageFilesOfTheScanDirectoryMatch),
        TEST_CASE(abortRemovesOnlyThatScansPages),
        TEST_CASE(abortWithUnsafeNamesRemovesNothing),
        TEST_CASE(deleteFileTakesOnlyPageFiles),
        TEST_CASE(pageFilesAreWrittenWhole),
        TEST_CASE(logsTruncateThenAppend),
        TEST_CASE(missingScanDirectory),
    });
    OvraCloseDbg();
    return ret;
}
