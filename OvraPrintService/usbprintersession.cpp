#include "usbprintersession.h"

#include "modelinfo.h"

#include <QUrl>
#include <QUrlQuery>

#include <libusb-1.0/libusb.h>

namespace {
const int c_iPrinterInterface = 0;
const int c_iSerialBufferSize = 64;
}

QString SerialOfPort(const QString& strPort)
{
    return QUrlQuery(QUrl(strPort)).queryItemValue("serial", QUrl::FullyDecoded);
}

bool SerialMatches(const QString& strDeviceSerial, const QString& strWanted)
{
    return strDeviceSerial.left(strWanted.size()).compare(strWanted, Qt::CaseInsensitive) == 0;
}

UsbPrinterSession::~UsbPrinterSession()
{
    if (m_bClaimed)
        libusb_release_interface(m_pHandle, c_iPrinterInterface);
    if (m_pHandle)
        libusb_close(m_pHandle);
    if (m_pContext)
        libusb_exit(m_pContext);
}

int UsbPrinterSession::Open(const QString& strPort)
{
    const stModelInfo* pModel = FindModelByDeviceURI(strPort);
    if (!pModel)
        return en_Usb_NoModel;
    iLibusbError = libusb_init(&m_pContext);
    if (iLibusbError < 0) {
        m_pContext = nullptr;
        return en_Usb_InitFailed;
    }
    const int iWalk = Walk(*pModel, SerialOfPort(strPort));
    if (iWalk != en_Usb_OK)
        return iWalk;

    const int iActive = libusb_kernel_driver_active(m_pHandle, c_iPrinterInterface);
    if (iActive == 1) {
        bKernelDriverActive = true;
        bKernelDriverDetached = libusb_detach_kernel_driver(m_pHandle, c_iPrinterInterface) == 0;
    }
    iLibusbError = libusb_claim_interface(m_pHandle, c_iPrinterInterface);
    if (iLibusbError < 0)
        return en_Usb_ClaimFailed;
    m_bClaimed = true;
    return en_Usb_OK;
}

int UsbPrinterSession::Walk(const stModelInfo& model, const QString& strSerial)
{
    libusb_device** ppList = nullptr;
    const ssize_t count = libusb_get_device_list(m_pContext, &ppList);
    if (count < 0) {
        iLibusbError = int(count);
        return en_Usb_ListFailed;
    }
    int iResult = en_Usb_NoDevice;
    bool bLastCallFailed = false;
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor descriptor;
        iLibusbError = libusb_get_device_descriptor(ppList[i], &descriptor);
        if (iLibusbError < 0) {
            iFailedDescriptor = int(i + 1);
            iResult = en_Usb_WalkFailed;
            break;
        }
        bLastCallFailed = false;
        if (descriptor.idVendor != model.iVendorId || descriptor.idProduct != model.iProductId)
            continue;
        const int iTry = TryDevice(ppList[i], strSerial);
        if (iTry == en_Usb_OK) {
            iResult = en_Usb_OK;
            break;
        }
        bLastCallFailed = iTry < 0;
    }
    if (iResult == en_Usb_NoDevice && bLastCallFailed)
        iResult = en_Usb_WalkFailed;
    libusb_free_device_list(ppList, 1);
    return iResult;
}

// 0 when this is the printer (left open), 1 when it is another one, negative when a
// libusb call failed on it.
int UsbPrinterSession::TryDevice(libusb_device* pDevice, const QString& strSerial)
{
    libusb_device_handle* pHandle = nullptr;
    iLibusbError = libusb_open(pDevice, &pHandle);
    if (iLibusbError < 0)
        return iLibusbError;
    libusb_device_descriptor descriptor;
    libusb_get_device_descriptor(pDevice, &descriptor);
    unsigned char szSerial[c_iSerialBufferSize + 1] = {0};
    iLibusbError = libusb_get_string_descriptor_ascii(pHandle, descriptor.iSerialNumber, szSerial, c_iSerialBufferSize);
    if (iLibusbError < 0) {
        libusb_close(pHandle);
        return iLibusbError;
    }
    if (!SerialMatches(QString::fromLatin1(reinterpret_cast<char*>(szSerial)), strSerial)) {
        libusb_close(pHandle);
        return 1;
    }
    m_pHandle = pHandle;
    return en_Usb_OK;
}

int UsbPrinterSession::ControlIn(unsigned char bRequestType, unsigned char bRequest, unsigned short wValue,
                                 unsigned short wIndex, unsigned char* pData, unsigned short wLength,
                                 unsigned int timeoutMs)
{
    iLibusbError = libusb_control_transfer(m_pHandle, bRequestType, bRequest, wValue, wIndex, pData, wLength, timeoutMs);
    return iLibusbError;
}
