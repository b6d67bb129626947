#include "utillibusb.h"

#include "ovralog.h"
#include "ovraprogram.h"

#include <QUrl>
#include <QUrlQuery>

namespace {

// The channel's lines carry the program's channel name instead of the source path.
const char* UsbLogSource()
{
    return GetOvraProgram() == en_Program_FWUpdate ? "OvraFWUpdate/UtilLibusb" : "OvraPrintSetting/UtilLibusb";
}

#define USB_LOG_AS(function, ...) WriteStringLog(UsbLogSource(), __LINE__, function, __VA_ARGS__)
#define USB_LOG(...) USB_LOG_AS(__FUNCTION__, __VA_ARGS__)

const char* const c_szExchange = "USBSendRecvData";

void LogErrorName(int code) { USB_LOG_AS(c_szExchange, "*** error=%s \n", libusb_error_name(code)); }

// The value of the URI's query item "serial"; empty when the item is absent.
QByteArray SerialOfURI(const QString& uri)
{
    const QUrl url(uri);
    return QUrlQuery(url).queryItemValue("serial", QUrl::FullyDecoded).toLatin1();
}

// True when the device opens, its serial string can be read and begins with wanted.
bool SerialMatches(libusb_device* pDevice, uint8_t iSerialIndex, const QByteArray& wanted)
{
    libusb_device_handle* pHandle = nullptr;
    if (libusb_open(pDevice, &pHandle) != 0 || !pHandle)
        return false;
    unsigned char bySerial[c_iSerialBufferSize] = {0};
    const int iLength = libusb_get_string_descriptor_ascii(pHandle, iSerialIndex, bySerial, sizeof(bySerial));
    libusb_close(pHandle);
    if (iLength < 0)
        return false;
    // Only the bytes reported count: the buffer is never read past them.
    const QByteArray serial(reinterpret_cast<const char*>(bySerial), qMin(iLength, c_iSerialBufferSize));
    return serial.left(wanted.size()) == wanted;
}

bool IdsMatch(const libusb_device_descriptor* descriptor, const userDevice* device)
{
    return descriptor->idProduct == device->wProductId && descriptor->idVendor == device->wVendorId;
}

// Walks the interfaces and their alternate settings of one configuration for the
// first printer-class setting that qualifies; stores its interface number.
bool FindPrinterSetting(const libusb_config_descriptor* pConfig, userDevice* device)
{
    for (int i = 0; i < pConfig->bNumInterfaces; ++i) {
        const libusb_interface& interface = pConfig->interface[i];
        for (int j = 0; j < interface.num_altsetting; ++j) {
            const libusb_interface_descriptor* pSetting = &interface.altsetting[j];
            if (pSetting->bInterfaceClass != device->bInterfaceClass)
                continue;
            if (match_with_endpoint(pSetting, device) == 1 && device->bOutEndpoint == c_byPrinterOutEndpoint) {
                device->bInterfaceNumber = pSetting->bInterfaceNumber;
                return true;
            }
        }
    }
    return false;
}

// The handle and claim of the running exchange, undone by Finish.
struct stExchange {
    userDevice stDevice;
    libusb_device_handle* pHandle = nullptr;
    bool bClaimed = false;
};

int FindDevice(stExchange& exchange, const QString& uri)
{
    libusb_device_descriptor descriptor{};
    const int rv = get_device_descriptor(&descriptor, &exchange.stDevice, uri);
    if (rv < 0) {
        USB_LOG_AS(c_szExchange, "*** get_device_descriptor failed! \n");
        LogErrorName(rv);
        return en_Usb_NoDevice;
    }
    const int rvEndpoint = get_device_endpoint(&descriptor, &exchange.stDevice);
    if (rvEndpoint < 0) {
        USB_LOG_AS(c_szExchange, "*** get_device_endpoint failed! rv:%d \n", rvEndpoint);
        LogErrorName(rvEndpoint);
        return en_Usb_NoEndpoint;
    }
    return en_Usb_OK;
}

int OpenDevice(stExchange& exchange)
{
    if (libusb_open(exchange.stDevice.pDevice, &exchange.pHandle) != 0 || !exchange.pHandle) {
        exchange.pHandle = nullptr;
        USB_LOG_AS(c_szExchange, "*** Permission denied or Can not find the USB board (Maybe the USB driver has "
                                 "not been installed correctly), quit!\n");
        return en_Usb_OpenFailed;
    }
    return en_Usb_OK;
}

// Claims the interface, taking it from a kernel driver if need be. The driver is
// not given back afterwards.
int ClaimInterface(stExchange& exchange)
{
    const int iInterface = exchange.stDevice.bInterfaceNumber;
    if (libusb_claim_interface(exchange.pHandle, iInterface) == 0) {
        exchange.bClaimed = true;
        return en_Usb_OK;
    }
    const int rvDetach = libusb_detach_kernel_driver(exchange.pHandle, iInterface);
    if (rvDetach < 0) {
        USB_LOG_AS(c_szExchange, "*** libusb_detach_kernel_driver failed! rv%d\n", rvDetach);
        LogErrorName(rvDetach);
        return en_Usb_ClaimFailed;
    }
    const int rvClaim = libusb_claim_interface(exchange.pHandle, iInterface);
    if (rvClaim < 0) {
        USB_LOG_AS(c_szExchange, "*** libusb_claim_interface failed! rv%d\n", rvClaim);
        LogErrorName(rvClaim);
        return en_Usb_ClaimFailed;
    }
    exchange.bClaimed = true;
    return en_Usb_OK;
}

int WriteRequest(stExchange& exchange, unsigned char* request, int requestLength)
{
    int iSent = 0;
    int rv = LIBUSB_ERROR_INVALID_PARAM;
    const bool bValid = requestLength >= 0 && (request || requestLength == 0);
    if (bValid)
        rv = libusb_bulk_transfer(exchange.pHandle, exchange.stDevice.bOutEndpoint, request, requestLength, &iSent,
                                  c_uiUsbTransferTimeout);
    if (rv < 0 || iSent < requestLength) {
        USB_LOG_AS(c_szExchange, "*** bulk_transfer failed! \n");
        if (bValid && rv < 0)
            LogErrorName(rv);
        return en_Usb_WriteFailed;
    }
    return en_Usb_OK;
}

int ReadReply(stExchange& exchange, unsigned char* reply, int replyCapacity, int* replyLength)
{
    int iReceived = 0;
    int rv = LIBUSB_ERROR_INVALID_PARAM;
    const bool bValid = replyCapacity >= 0 && (reply || replyCapacity == 0);
    if (bValid)
        rv = libusb_bulk_transfer(exchange.pHandle, exchange.stDevice.bInEndpoint, reply, replyCapacity, &iReceived,
                                  c_uiUsbTransferTimeout);
    *replyLength = iReceived;
    if (rv < 0) {
        USB_LOG_AS(c_szExchange, "*** bulk_transfer failed! \n");
        if (bValid)
            LogErrorName(rv);
        return en_Usb_ReadFailed;
    }
    USB_LOG_AS(c_szExchange, "*** iRecvSize = %d \n", iReceived);
    return en_Usb_OK;
}

void Finish(stExchange& exchange)
{
    if (exchange.stDevice.ppDeviceList) {
        libusb_free_device_list(exchange.stDevice.ppDeviceList, 1);
        exchange.stDevice.ppDeviceList = nullptr;
        exchange.stDevice.pDevice = nullptr;
    }
    if (exchange.pHandle) {
        if (exchange.bClaimed)
            libusb_release_interface(exchange.pHandle, exchange.stDevice.bInterfaceNumber);
        libusb_close(exchange.pHandle);
        exchange.pHandle = nullptr;
    }
    libusb_exit(nullptr);
    USB_LOG_AS(c_szExchange, "*** success! \n");
}

} // namespace

int init_libusb()
{
    if (libusb_init(nullptr) < 0) {
        USB_LOG("*** initial USB lib failed! \n");
        return -1;
    }
    return 0;
}

int get_device_descriptor(libusb_device_descriptor* descriptor, userDevice* device, QString uri)
{
    if (!descriptor || !device)
        return LIBUSB_ERROR_INVALID_PARAM;
    libusb_device** ppList = nullptr;
    const ssize_t iCount = libusb_get_device_list(nullptr, &ppList);
    if (iCount < 0)
        return int(iCount);

    const QByteArray wanted = SerialOfURI(uri);
    for (ssize_t i = 0; i < iCount && ppList[i]; ++i) {
        if (libusb_get_device_descriptor(ppList[i], descriptor) != 0) {
            USB_LOG("*** libusb_get_device_descriptor failed! i:%d \n", int(i + 1));
            libusb_free_device_list(ppList, 1);
            return -1;
        }
        if (!IdsMatch(descriptor, device))
            continue;
        if (SerialMatches(ppList[i], descriptor->iSerialNumber, wanted)) {
            device->pDevice = ppList[i];
            device->ppDeviceList = ppList;
            return 0;
        }
    }
    libusb_free_device_list(ppList, 1);
    return -2;
}

int match_with_endpoint(const libusb_interface_descriptor* setting, userDevice* device)
{
    bool bInSeen = false;
    bool bOutSeen = false;
    for (int i = 0; i < setting->bNumEndpoints; ++i) {
        const libusb_endpoint_descriptor& endpoint = setting->endpoint[i];
        if ((endpoint.bmAttributes & 0x03) != device->bTransferType)
            continue;
        if (endpoint.bEndpointAddress & LIBUSB_ENDPOINT_IN) {
            device->bInEndpoint = endpoint.bEndpointAddress;
            bInSeen = true;
        } else {
            device->bOutEndpoint = endpoint.bEndpointAddress;
            bOutSeen = true;
        }
    }
    return (bInSeen && bOutSeen) ? 1 : 0;
}

int get_device_endpoint(libusb_device_descriptor* descriptor, userDevice* device)
{
    if (!descriptor || !device || !device->pDevice)
        return -2;
    for (int c = 0; c < descriptor->bNumConfigurations; ++c) {
        libusb_config_descriptor* pConfig = nullptr;
        if (libusb_get_config_descriptor(device->pDevice, uint8_t(c), &pConfig) < 0 || !pConfig) {
            USB_LOG("*** libusb_get_config_descriptor failed! \n");
            return -1;
        }
        const bool bFound = FindPrinterSetting(pConfig, device);
        libusb_free_config_descriptor(pConfig);
        if (bFound)
            return 0;
    }
    return -2;
}

int USBSendRecvData(int vid, int pid, QString uri, unsigned char* request, int requestLength,
                    unsigned char* reply, int replyCapacity, int* replyLength)
{
    int iReplyLength = 0;
    int* pReplyLength = replyLength ? replyLength : &iReplyLength;
    *pReplyLength = 0;

    stExchange exchange;
    exchange.stDevice.wVendorId = uint16_t(vid);
    exchange.stDevice.wProductId = uint16_t(pid);

    if (init_libusb() < 0) {
        USB_LOG("*** init_libusb failed! \n");
        return en_Usb_InitFailed;
    }
    int iResult = FindDevice(exchange, uri);
    if (iResult == en_Usb_OK)
        iResult = OpenDevice(exchange);
    if (iResult == en_Usb_OK)
        iResult = ClaimInterface(exchange);
    if (iResult == en_Usb_OK)
        iResult = WriteRequest(exchange, request, requestLength);
    if (iResult == en_Usb_OK)
        iResult = ReadReply(exchange, reply, replyCapacity, pReplyLength);
    Finish(exchange);
    return iResult;
}
