// Removing scan files on the client's behalf. Only page files in the scan
// directory are ever removed: the logs live there too, and a name from the
// client is not trusted to stay inside it.
#pragma once

// Removes every page file in basePath of the scan whose base name is subStr
// ("<scan dir>ovrascandata_<pid>_<n>"). Returns 0, or -1 when the directory
// cannot be opened. An empty subStr, or one that is not a scan's base name,
// removes nothing.
int deleteFileList(const char* basePath, const char* subStr);

// Removes one page file named by its full path. False when the path is not a
// page file of the scan directory or nothing was removed.
bool deletePageFile(const char* path);
