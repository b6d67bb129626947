#include "alignmentform.h"

#include "channelresult.h"
#include "maintenancerequests.h"
#include "ui_alignmentform.h"
#include "ui_baseform.h"

#include <QFont>
#include <QMessageBox>
#include <QPixmap>
#include <QVector>

namespace {

const char* const c_szPage = "AlignmentForm";
const int c_iPageWidth = 500;
const int c_iSampleWidth = 64;
const int c_iRowTop = 110;
const int c_iRowStep = 35;
const int c_iButtonLine = 360;
const int c_iNumberPixelSize = 10;

} // namespace

AlignmentForm::AlignmentForm(QWidget* parent) : BaseForm(parent), ui(new Ui::AlignmentForm)
{
    ui->setupUi(this);
    baseUi->labelTitle->setText(QObject::tr("AlignmentForm.Label.Title"));
    ui->labelTipBefore->setText(QObject::tr("AlignmentForm.Label.TipBefore"));
    ui->labelTipAfter->setText(QObject::tr("AlignmentForm.Label.TipAfter"));
    ui->pushButtonPrint->setText(QObject::tr("AlignmentForm.Button.Print"));
    ui->pushButtonFinish->setText(QObject::tr("AlignmentForm.Button.Finish"));
    PlaceWidgets();
    RaiseFrame();
    QWidget* pPrevious = baseUi->comboBoxDevice;
    for (int i = 1; i <= c_iCalibrationRows; ++i) {
        setTabOrder(pPrevious, Chooser(i));
        pPrevious = Chooser(i);
    }
    setTabOrder(pPrevious, baseUi->pushButtonBack);
    setTabOrder(baseUi->pushButtonBack, ui->pushButtonPrint);
    setTabOrder(ui->pushButtonPrint, ui->pushButtonFinish);
    connect(ui->pushButtonPrint, &QPushButton::clicked, this, &AlignmentForm::OnButtonPrintClicked);
    connect(ui->pushButtonFinish, &QPushButton::clicked, this, &AlignmentForm::OnButtonFinishClicked);
    SetAlignmentEnable(false);
}

AlignmentForm::~AlignmentForm() { delete ui; }

QSpinBox* AlignmentForm::Chooser(int iRow) const
{
    QSpinBox* const choosers[c_iCalibrationRows] = {ui->spinBox1, ui->spinBox2, ui->spinBox3, ui->spinBox4,
                                                    ui->spinBox5, ui->spinBox6, ui->spinBox7};
    return choosers[qBound(1, iRow, c_iCalibrationRows) - 1];
}

QLabel* AlignmentForm::Sample(int iRow) const
{
    QLabel* const samples[c_iCalibrationRows] = {ui->labelSample1, ui->labelSample2, ui->labelSample3, ui->labelSample4,
                                                 ui->labelSample5, ui->labelSample6, ui->labelSample7};
    return samples[qBound(1, iRow, c_iCalibrationRows) - 1];
}

QLabel* AlignmentForm::Number(int iRow) const
{
    QLabel* const numbers[c_iCalibrationRows] = {ui->labelNumber1, ui->labelNumber2, ui->labelNumber3, ui->labelNumber4,
                                                 ui->labelNumber5, ui->labelNumber6, ui->labelNumber7};
    return numbers[qBound(1, iRow, c_iCalibrationRows) - 1];
}

// Back on the left and Print / Finish on the right of the button line.
void AlignmentForm::PlaceWidgets()
{
    const QSize button = baseUi->pushButtonBack->size();
    const int iBackX = (c_iPageWidth - 2 * button.width()) / 3;
    baseUi->pushButtonBack->move(iBackX, c_iButtonLine);
    ui->pushButtonPrint->setGeometry(c_iPageWidth - button.width() - iBackX, c_iButtonLine, button.width(),
                                     button.height());
    ui->pushButtonFinish->setGeometry(ui->pushButtonPrint->geometry());
    for (int i = 1; i <= c_iCalibrationRows; ++i)
        PlaceRow(i);
}

// Number label, sample picture 64 wide at its own aspect ratio, chooser.
void AlignmentForm::PlaceRow(int iRow)
{
    const QPixmap sample(QString(":/Resource/alignment_%1.png").arg(iRow));
    const int iHeight = sample.isNull() ? 0 : c_iSampleWidth * sample.height() / sample.width();
    const int y = c_iRowTop + c_iRowStep * (iRow - 1);
    const int x0 = (c_iPageWidth - c_iSampleWidth - 114) / 2;
    Number(iRow)->setText("#" + QString::number(iRow));
    QFont font = Number(iRow)->font();
    font.setPixelSize(c_iNumberPixelSize); // "#7" fits the 16 pixels whatever the desktop font
    Number(iRow)->setFont(font);
    Number(iRow)->setGeometry(x0, y, 16, 20);
    Sample(iRow)->setPixmap(sample);
    Sample(iRow)->setGeometry(x0 + 32, y - 2, c_iSampleWidth, iHeight);
    Chooser(iRow)->setRange(c_iCalibrationMin, c_iCalibrationMax);
    Chooser(iRow)->setSingleStep(1);
    Chooser(iRow)->setGeometry(x0 + c_iSampleWidth + 64, y, 50, 20);
}

void AlignmentForm::InitForm()
{
    RefreshDeviceCombobox();
    SetAlignmentEnable(false);
}

void AlignmentForm::OnComboBoxDeviceChanged(int) { SetAlignmentEnable(false); }

void AlignmentForm::SetAlignmentEnable(bool sent)
{
    for (int i = 1; i <= c_iCalibrationRows; ++i) {
        Number(i)->setVisible(sent);
        Sample(i)->setVisible(sent);
        Chooser(i)->setVisible(sent);
        if (sent)
            Chooser(i)->setValue(0);
    }
    baseUi->comboBoxDevice->setEnabled(!sent);
    ui->labelTipAfter->setVisible(!sent);
    ui->labelTipBefore->setVisible(sent);
    ui->pushButtonPrint->setVisible(!sent);
    ui->pushButtonFinish->setVisible(sent);
}

bool AlignmentForm::SendRequest(const stPrinterInfo& info, const unsigned char* request, int length)
{
    unsigned char byReply[c_iPrinterReplySize];
    int iReplyLength = 0;
    const stSendResult result = SendToPrinter(info, request, length, byReply, &iReplyLength);
    if (!result.bModelKnown) {
        ShowPageMessage(c_szPage, "Check_Printer_Model");
        return false;
    }
    const QString strFailure = MaintenanceResultMessage(result.bUsb, result.iResult);
    if (!strFailure.isEmpty()) {
        ShowPageMessage(c_szPage, strFailure);
        return false;
    }
    return true;
}

void AlignmentForm::OnButtonPrintClicked()
{
    stPrinterInfo info;
    if (!SelectedPrinter(c_szPage, info))
        return;
    if (ShowMessageBoxOkCancel(QObject::tr("AlignmentForm.Message.Check_Calibration_Before")) != QMessageBox::Ok)
        return;
    if (!SendRequest(info, c_byCalibrationPageRequest, c_iCalibrationPageRequestLength))
        return;
    ShowPageMessage(c_szPage, "Check_Calibration_Send");
    SetAlignmentEnable(true);
}

void AlignmentForm::OnButtonFinishClicked()
{
    stPrinterInfo info;
    if (!SelectedPrinter(c_szPage, info))
        return;
    QVector<int> listChosen;
    for (int i = 1; i <= c_iCalibrationRows; ++i)
        listChosen << Chooser(i)->value();
    unsigned char byRequest[c_iCalibrationValuesRequestLength];
    CalibrationValuesRequest(listChosen, byRequest);
    if (!SendRequest(info, byRequest, c_iCalibrationValuesRequestLength))
        return;
    ShowPageMessage(c_szPage, "Calibration_Completed");
    SetAlignmentEnable(false);
}
