// What a program needs in LD_PRELOAD to use the emulated USB devices.
#pragma once

#include <string>

namespace ovraemu {

constexpr char kUmockdevPreload[] = "libumockdev-preload.so.0";

// The library that keeps processes sharing an open usbfs node (a program and
// the children it forks) from talking to the testbed at the same time:
// libovra-usbfs-serial.so as built with the emulators, or the path in
// OVRA_USBFS_SERIAL_LIBRARY.
std::string UsbfsSerialLibrary();

// LD_PRELOAD for a program that forks while it holds device nodes open: the
// serializing library, then libumockdev-preload, then `existing` (if any).
std::string ForkSafePreload(const std::string& existing = {});

} // namespace ovraemu
