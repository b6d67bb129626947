#include "netform.h"

#include "channelresult.h"
#include "ui_baseform.h"
#include "ui_netform.h"
#include "utillibusb.h"

#include <QRegExp>
#include <QRegExpValidator>
#include <QStringList>

#include <cstring>

namespace {

const char* const c_szPage = "NetForm";
const int c_iMinProbeReply = 8;
// One octet, 0 to 255: "256" cannot even be typed.
const char* const c_szOctetPattern = "2[0-4]\\d|25[0-5]|[01]?\\d\\d?";

} // namespace

NetForm::NetForm(QWidget* parent) : BaseForm(parent), ui(new Ui::NetForm)
{
    ui->setupUi(this);
    baseUi->labelTitle->setGeometry(30, 10, 300, 30);
    CollectFields();
    RaiseFrame();
    SetTexts();
    SetTabOrder();
    connect(ui->comboBoxSource, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &NetForm::OnComboBoxSourceChanged);
    connect(ui->pushButtonRead, &QPushButton::clicked, this, &NetForm::OnButtonGetClicked);
    connect(ui->pushButtonSet, &QPushButton::clicked, this, &NetForm::OnButtonSetClicked);
    InitEdit();
}

NetForm::~NetForm() { delete ui; }

void NetForm::CollectFields()
{
    QLineEdit* const fields[c_iAddressCount][c_iOctetCount] = {
        {ui->lineEditIPAddress1, ui->lineEditIPAddress2, ui->lineEditIPAddress3, ui->lineEditIPAddress4},
        {ui->lineEditSubnetMask1, ui->lineEditSubnetMask2, ui->lineEditSubnetMask3, ui->lineEditSubnetMask4},
        {ui->lineEditGateway1, ui->lineEditGateway2, ui->lineEditGateway3, ui->lineEditGateway4},
        {ui->lineEditPrimaryDNS1, ui->lineEditPrimaryDNS2, ui->lineEditPrimaryDNS3, ui->lineEditPrimaryDNS4},
        {ui->lineEditSecondaryDNS1, ui->lineEditSecondaryDNS2, ui->lineEditSecondaryDNS3, ui->lineEditSecondaryDNS4},
        {ui->lineEditPrimaryWINS1, ui->lineEditPrimaryWINS2, ui->lineEditPrimaryWINS3, ui->lineEditPrimaryWINS4},
        {ui->lineEditSecondaryWINS1, ui->lineEditSecondaryWINS2, ui->lineEditSecondaryWINS3,
         ui->lineEditSecondaryWINS4},
    };
    for (int k = 0; k < c_iAddressCount; ++k) {
        for (int o = 0; o < c_iOctetCount; ++o) {
            m_pFields[k][o] = fields[k][o];
            m_pFields[k][o]->setValidator(new QRegExpValidator(QRegExp(c_szOctetPattern), m_pFields[k][o]));
        }
    }
}

void NetForm::SetTexts()
{
    baseUi->labelTitle->setText(QObject::tr("NetForm.Label.Title"));
    ui->labelIPAcquisitionMethod->setText(QObject::tr("NetForm.Label.IP_Acquisition_Method"));
    ui->labelIPAddress->setText(QObject::tr("NetForm.Label.IP_Address"));
    ui->labelSubnetMask->setText(QObject::tr("NetForm.Label.Subnet_Mask"));
    ui->labelGateway->setText(QObject::tr("NetForm.Label.Gateway_Address"));
    ui->labelPrimaryDNS->setText(QObject::tr("NetForm.Label.Primary_DNS_Server"));
    ui->labelSecondaryDNS->setText(QObject::tr("NetForm.Label.Secondary_DNS_Server"));
    ui->labelPrimaryWINS->setText(QObject::tr("NetForm.Label.Primary_WINS_Server"));
    ui->labelSecondaryWINS->setText(QObject::tr("NetForm.Label.Secondary_WINS_Server"));
    ui->comboBoxSource->setItemText(c_iIPModeDHCP, "DHCP");
    ui->comboBoxSource->setItemText(c_iIPModeStatic, QObject::tr("NetForm.Option.Static"));
    ui->pushButtonRead->setText(QObject::tr("NetForm.Button.Read"));
    ui->pushButtonSet->setText(QObject::tr("NetForm.Button.Set"));
}

// Printer chooser, mode chooser, the octets row by row, Back; then Read and Set.
void NetForm::SetTabOrder()
{
    QWidget* pPrevious = ui->comboBoxSource;
    setTabOrder(baseUi->comboBoxDevice, pPrevious);
    for (int k = 0; k < c_iAddressCount; ++k) {
        for (int o = 0; o < c_iOctetCount; ++o) {
            setTabOrder(pPrevious, m_pFields[k][o]);
            pPrevious = m_pFields[k][o];
        }
    }
    setTabOrder(pPrevious, baseUi->pushButtonBack);
    setTabOrder(baseUi->pushButtonBack, ui->pushButtonRead);
    setTabOrder(ui->pushButtonRead, ui->pushButtonSet);
}

void NetForm::InitForm()
{
    RefreshDeviceCombobox();
    InitEdit();
}

// Another printer may use the other tag block: the next Read or Set probes again.
void NetForm::OnComboBoxDeviceChanged(int)
{
    InitEdit();
    bTagBlockKnown = false;
}

void NetForm::InitEdit()
{
    for (int k = 0; k < c_iAddressCount; ++k) {
        for (int o = 0; o < c_iOctetCount; ++o)
            m_pFields[k][o]->setText("0");
    }
    ui->comboBoxSource->setCurrentIndex(c_iIPModeDHCP);
    OnComboBoxSourceChanged(c_iIPModeDHCP);
}

void NetForm::OnComboBoxSourceChanged(int index)
{
    for (int k = 0; k < c_iAddressCount; ++k) {
        for (int o = 0; o < c_iOctetCount; ++o)
            m_pFields[k][o]->setEnabled(index != c_iIPModeDHCP);
    }
}

bool NetForm::SetIPToEdit(QString address, QLineEdit** fields)
{
    if (!IsIPValid(address))
        return false;
    const QStringList parts = address.split('.');
    for (int o = 0; o < c_iOctetCount; ++o)
        fields[o]->setText(parts.at(o));
    return true;
}

bool NetForm::GetIPFromEdit(QString& address, QLineEdit** fields)
{
    QStringList parts;
    for (int o = 0; o < c_iOctetCount; ++o)
        parts << fields[o]->text();
    const QString strJoined = parts.join('.');
    if (!IsIPValid(strJoined))
        return false;
    address = strJoined;
    return true;
}

// A mode other than DHCP or Static (no mode record came) leaves the chooser as it is.
bool NetForm::SetSheetInfo(stIPInfo info)
{
    if (info.iIPMode == c_iIPModeDHCP || info.iIPMode == c_iIPModeStatic) {
        ui->comboBoxSource->setCurrentIndex(info.iIPMode);
        OnComboBoxSourceChanged(info.iIPMode);
    }
    bool bAll = true;
    for (int k = 1; k <= c_iAddressCount; ++k)
        bAll = SetIPToEdit(info.Address(k), m_pFields[k - 1]) && bAll;
    return bAll;
}

bool NetForm::GetSheetInfo(stIPInfo& info)
{
    info.iTagBlock = iTagBlock;
    info.iIPMode = ui->comboBoxSource->currentIndex();
    bool bAll = true;
    for (int k = 1; k <= c_iAddressCount; ++k)
        bAll = GetIPFromEdit(info.Address(k), m_pFields[k - 1]) && bAll;
    return bAll;
}

bool NetForm::CheckPrinterIPStatusUSB(int vid, int pid, QString port, unsigned char* reply, int* replyLength,
                                      int* result)
{
    unsigned char byRequest[c_iProbeRequestLength];
    int iRequestLength = 0;
    ProbeRequest(byRequest, &iRequestLength);
    unsigned char byReply[c_iPrinterReplySize] = {0};
    int iReceived = 0;
    const int iResult =
        USBSendRecvData(vid, pid, port, byRequest, iRequestLength, byReply, sizeof(byReply), &iReceived);
    std::memcpy(reply, byReply, sizeof(byReply));
    *replyLength = iReceived;
    if (result)
        *result = iResult;
    return iResult == en_Usb_OK && iReceived >= c_iMinProbeReply;
}

bool NetForm::UsbPrinterChosen(QString& strPort, int& vid, int& pid)
{
    stPrinterInfo info;
    if (!SelectedPrinter(c_szPage, info))
        return false;
    if (info.iConnectType != en_Connect_USB) {
        ShowPageMessage(c_szPage, "Required_USB_Printer");
        return false;
    }
    if (!GetPrinterVidPid(info.strPort, vid, pid)) {
        ShowPageMessage(c_szPage, "Check_Printer_Model");
        return false;
    }
    strPort = info.strPort;
    return true;
}

QString NetForm::ProbeTagBlock(int vid, int pid, const QString& strPort, int& iBlock)
{
    unsigned char byProbe[c_iPrinterReplySize] = {0};
    int iProbeLength = 0;
    int iResult = en_Usb_OK;
    if (!CheckPrinterIPStatusUSB(vid, pid, strPort, byProbe, &iProbeLength, &iResult)) {
        const QString strFailure = NetResultMessage(iResult);
        return strFailure.isEmpty() ? QString("Fail_Get_Printer") : strFailure;
    }
    stIPInfo stProbe;
    ParseRecvData(byProbe, iProbeLength, &stProbe); // only the tag block is wanted
    iBlock = stProbe.iTagBlock;
    return QString();
}

void NetForm::OnButtonGetClicked()
{
    QString strPort;
    int vid = 0;
    int pid = 0;
    if (!UsbPrinterChosen(strPort, vid, pid))
        return;

    int iBlock = 1;
    if (!ProbeTagBlock(vid, pid, strPort, iBlock).isEmpty()) {
        ShowPageMessage(c_szPage, "Fail_Get_Printer");
        return;
    }

    unsigned char byRequest[c_iReadRequestLength];
    int iRequestLength = 0;
    ReadRequest(iBlock, byRequest, &iRequestLength);
    unsigned char byReply[c_iPrinterReplySize] = {0};
    int iReplyLength = 0;
    const int iResult =
        USBSendRecvData(vid, pid, strPort, byRequest, iRequestLength, byReply, sizeof(byReply), &iReplyLength);
    const QString strFailure = NetResultMessage(iResult);
    if (!strFailure.isEmpty()) {
        ShowPageMessage(c_szPage, strFailure);
        return;
    }
    stIPInfo stRead;
    if (!ParseRecvData(byReply, iReplyLength, &stRead)) {
        ShowPageMessage(c_szPage, "Failed_Data_Obtain");
        return;
    }
    SetSheetInfo(stRead);
    iTagBlock = iBlock;
    bTagBlockKnown = true;
}

void NetForm::OnButtonSetClicked()
{
    QString strPort;
    int vid = 0;
    int pid = 0;
    if (!UsbPrinterChosen(strPort, vid, pid))
        return;
    stIPInfo info;
    if (!GetSheetInfo(info)) {
        ShowPageMessage(c_szPage, "Check_Address_Format");
        return;
    }
    // A Set before any Read of this printer learns its tag block first.
    if (!bTagBlockKnown) {
        const QString strFailure = ProbeTagBlock(vid, pid, strPort, iTagBlock);
        if (!strFailure.isEmpty()) {
            ShowPageMessage(c_szPage, strFailure);
            return;
        }
        bTagBlockKnown = true;
        info.iTagBlock = iTagBlock;
    }
    unsigned char byRequest[c_iPrinterReplySize] = {0};
    int iRequestLength = 0;
    WriteSendData(info, byRequest, &iRequestLength);
    unsigned char byReply[c_iPrinterReplySize] = {0};
    int iReplyLength = 0;
    const int iResult =
        USBSendRecvData(vid, pid, strPort, byRequest, iRequestLength, byReply, sizeof(byReply), &iReplyLength);
    const QString strFailure = NetResultMessage(iResult);
    ShowPageMessage(c_szPage, strFailure.isEmpty() ? QString("Success_Setting") : strFailure);
}
