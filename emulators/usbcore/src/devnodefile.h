// The device node file of an emulated device inside the testbed's /dev.
#pragma once

#include <string>

namespace ovraemu {

// Puts a directory in place of the node: opening it read-write fails (EISDIR).
void BlockNodeOpen(const std::string& path);
// Puts the plain node file back.
void RestoreNode(const std::string& path);
// Leaves a dangling symbolic link in place of the node. umockdev falls back
// to the real /dev for paths missing from the testbed; the link keeps an
// unplugged device from reaching a real device of the same number.
void BuryNode(const std::string& path);

} // namespace ovraemu
