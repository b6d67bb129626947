#include "usbprintersession.h"

#include <QUrl>
#include <QUrlQuery>

#include <libusb-1.0/libusb.h>

#include <algorithm>

namespace {

// Whether a device's serial fits the wanted one by the caller's rule.
bool SerialFits(UsbSerialRule rule, const QByteArray& deviceSerial, const QString& strWanted)
{
    switch (rule) {
    case UsbSerialRule::StartsWith: return SerialStartsWith(deviceSerial, strWanted.toLatin1());
    case UsbSerialRule::StartsWithIgnoringCase:
        // Taken up to its first NUL byte, as the print service has always read it.
        return SerialStartsWithIgnoringCase(QString::fromLatin1(deviceSerial.constData()), strWanted);
    }
    return false;
}

} // namespace

QString SerialOfPort(const QString& strPort)
{
    return QUrlQuery(QUrl(strPort)).queryItemValue("serial", QUrl::FullyDecoded);
}

bool SerialStartsWith(const QByteArray& deviceSerial, const QByteArray& wanted)
{
    return deviceSerial.left(wanted.size()) == wanted;
}

bool SerialStartsWithIgnoringCase(const QString& deviceSerial, const QString& wanted)
{
    return deviceSerial.left(wanted.size()).compare(wanted, Qt::CaseInsensitive) == 0;
}

UsbBulkEndpoints BulkEndpointsOf(const libusb_interface_descriptor& setting)
{
    UsbBulkEndpoints endpoints;
    for (int i = 0; i < setting.bNumEndpoints; ++i) {
        const libusb_endpoint_descriptor& endpoint = setting.endpoint[i];
        if ((endpoint.bmAttributes & 0x03) != LIBUSB_TRANSFER_TYPE_BULK)
            continue;
        if (endpoint.bEndpointAddress & LIBUSB_ENDPOINT_IN)
            endpoints.in = endpoint.bEndpointAddress;
        else
            endpoints.out = endpoint.bEndpointAddress;
    }
    return endpoints;
}

UsbPrinterSession::~UsbPrinterSession()
{
    if (m_bClaimed)
        libusb_release_interface(m_pHandle, m_byInterface);
    if (m_pHandle)
        libusb_close(m_pHandle);
    if (m_pContext)
        libusb_exit(m_pContext);
}

UsbResult UsbPrinterSession::Open(uint16_t wVendorId, uint16_t wProductId, const QString& strSerial,
                                  UsbSerialRule serialRule, UsbInterface interfaceChoice)
{
    if (m_pContext)
        return UsbResult::InitFailed; // a session opens once
    m_iLibusbError = libusb_init(&m_pContext);
    if (m_iLibusbError < 0) {
        m_pContext = nullptr;
        return UsbResult::InitFailed;
    }
    const UsbResult walk = Walk(wVendorId, wProductId, strSerial, serialRule);
    if (walk != UsbResult::Ok)
        return walk;
    m_byInterface = 0;
    if (interfaceChoice == UsbInterface::PrinterBulk) {
        UsbResult choice = ChoosePrinterBulkInterface();
        if (choice == UsbResult::Ok)
            choice = OpenAfresh();
        if (choice != UsbResult::Ok)
            return choice;
    }
    return Claim();
}

UsbResult UsbPrinterSession::Walk(uint16_t wVendorId, uint16_t wProductId, const QString& strSerial,
                                  UsbSerialRule serialRule)
{
    libusb_device** ppList = nullptr;
    const ssize_t count = libusb_get_device_list(m_pContext, &ppList);
    if (count < 0) {
        m_iLibusbError = int(count);
        return UsbResult::ListFailed;
    }
    UsbResult result = UsbResult::NoDevice;
    bool bLastProbeFailed = false;
    for (ssize_t i = 0; i < count && ppList[i]; ++i) {
        libusb_device_descriptor descriptor{};
        m_iLibusbError = libusb_get_device_descriptor(ppList[i], &descriptor);
        if (m_iLibusbError < 0) {
            m_iFailedDevicePosition = int(i + 1);
            result = UsbResult::DescriptorFailed;
            break;
        }
        bLastProbeFailed = false;
        if (descriptor.idVendor != wVendorId || descriptor.idProduct != wProductId)
            continue;
        const int iProbe = Probe(ppList[i], descriptor.iSerialNumber, strSerial, serialRule);
        if (iProbe == 0) {
            result = UsbResult::Ok;
            break;
        }
        bLastProbeFailed = iProbe < 0;
    }
    if (result == UsbResult::NoDevice && bLastProbeFailed)
        result = UsbResult::ProbeFailed;
    libusb_free_device_list(ppList, 1); // the open handle keeps its device
    return result;
}

// 0 when this is the printer (left open), 1 when it is another one, negative when a
// libusb call failed on it.
int UsbPrinterSession::Probe(libusb_device* pDevice, uint8_t iSerialIndex, const QString& strSerial,
                             UsbSerialRule serialRule)
{
    libusb_device_handle* pHandle = nullptr;
    m_iLibusbError = libusb_open(pDevice, &pHandle);
    if (m_iLibusbError < 0 || !pHandle)
        return m_iLibusbError < 0 ? m_iLibusbError : int(LIBUSB_ERROR_OTHER);
    unsigned char bySerial[c_iSerialBufferSize] = {0};
    m_iLibusbError = libusb_get_string_descriptor_ascii(pHandle, iSerialIndex, bySerial, sizeof(bySerial));
    if (m_iLibusbError < 0) {
        libusb_close(pHandle);
        return m_iLibusbError;
    }
    // Only the bytes reported count: the buffer is never read past them.
    const QByteArray deviceSerial(reinterpret_cast<const char*>(bySerial),
                                  std::min(m_iLibusbError, c_iSerialBufferSize));
    if (!SerialFits(serialRule, deviceSerial, strSerial)) {
        libusb_close(pHandle);
        return 1;
    }
    m_pHandle = pHandle;
    return 0;
}

UsbResult UsbPrinterSession::ChoosePrinterBulkInterface()
{
    libusb_device* pDevice = libusb_get_device(m_pHandle);
    libusb_device_descriptor descriptor{};
    libusb_get_device_descriptor(pDevice, &descriptor);
    for (int c = 0; c < descriptor.bNumConfigurations; ++c) {
        libusb_config_descriptor* pConfig = nullptr;
        if (libusb_get_config_descriptor(pDevice, uint8_t(c), &pConfig) < 0 || !pConfig)
            return UsbResult::ConfigFailed;
        bool bFound = false;
        for (int i = 0; i < pConfig->bNumInterfaces && !bFound; ++i) {
            const libusb_interface& interface = pConfig->interface[i];
            for (int j = 0; j < interface.num_altsetting && !bFound; ++j)
                bFound = TakePrinterBulkSetting(interface.altsetting[j]);
        }
        libusb_free_config_descriptor(pConfig);
        if (bFound)
            return UsbResult::Ok;
    }
    return UsbResult::NoInterface;
}

// Takes the setting's interface and bulk endpoints when it qualifies for PrinterBulk.
bool UsbPrinterSession::TakePrinterBulkSetting(const libusb_interface_descriptor& setting)
{
    if (setting.bInterfaceClass != LIBUSB_CLASS_PRINTER)
        return false;
    const UsbBulkEndpoints endpoints = BulkEndpointsOf(setting);
    if (!endpoints.BothWays() || endpoints.out != c_byPrinterOutEndpoint)
        return false;
    m_byInterface = setting.bInterfaceNumber;
    m_byInEndpoint = endpoints.in;
    m_byOutEndpoint = endpoints.out;
    return true;
}

UsbResult UsbPrinterSession::OpenAfresh()
{
    libusb_device* pDevice = libusb_ref_device(libusb_get_device(m_pHandle));
    libusb_close(m_pHandle);
    m_pHandle = nullptr;
    m_iLibusbError = libusb_open(pDevice, &m_pHandle);
    libusb_unref_device(pDevice);
    if (m_iLibusbError < 0 || !m_pHandle) {
        m_pHandle = nullptr;
        return UsbResult::OpenFailed;
    }
    return UsbResult::Ok;
}

UsbResult UsbPrinterSession::Claim()
{
    if (libusb_kernel_driver_active(m_pHandle, m_byInterface) == 1) {
        m_bKernelDriverActive = true;
        m_bKernelDriverDetached = libusb_detach_kernel_driver(m_pHandle, m_byInterface) == 0;
    }
    m_iLibusbError = libusb_claim_interface(m_pHandle, m_byInterface);
    if (m_iLibusbError < 0 && !m_bKernelDriverDetached) {
        // Refused although no driver was seen: take it from whoever holds it, and try again.
        const int iDetach = libusb_detach_kernel_driver(m_pHandle, m_byInterface);
        if (iDetach < 0) {
            m_iDetachError = iDetach;
            return UsbResult::ClaimFailed;
        }
        m_bKernelDriverDetached = true;
        m_iLibusbError = libusb_claim_interface(m_pHandle, m_byInterface);
    }
    if (m_iLibusbError < 0)
        return UsbResult::ClaimFailed;
    m_bClaimed = true;
    return UsbResult::Ok;
}

UsbResult UsbPrinterSession::BulkOut(const unsigned char* pData, int iLength, unsigned int timeoutMs, int* pTransferred)
{
    int iSent = 0;
    m_iLibusbError = 0;
    const bool bValid = m_bClaimed && iLength >= 0 && (pData || iLength == 0);
    if (bValid) // libusb does not write into an OUT transfer's buffer
        m_iLibusbError = libusb_bulk_transfer(m_pHandle, m_byOutEndpoint, const_cast<unsigned char*>(pData), iLength,
                                              &iSent, timeoutMs);
    if (pTransferred)
        *pTransferred = iSent;
    return bValid && m_iLibusbError >= 0 && iSent >= iLength ? UsbResult::Ok : UsbResult::WriteFailed;
}

UsbResult UsbPrinterSession::BulkIn(unsigned char* pData, int iCapacity, unsigned int timeoutMs, int* pTransferred)
{
    int iReceived = 0;
    m_iLibusbError = 0;
    const bool bValid = m_bClaimed && iCapacity >= 0 && (pData || iCapacity == 0);
    if (bValid)
        m_iLibusbError = libusb_bulk_transfer(m_pHandle, m_byInEndpoint, pData, iCapacity, &iReceived, timeoutMs);
    if (pTransferred)
        *pTransferred = iReceived;
    return bValid && m_iLibusbError >= 0 ? UsbResult::Ok : UsbResult::ReadFailed;
}

int UsbPrinterSession::ControlIn(uint8_t bRequestType, uint8_t bRequest, uint16_t wValue, uint16_t wIndex,
                                 unsigned char* pData, uint16_t wLength, unsigned int timeoutMs)
{
    if (!m_pHandle)
        return m_iLibusbError = LIBUSB_ERROR_NO_DEVICE;
    m_iLibusbError =
        libusb_control_transfer(m_pHandle, bRequestType, bRequest, wValue, wIndex, pData, wLength, timeoutMs);
    return m_iLibusbError;
}
