// The names in a folder.
#pragma once

#include <string>
#include <vector>

namespace ovrabench {

// Every entry but "." and "..", in the order the folder lists them; empty when it
// cannot be read.
std::vector<std::string> FolderEntries(const std::string& folder);

} // namespace ovrabench
