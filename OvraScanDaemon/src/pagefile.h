// Page files of a scan: "<base name>_<page>.tmp" in the scan directory.
#pragma once

#include <string>

// Creates (or truncates) page file number page of the scan; returns its
// descriptor or -1. Never follows a symbolic link.
int createPageFile(const std::string& baseName, int page);
// Writes the bytes: the first write and up to 10 more for what is left.
// False when bytes remain.
bool writePageData(int fd, const unsigned char* data, size_t size);
void closePageFile(int& fd);
