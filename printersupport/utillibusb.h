// One request/reply exchange with a USB-connected printer: find it by vendor ID,
// product ID and the serial in its device URI, take its printer-class interface and
// bulk endpoints, write the request in one bulk OUT transfer and read the reply in one
// bulk IN transfer. Every exchange initialises libusb and releases it again; nothing is
// kept between exchanges, so two exchanges must not overlap in one process.
//
// The device search and the endpoint choice are free functions of their own: the
// firmware update helper sends its image through them with a transfer of its own.
// Programs using this file link libusb-1.0 themselves.
#pragma once

#include <QString>

#include <cstdint>

#include <libusb-1.0/libusb.h>

// The working record of one exchange, filled in step by step.
struct userDevice {
    uint16_t wVendorId = 0;
    uint16_t wProductId = 0;
    uint8_t bInterfaceClass = LIBUSB_CLASS_PRINTER;    // always 7
    uint8_t bTransferType = LIBUSB_TRANSFER_TYPE_BULK; // always 2
    libusb_device* pDevice = nullptr;                  // the chosen device
    libusb_device** ppDeviceList = nullptr;            // holds pDevice until the end of the exchange
    uint8_t bInEndpoint = 0;
    uint8_t bOutEndpoint = 0;
    uint8_t bInterfaceNumber = 0;
};

enum enUsbResult {
    en_Usb_OK = 0,
    en_Usb_InitFailed = -1,      // library initialisation
    en_Usb_NoDevice = -2,        // device search
    en_Usb_NoEndpoint = -3,      // interface and endpoint choice
    en_Usb_OpenFailed = -4,      // opening the device
    en_Usb_ClaimFailed = -5,     // claiming the interface (or detaching the kernel driver)
    en_Usb_WriteFailed = -6,     // bulk OUT failed or wrote fewer bytes than the request holds
    en_Usb_ReadFailed = -7,      // bulk IN failed, time-out included
};

const unsigned int c_uiUsbTransferTimeout = 3000;   // ms, each of the two transfers
const uint8_t c_byPrinterOutEndpoint = 0x01;         // the only bulk OUT endpoint used
const int c_iSerialBufferSize = 64;

// libusb_init on the default context: 0, or -1 on failure.
int init_libusb();

// Walks the attached devices for one with the wanted IDs whose serial string begins
// with the URI's "serial" query value (any readable serial when the item is absent).
// 0 with pDevice and ppDeviceList set; negative otherwise (the list is then freed).
// descriptor receives the device descriptor of the device examined last.
int get_device_descriptor(libusb_device_descriptor* descriptor, userDevice* device, QString uri);

// 1 when the setting has an endpoint of the wanted transfer type in each direction,
// else 0. The addresses found are stored in either case (the last of each direction).
int match_with_endpoint(const libusb_interface_descriptor* setting, userDevice* device);

// Picks the first printer-class setting with bulk endpoints both ways and OUT
// endpoint 0x01 and stores its interface number: 0; -1 when a configuration
// descriptor cannot be read; -2 when no setting qualifies.
int get_device_endpoint(libusb_device_descriptor* descriptor, userDevice* device);

// One exchange; returns an enUsbResult. *replyLength gets the count the bulk IN
// transfer reported (0 when it was never made).
int USBSendRecvData(int vid, int pid, QString uri, unsigned char* request, int requestLength,
                    unsigned char* reply, int replyCapacity, int* replyLength);
