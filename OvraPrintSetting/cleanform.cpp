#include "cleanform.h"

#include "channelresult.h"
#include "maintenancerequests.h"
#include "ui_baseform.h"
#include "ui_cleanform.h"

#include <QMessageBox>
#include <QPixmap>

namespace {

const char* const c_szPage = "CleanForm";
const int c_iPageWidth = 500;
const int c_iSampleWidth = 270;
const int c_iSampleTop = 70;
const int c_iCleanButtonTop = 325;

} // namespace

CleanForm::CleanForm(QWidget* parent) : BaseForm(parent), ui(new Ui::CleanForm)
{
    ui->setupUi(this);
    baseUi->labelTitle->clear(); // the cleaning page has no title
    ui->labelTxt->setText(QObject::tr("CleanForm.Label.Txt"));
    ui->pushButtonClean->setText(QObject::tr("CleanForm.Button.Clean"));
    PlaceWidgets();
    RaiseFrame();
    setTabOrder(baseUi->comboBoxDevice, ui->pushButtonClean);
    setTabOrder(ui->pushButtonClean, baseUi->pushButtonBack);
    connect(ui->pushButtonClean, &QPushButton::clicked, this, &CleanForm::OnButtonCleanClicked);
}

CleanForm::~CleanForm() { delete ui; }

// The sample 270 wide at its own aspect ratio, centred; the text under it over the
// full width; the Clean button as large as Back, centred.
void CleanForm::PlaceWidgets()
{
    const QPixmap sample("://Resource/clean_1.png");
    const int iHeight = sample.isNull() ? 0 : c_iSampleWidth * sample.height() / sample.width();
    ui->labelSample->setPixmap(sample);
    ui->labelSample->setGeometry((c_iPageWidth - c_iSampleWidth) / 2, c_iSampleTop, c_iSampleWidth, iHeight);
    ui->labelTxt->setGeometry(0, c_iSampleTop + iHeight, c_iPageWidth, ui->labelTxt->height());
    const QSize back = baseUi->pushButtonBack->size();
    ui->pushButtonClean->setGeometry((c_iPageWidth - back.width()) / 2, c_iCleanButtonTop, back.width(), back.height());
}

void CleanForm::InitForm() { RefreshDeviceCombobox(); }

void CleanForm::OnComboBoxDeviceChanged(int)
{
    ui->pushButtonClean->setText(QObject::tr("CleanForm.Button.Clean"));
    bCleanSent = false;
}

void CleanForm::OnButtonCleanClicked()
{
    stPrinterInfo info;
    if (!SelectedPrinter(c_szPage, info))
        return;
    if (ShowMessageBoxOkCancel(QObject::tr("CleanForm.Message.Check_Clean_Before")) != QMessageBox::Ok)
        return;
    const unsigned char* pRequest = bCleanSent ? c_byReCleanRequest : c_byCleanRequest;
    const int iLength = bCleanSent ? c_iReCleanRequestLength : c_iCleanRequestLength;
    unsigned char byReply[c_iPrinterReplySize];
    int iReplyLength = 0;
    const stSendResult result = SendToPrinter(info, pRequest, iLength, byReply, &iReplyLength);
    if (!result.bModelKnown) {
        ShowPageMessage(c_szPage, "Check_Printer_Model");
        return;
    }
    const QString strFailure = MaintenanceResultMessage(result.bUsb, result.iResult);
    if (!strFailure.isEmpty()) {
        ShowPageMessage(c_szPage, strFailure);
        return;
    }
    bCleanSent = true;
    ui->pushButtonClean->setText(QObject::tr("CleanForm.Button.Re_Clean"));
    ShowPageMessage(c_szPage, "Check_Clean_Send");
}
