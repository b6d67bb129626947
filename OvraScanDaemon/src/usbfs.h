// USB access through the kernel's usbfs: a device handle is the descriptor of
// an open device node under /dev/bus/usb, driven with usbfs ioctl requests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

// The standard 18-byte USB device descriptor.
struct __attribute__((packed)) usb_device_descriptor {
    uint8_t bLength;
    uint8_t bDescriptorType;
    uint16_t bcdUSB;
    uint8_t bDeviceClass;
    uint8_t bDeviceSubClass;
    uint8_t bDeviceProtocol;
    uint8_t bMaxPacketSize0;
    uint16_t idVendor;
    uint16_t idProduct;
    uint16_t bcdDevice;
    uint8_t iManufacturer;
    uint8_t iProduct;
    uint8_t iSerialNumber;
    uint8_t bNumConfigurations;
};
static_assert(sizeof(usb_device_descriptor) == 18, "device descriptor is 18 bytes");

// The usbfs control request record (layout of the kernel's usbdevfs_ctrltransfer).
struct usb_ctrltransfer {
    uint8_t bRequestType;
    uint8_t bRequest;
    uint16_t wValue;
    uint16_t wIndex;
    uint16_t wLength;
    uint32_t timeout; // milliseconds
    void* data;
};
static_assert(sizeof(usb_ctrltransfer) == sizeof(usbdevfs_ctrltransfer), "usbfs control record");
static_assert(offsetof(usb_ctrltransfer, timeout) == offsetof(usbdevfs_ctrltransfer, timeout), "usbfs control record");
static_assert(offsetof(usb_ctrltransfer, data) == offsetof(usbdevfs_ctrltransfer, data), "usbfs control record");

// One entry of a device list: the open device node and its descriptor.
struct OVRA_USB_DEV {
    int fd;
    usb_device_descriptor dev_des;
};

constexpr unsigned OVRA_USB_BULK_PIECE = 512;

// Every usbfs request goes through this function. Tests may install their own
// (a fake device behind plain descriptors); nullptr restores the kernel's ioctl.
using UsbIoctlFunction = int (*)(int fd, unsigned long request, void* arg);
void ovra_set_usb_ioctl(UsbIoctlFunction function);
int ovra_usb_ioctl(int fd, unsigned long request, void* arg);

int ovra_control_msg(int dev, int requesttype, int request, int value, int index, char* bytes, int size, int timeout);
int ovra_get_string(int dev, int index, int langid, char* buf, size_t buflen);
int ovra_get_string_simple(int dev, int index, char* buf, size_t buflen);
int ovra_resetep(int dev, unsigned ep);
int ovra_clear_halt(int dev, unsigned ep);
int ovra_reset_device(int dev);
int ovra_open_device(int dev);
int ovra_init(int dev);
void ovra_close_device(int dev);
int ovra_bulk_write(int dev, const char* data, int size, int timeout);
int ovra_bulk_read(int dev, char* data, int size, int timeout);
int usb_bulk(int fd, unsigned ep, char* data, int size, int timeout);
int ovra_detach_driver(int dev);
int ovra_claim_interface(int dev);
int ovra_release_interface(int dev);

// Converts a UTF-16LE string descriptor (bytes from offset 2 up to bLength) to
// ASCII: characters outside Latin-1's low byte page become '?'. Writes at most
// buflen - 1 characters and a terminator; returns the count written.
int usbStringToAscii(const unsigned char* descriptor, int bLength, char* buf, size_t buflen);
