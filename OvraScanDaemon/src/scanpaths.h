// Names of the files in the scan directory of the install root: the two logs,
// the base name of a scan and its page files, and the test that a name from a
// client really is one of the page files (or a scan's base name) there.
#pragma once

#include <string>

// The scan directory with a trailing '/' ("<install root>scan/").
std::string scanDirPath();
// The scan directory without the trailing '/'.
std::string scanDirNoSlash();
std::string scanInfoLogPath();
std::string scanErrLogPath();

// "<scan dir>ovrascandata_<pid>_<index>".
std::string scanBaseName(int pid, int index);
// "<base name>_<page>.tmp".
std::string pageFileName(const std::string& baseName, int page);

// True when name is exactly "<scan dir>ovrascandata_<digits>_<digits>".
bool isScanBaseName(const std::string& name);
// True when path is exactly "<scan dir>ovrascandata_<digits>_<digits>_<digits>.tmp".
bool isPageFilePath(const std::string& path);
// True when path is a page file of the scan with the given base name.
bool isPageFileOf(const std::string& path, const std::string& baseName);

// Makes the scan directory (and the folders above it) when it is missing.
bool ensureScanDir();

// A character array from the wire as a string of at most its size bytes.
template <size_t N>
std::string wireString(const char (&field)[N])
{
    size_t n = 0;
    while (n < N && field[n] != '\0')
        ++n;
    return std::string(field, n);
}

// Copies text into a character array of the wire, cut to fit and terminated.
template <size_t N>
void copyToWire(char (&field)[N], const std::string& text)
{
    size_t n = text.size() < N - 1 ? text.size() : N - 1;
    text.copy(field, n);
    for (size_t i = n; i < N; ++i)
        field[i] = '\0';
}
