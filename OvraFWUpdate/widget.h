// The firmware update helper's window: the USB printers of the printer list, the
// firmware file, and the one-click update that sends the file to the chosen printer.
#pragma once

#include "printerinfo.h"

#include <QList>
#include <QModelIndex>
#include <QString>
#include <QWidget>

#include <atomic>

class QThread;

namespace Ui {
class Widget;
}

class Widget : public QWidget
{
    Q_OBJECT
public:
    explicit Widget(QWidget* parent = nullptr);
    ~Widget() override;

    // The printer list file's USB printers (network printers are left out).
    QList<stPrinterInfo> GetPrinterInfo();
    // Reads the whole firmware file into a buffer of its size, handed out through
    // buffer (the caller releases it with delete[], also when false is returned);
    // true when every byte was read.
    bool CheckFWFile(QString path, char** buffer, int& size);
    // Information boxes titled with the helper's name; the button pressed.
    int ShowMessageBoxOk(QString text);
    int ShowMessageBoxOkCancel(QString text);
    // Vendor and product ID of a model display name (ignoring case); false when the
    // model is not supported.
    bool GetPrinterVidPid(QString model, int& vid, int& pid);
    // True while an image is being sent to a printer.
    bool IsUpdating() const { return m_pUpdateThread != nullptr; }
    // The program's exit status: 1 when it ended after an update that failed.
    int ExitStatus() const { return m_bEndedOnFailure ? 1 : 0; }

signals:
    // An update has ended with this result, after its message was shown.
    void SgnUpdateFinished(int iResult);

private slots:
    void on_buttonOK_clicked();
    void on_buttonBrowse_clicked();
    void on_buttonRefresh_clicked();
    void SlotShowToolTip(const QModelIndex& index);
    void SlotUpdateFinished();

protected:
    void closeEvent(QCloseEvent* event) override;

public:
    Ui::Widget* ui;
    QList<stPrinterInfo> listPrinterInfo; // row i of the table shows entry i

private:
    void InitUI();
    void InitDeviceTable();
    void RefreshDeviceTable();
    // Steps of the update (widgetupdate.cpp).
    int SelectedRow();
    QString TakeFilePath();
    bool ConfirmUpdate(const stPrinterInfo& info);
    void SendFirmware(const stPrinterInfo& info, const QString& path, int vid, int pid);
    void SetUpdating(bool bUpdating);

    // The transfer runs on a thread of its own, so that the window keeps answering
    // for the seconds or minutes the printer takes the image.
    QThread* m_pUpdateThread = nullptr;
    std::atomic<int> m_iUpdateResult{0};
    bool m_bCloseAfterUpdate = false;
    bool m_bEndedOnFailure = false;
};
