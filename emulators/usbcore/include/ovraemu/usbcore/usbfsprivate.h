/* Private usbfs requests that emulated device nodes answer besides the
 * kernel's; C and C++. */
#ifndef OVRAEMU_USBCORE_USBFSPRIVATE_H
#define OVRAEMU_USBCORE_USBFSPRIVATE_H

#include <linux/ioctl.h>

/* For the next two seconds (or until OVRA_USBFS_DRAIN_END on the same node)
 * synchronous bulk reads that find no data fail at once with ETIMEDOUT, those
 * already waiting included. Sent before a process using the node is killed, so
 * that it is not killed in the middle of a request. */
#define OVRA_USBFS_DRAIN _IO('U', 0xF0)
#define OVRA_USBFS_DRAIN_END _IO('U', 0xF1)

#endif
