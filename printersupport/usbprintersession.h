// The one way the suite reaches a USB printer of the family: a short-lived session that
// starts a libusb context of its own, walks the bus for the printer's vendor and product
// IDs and serial, opens it, takes the interface the caller needs (from a kernel driver if
// need be), moves data, and releases the interface, closes the device and ends the
// context in its destructor. The print service, the settings tool and the firmware
// helper all use it.
//
// It writes no log line and knows no program's result codes: it reports a UsbResult and
// the facts the programs' log lines need (LibusbError() and the others below). Each
// program turns a UsbResult into its own codes at its edge, in one table in its folder
// (OvraPrintService/serviceusb.cpp, OvraPrintSetting/utillibusb.cpp,
// OvraFWUpdate/fwupdatetask.cpp).
//
// A session is used by one thread; sessions of different threads do not share anything.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

struct libusb_context;
struct libusb_device;
struct libusb_device_handle;
struct libusb_interface_descriptor;

// What a step of a session came to. One set for the whole library.
enum class UsbResult {
    Ok,
    InitFailed,       // libusb_init
    ListFailed,       // libusb_get_device_list
    DescriptorFailed, // a device descriptor could not be read: the walk stopped there
    NoDevice,         // no device with the IDs has a serial that fits
    ProbeFailed,      // as NoDevice, and the walk ended on a device of the IDs that could not
                      // be opened or whose serial could not be read
    ConfigFailed,     // a configuration descriptor of the device could not be read
    NoInterface,      // no printer-class setting with bulk endpoints both ways and bulk OUT 0x01
    OpenFailed,       // the device found could not be opened afresh (PrinterBulk)
    ClaimFailed,      // the interface could not be claimed (nor taken from a kernel driver)
    WriteFailed,      // bulk OUT failed, or took fewer bytes than it was given
    ReadFailed,       // bulk IN failed, time-out included
};

// How the serial a caller asks for (the "serial" item of a device URI) is compared with
// the serial string a device reports. Either way it is a prefix, and an empty one fits
// any device whose serial can be read.
enum class UsbSerialRule {
    StartsWith,             // byte for byte: "K246SN" fits "K246SN0001", "k246sn" does not
    StartsWithIgnoringCase, // letter case aside: "k246sn" fits "K246SN0001" too
};

// Which interface a session claims.
enum class UsbInterface {
    Interface0,  // interface 0, whatever it holds: for class requests on the control endpoint
    PrinterBulk, // the first printer-class setting (of any configuration) with bulk endpoints
                 // both ways whose bulk OUT is 0x01; the setting is not selected, so the
                 // device stays in its default setting. Once it is chosen, the device is
                 // opened afresh for the transfers (the handle that read the serial closed).
};

const uint8_t c_byPrinterOutEndpoint = 0x01; // the only bulk OUT endpoint PrinterBulk takes
const int c_iSerialBufferSize = 64;          // a device's serial is read up to 63 characters

// The "serial" query item of a port such as "Ovra/P2200DN?serial=ABC" (percent-decoded);
// empty when the item is absent.
QString SerialOfPort(const QString& strPort);

// The two serial rules on their own. deviceSerial is what the device reported.
bool SerialStartsWith(const QByteArray& deviceSerial, const QByteArray& wanted);
bool SerialStartsWithIgnoringCase(const QString& deviceSerial, const QString& wanted);

// The bulk endpoints of one interface setting: the address of the last bulk IN and of
// the last bulk OUT endpoint (0 where there is none). Only the low two bits of the
// attributes count as the transfer type.
struct UsbBulkEndpoints {
    uint8_t in = 0;
    uint8_t out = 0;
    bool BothWays() const { return in != 0 && out != 0; }
};
UsbBulkEndpoints BulkEndpointsOf(const libusb_interface_descriptor& setting);

class UsbPrinterSession
{
public:
    UsbPrinterSession() = default;
    ~UsbPrinterSession(); // releases the interface, closes the device, ends the context
    UsbPrinterSession(const UsbPrinterSession&) = delete;
    UsbPrinterSession& operator=(const UsbPrinterSession&) = delete;

    // Walks the bus in libusb's order for the first device with the IDs whose serial fits
    // the wanted one by the rule, opens it, and claims the interface asked for. A kernel
    // driver holding the interface is detached first (and not given back); a claim that
    // is refused all the same is tried once more after a detach. Once per session.
    UsbResult Open(uint16_t wVendorId, uint16_t wProductId, const QString& strSerial, UsbSerialRule serialRule,
                   UsbInterface interfaceChoice);
    bool IsOpen() const { return m_bClaimed; }

    // One bulk transfer on the PrinterBulk endpoints (timeoutMs 0: no time limit).
    // *pTransferred gets the count libusb reported (0 when no transfer was made).
    // A buffer that cannot be right (negative length, no bytes behind a length) is not
    // sent: WriteFailed or ReadFailed with LibusbError() 0.
    UsbResult BulkOut(const unsigned char* pData, int iLength, unsigned int timeoutMs, int* pTransferred = nullptr);
    UsbResult BulkIn(unsigned char* pData, int iCapacity, unsigned int timeoutMs, int* pTransferred = nullptr);

    // A device-to-host control transfer; libusb's result (bytes moved or a negative error).
    int ControlIn(uint8_t bRequestType, uint8_t bRequest, uint16_t wValue, uint16_t wIndex, unsigned char* pData,
                  uint16_t wLength, unsigned int timeoutMs);

    // What happened on the way, for the programs' log lines.
    // The result of the last libusb call of the walk (descriptor, open, serial string), of
    // the fresh open, of the claim, or of the last transfer; 0 where a step failed without
    // calling libusb.
    int LibusbError() const { return m_iLibusbError; }
    int DetachError() const { return m_iDetachError; } // a detach after a refused claim that failed; else 0
    int FailedDevicePosition() const { return m_iFailedDevicePosition; } // 1-based, DescriptorFailed
    bool KernelDriverWasActive() const { return m_bKernelDriverActive; }
    bool KernelDriverDetached() const { return m_bKernelDriverDetached; }
    uint8_t InterfaceNumber() const { return m_byInterface; }
    uint8_t BulkInEndpoint() const { return m_byInEndpoint; }
    uint8_t BulkOutEndpoint() const { return m_byOutEndpoint; }

private:
    UsbResult Walk(uint16_t wVendorId, uint16_t wProductId, const QString& strSerial, UsbSerialRule serialRule);
    int Probe(libusb_device* pDevice, uint8_t iSerialIndex, const QString& strSerial, UsbSerialRule serialRule);
    UsbResult ChoosePrinterBulkInterface();
    bool TakePrinterBulkSetting(const libusb_interface_descriptor& setting);
    UsbResult OpenAfresh();
    UsbResult Claim();

    libusb_context* m_pContext = nullptr;
    libusb_device_handle* m_pHandle = nullptr;
    bool m_bClaimed = false;
    uint8_t m_byInterface = 0;
    uint8_t m_byInEndpoint = 0;
    uint8_t m_byOutEndpoint = 0;
    int m_iLibusbError = 0;
    int m_iDetachError = 0;
    int m_iFailedDevicePosition = 0;
    bool m_bKernelDriverActive = false;
    bool m_bKernelDriverDetached = false;
};
