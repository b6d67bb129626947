#include "baseform.h"

#include "ipaddress.h"
#include "modelinfo.h"
#include "udpchannel.h"
#include "ui_baseform.h"
#include "utillibusb.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

#include <cstring>
#include <vector>

namespace {

QString Tr(const QString& strKey) { return QCoreApplication::translate("QObject", strKey.toUtf8().constData()); }

} // namespace

BaseForm::BaseForm(QWidget* parent) : QWidget(parent), baseUi(new Ui::BaseForm)
{
    baseUi->setupUi(this);
    baseUi->labelPrinterName->setText(QObject::tr("BaseForm.Label.Printer_Name"));
    baseUi->pushButtonBack->setText(QObject::tr("BaseForm.Button.Back"));
    connect(baseUi->comboBoxDevice, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &BaseForm::OnComboBoxDeviceChanged);
    connect(baseUi->pushButtonBack, &QPushButton::clicked, this, &BaseForm::OnButtonBackClicked);
}

BaseForm::~BaseForm() { delete baseUi; }

void BaseForm::OnButtonBackClicked() { emit SgnChangeForm(0); }

QList<stPrinterInfo> BaseForm::GetPrinterInfo() { return ::GetPrinterInfo(); }

void BaseForm::InitStPrinterInfo(stPrinterInfo& info) { info = stPrinterInfo(); }

void BaseForm::RefreshDeviceCombobox()
{
    listPrinter = GetPrinterInfo();
    // The items are replaced as one change: the page reacts once, to item 0.
    baseUi->comboBoxDevice->blockSignals(true);
    baseUi->comboBoxDevice->clear();
    for (const stPrinterInfo& info : listPrinter)
        baseUi->comboBoxDevice->addItem(info.strName);
    baseUi->comboBoxDevice->setCurrentIndex(listPrinter.isEmpty() ? -1 : 0);
    baseUi->comboBoxDevice->blockSignals(false);
    OnComboBoxDeviceChanged(baseUi->comboBoxDevice->currentIndex());
}

bool BaseForm::GetPrinterVidPid(QString port, int& vid, int& pid)
{
    const stModelInfo* pModel = FindModelByDeviceURI(port);
    if (!pModel)
        return false;
    vid = pModel->iVendorId;
    pid = pModel->iProductId;
    return true;
}

bool BaseForm::IsIPValid(QString text) { return ::IsIPValid(text); }

int BaseForm::UDPSendRecvData(QString address, unsigned char* request, int requestLength, unsigned char* reply,
                              int replyCapacity, int* replyLength)
{
    return ::UDPSendRecvData(address, request, requestLength, reply, replyCapacity, replyLength);
}

int BaseForm::ShowMessageBoxOk(QString text)
{
    QMessageBox box(QMessageBox::Information, QObject::tr("Ovra_PrintSetting"), text, QMessageBox::NoButton, this);
    box.setStandardButtons(QMessageBox::Ok);
    box.button(QMessageBox::Ok)->setText(QObject::tr("BaseForm.Message_Button.Confirm"));
    return box.exec();
}

int BaseForm::ShowMessageBoxOkCancel(QString text)
{
    QMessageBox box(QMessageBox::Information, QObject::tr("Ovra_PrintSetting"), text, QMessageBox::NoButton, this);
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    box.button(QMessageBox::Ok)->setText(QObject::tr("BaseForm.Message_Button.Confirm"));
    box.button(QMessageBox::Cancel)->setText(QObject::tr("BaseForm.Message_Button.Cancel"));
    box.setDefaultButton(QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec();
}

void BaseForm::RaiseFrame()
{
    baseUi->labelTitle->raise();
    baseUi->labelPrinterName->raise();
    baseUi->comboBoxDevice->raise();
    baseUi->pushButtonBack->raise();
}

int BaseForm::ShowPageMessage(const QString& strPage, const QString& strName)
{
    return ShowMessageBoxOk(Tr(strPage + ".Message." + strName));
}

bool BaseForm::SelectedPrinter(const QString& strPage, stPrinterInfo& info)
{
    const int index = baseUi->comboBoxDevice->currentIndex();
    if (index < 0 || index >= listPrinter.size()) {
        ShowPageMessage(strPage, "Required_Printer");
        return false;
    }
    InitStPrinterInfo(info);
    info = listPrinter.at(index);
    return true;
}

stSendResult BaseForm::SendToPrinter(const stPrinterInfo& info, const unsigned char* request, int requestLength,
                                     unsigned char* reply, int* replyLength)
{
    stSendResult result;
    std::vector<unsigned char> byRequest(request, request + requestLength);
    std::memset(reply, 0, c_iPrinterReplySize);
    result.bUsb = info.iConnectType == en_Connect_USB;
    if (!result.bUsb) {
        result.iResult =
            UDPSendRecvData(info.strPort, byRequest.data(), requestLength, reply, c_iPrinterReplySize, replyLength);
        return result;
    }
    int vid = 0;
    int pid = 0;
    result.bModelKnown = GetPrinterVidPid(info.strPort, vid, pid);
    if (result.bModelKnown)
        result.iResult = USBSendRecvData(vid, pid, info.strPort, byRequest.data(), requestLength, reply,
                                         c_iPrinterReplySize, replyLength);
    return result;
}
