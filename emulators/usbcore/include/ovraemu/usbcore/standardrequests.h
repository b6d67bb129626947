// The answers every emulated device gives to standard control requests:
// descriptors, GET_STATUS, and the accepted host-to-device requests.
#pragma once

#include "ovraemu/usbcore/usbdevicedescription.h"
#include "ovraemu/usbcore/usbdevicemodel.h"

namespace ovraemu {

bool IsStandardRequest(const ControlRequest& setup);
ControlOutcome AnswerStandardRequest(const UsbDeviceDescription& description, const ControlRequest& setup);

} // namespace ovraemu
