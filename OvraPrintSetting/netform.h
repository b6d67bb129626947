// The network settings page: reads and writes the address settings of a USB printer.
#pragma once

#include "baseform.h"
#include "stipinfo.h"

class QLineEdit;

namespace Ui {
class NetForm;
}

const int c_iOctetCount = 4;
const int c_iProbeRequestLength = 14;
const int c_iReadRequestLength = 28;
const int c_iWriteRequestLength = 75;
const int c_iValueBufferSize = 400; // a record value, terminating zero included

class NetForm : public BaseForm
{
    Q_OBJECT
public:
    explicit NetForm(QWidget* parent = nullptr);
    ~NetForm() override;

    void InitForm() override;
    void InitEdit();
    bool SetIPToEdit(QString address, QLineEdit** fields);
    bool GetIPFromEdit(QString& address, QLineEdit** fields);
    bool SetSheetInfo(stIPInfo info);
    bool GetSheetInfo(stIPInfo& info);

    static bool FormatIPData(QString address, unsigned char* buffer, int offset);
    static void ProbeRequest(unsigned char* request, int* length);
    static void ReadRequest(int iBlock, unsigned char* request, int* length);
    static bool WriteSendData(stIPInfo info, unsigned char* request, int* length);
    bool CheckPrinterIPStatusUSB(int vid, int pid, QString port, unsigned char* reply, int* replyLength,
                                 int* result = nullptr);
    // Removes the 5-byte block headers; payload must hold length bytes.
    static bool FormatRecvData(unsigned char* reply, int length, unsigned char* payload, int* payloadLength);
    static bool ParseRecvData(unsigned char* reply, int length, stIPInfo* info);

    QLineEdit* Field(int k, int octet) const { return m_pFields[k - 1][octet]; }

public slots:
    void OnComboBoxDeviceChanged(int index) override;
    void OnComboBoxSourceChanged(int index);
    void OnButtonGetClicked();
    void OnButtonSetClicked();

public:
    Ui::NetForm* ui;
    int iTagBlock = 1;           // learnt by the last successful Read or probe, used by Set
    bool bTagBlockKnown = false; // iTagBlock is the chosen printer's

private:
    void CollectFields();
    void SetTexts();
    void SetTabOrder();
    // The chosen USB printer's port and IDs, after the checks every command makes.
    bool UsbPrinterChosen(QString& strPort, int& vid, int& pid);
    // Asks the printer which tag block it uses: an empty text, or the page's message
    // for why it could not be asked.
    QString ProbeTagBlock(int vid, int pid, const QString& strPort, int& iBlock);

    QLineEdit* m_pFields[c_iAddressCount][c_iOctetCount];
};
