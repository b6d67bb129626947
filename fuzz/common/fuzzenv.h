// The private world of one fuzz process: an install root and a CUPS server root in a
// temporary folder, in memory where possible (OVRA_INSTALL_ROOT and CUPS_SERVERROOT point
// there, so nothing a target does reaches /opt or /etc/cups), removed when it ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

namespace ovrafuzz {

// The temporary root, ending in '/'; made (and the environment set) on the first call.
const std::string& FuzzRoot();

void MakeDirs(const std::string& path);
// Writes the bytes as the whole file; aborts when that fails.
void WriteFile(const std::string& path, const uint8_t* data, size_t size);
// Removes the plain files of a folder whose names begin with the prefix.
void RemoveFiles(const std::string& folder, const std::string& prefix);
// Cuts a file that grew past maxBytes back to nothing (logs written for every input).
void CapFile(const std::string& path, long maxBytes);

// Stops the fuzz run with a message: libFuzzer keeps the input as a crash.
[[noreturn]] void Fail(const char* what);
inline void Check(bool condition, const char* what)
{
    if (!condition)
        Fail(what);
}

// The descriptors open in this process.
std::set<int> OpenDescriptors();
// Occupies every free descriptor below floor (with /dev/null), so that what the code
// under test opens next gets the same numbers from floor on in every input.
void FillDescriptorsBelow(int floor);

} // namespace ovrafuzz
