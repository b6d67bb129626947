// One short-lived USB session with a printer named by its CUPS port: a fresh libusb
// context, the bus walked for the printer's IDs and serial number, interface 0 taken
// (from the kernel's printer driver if need be). Released in the destructor.
#pragma once

#include <QString>

struct libusb_context;
struct libusb_device_handle;
struct stModelInfo;

enum enUsbSessionResult {
    en_Usb_OK = 0,
    en_Usb_NoModel = -1,
    en_Usb_InitFailed = -2,
    en_Usb_ListFailed = -3,
    en_Usb_WalkFailed = -4,       // a descriptor could not be read, or the walk ended on a failed call
    en_Usb_NoDevice = -5,
    en_Usb_ClaimFailed = -6,
    en_Usb_Exception = -99,
};

class UsbPrinterSession
{
public:
    UsbPrinterSession() = default;
    ~UsbPrinterSession();
    UsbPrinterSession(const UsbPrinterSession&) = delete;
    UsbPrinterSession& operator=(const UsbPrinterSession&) = delete;

    // Finds, opens and claims the printer. Returns 0 or a negative enUsbSessionResult.
    int Open(const QString& strPort);

    // A device-to-host control transfer; the libusb result (bytes moved or a negative error).
    int ControlIn(unsigned char bRequestType, unsigned char bRequest, unsigned short wValue,
                  unsigned short wIndex, unsigned char* pData, unsigned short wLength, unsigned int timeoutMs);

    // What happened on the way, for the callers' log lines.
    int iLibusbError = 0;          // libusb code of the failing call
    int iFailedDescriptor = 0;     // 1-based position of a device whose descriptor could not be read
    bool bKernelDriverActive = false;
    bool bKernelDriverDetached = false;

private:
    int Walk(const stModelInfo& model, const QString& strSerial);
    int TryDevice(struct libusb_device* pDevice, const QString& strSerial);

    libusb_context* m_pContext = nullptr;
    libusb_device_handle* m_pHandle = nullptr;
    bool m_bClaimed = false;
};

// The "serial" query item of a port such as "Ovra/P2200DN?serial=ABC".
QString SerialOfPort(const QString& strPort);

// A device whose serial string, cut to the length of the wanted serial, equals it
// (ignoring case). An empty wanted serial matches any device.
bool SerialMatches(const QString& strDeviceSerial, const QString& strWanted);
