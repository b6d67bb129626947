// Optional trace of the usbfs requests that reach emulated device nodes:
// OVRA_USB_EMU_TRACE=1 (or OVRA_USBPRINTER_EMU_TRACE=1) logs each one to
// standard error.
#pragma once

namespace ovraemu {

bool TraceEnabled();
void TraceRequest(const char* devnode, unsigned long request, long result, int error, bool deferred);

} // namespace ovraemu
