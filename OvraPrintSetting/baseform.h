// The common frame of the task pages: title, printer chooser filled from the printer
// list file, Back button, message boxes, the model lookup, the address test and the
// UDP exchange.
#pragma once

#include "printerinfo.h"

#include <QList>
#include <QString>
#include <QWidget>

namespace Ui {
class BaseForm;
}

const int c_iPrinterReplySize = 1024; // reply buffer of every command

// How a request reached (or did not reach) the chosen printer.
struct stSendResult {
    bool bModelKnown = true; // false: a USB printer of no known model; nothing was sent
    bool bUsb = false;       // the USB channel was used, else UDP
    int iResult = 0;         // the channel's result code
};

class BaseForm : public QWidget
{
    Q_OBJECT
public:
    explicit BaseForm(QWidget* parent = nullptr);
    ~BaseForm() override;

    // Prepares the page each time it is shown.
    virtual void InitForm() = 0;

    QList<stPrinterInfo> GetPrinterInfo();
    static void InitStPrinterInfo(stPrinterInfo& info);
    void RefreshDeviceCombobox();
    static bool GetPrinterVidPid(QString port, int& vid, int& pid);
    static bool IsIPValid(QString text);
    static int UDPSendRecvData(QString address, unsigned char* request, int requestLength, unsigned char* reply,
                               int replyCapacity, int* replyLength);
    int ShowMessageBoxOk(QString text);
    int ShowMessageBoxOkCancel(QString text);

signals:
    void SgnChangeForm(int index);

public slots:
    // Reacts to a new printer choice.
    virtual void OnComboBoxDeviceChanged(int index) = 0;
    void OnButtonBackClicked();

public:
    Ui::BaseForm* baseUi;
    QList<stPrinterInfo> listPrinter; // index-aligned with the chooser's items

protected:
    // Selection check: the chosen printer into info; false (after showing
    // strPage + ".Message.Required_Printer") when none is chosen.
    bool SelectedPrinter(const QString& strPage, stPrinterInfo& info);
    // Route choice and one exchange: USB (after the model lookup) for a USB printer,
    // UDP otherwise. The reply buffer of 1024 bytes is zeroed first.
    stSendResult SendToPrinter(const stPrinterInfo& info, const unsigned char* request, int requestLength,
                               unsigned char* reply, int* replyLength);
    // Keeps the frame (title, printer chooser and its label, Back) above the page's
    // own widgets where they meet; called once the page's widgets exist.
    void RaiseFrame();
    // The page's translated message strPage + ".Message." + strName, with OK.
    int ShowPageMessage(const QString& strPage, const QString& strName);
};
