// The one-click update: the chosen printer and file, the checks before anything is
// sent, the confirmation, the firmware image and the message for the result.
#include "widget.h"

#include "fwupdatetask.h"
#include "modelinfo.h"
#include "ovrajournal.h"
#include "ovralog.h"
#include "updateattempts.h"
#include "ui_widget.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QThread>
#include <QMessageBox>

#include <climits>
#include <cstdio>
#include <memory>
#include <new>

#define FW_WIDGET_LOG(...) WriteStringLog("OvraFWUpdate/widget", __LINE__, __FUNCTION__, __VA_ARGS__)

namespace {

const QString c_strFilePrefix = "file://";

// The length of an open file; -1 when it cannot be told or does not fit an int.
long long FileLength(std::FILE* pFile)
{
    if (std::fseek(pFile, 0, SEEK_END) != 0)
        return -1;
    const long long length = ftello(pFile);
    std::rewind(pFile);
    return (length < 0 || length > INT_MAX) ? -1 : length;
}

} // namespace

bool Widget::GetPrinterVidPid(QString model, int& vid, int& pid)
{
    const stModelInfo* pModel = FindModelByDisplayName(model);
    if (!pModel)
        return false;
    vid = pModel->iVendorId;
    pid = pModel->iProductId;
    return true;
}

bool Widget::CheckFWFile(QString path, char** buffer, int& size)
{
    size = 0;
    if (!buffer)
        return false;
    *buffer = nullptr;
    std::FILE* pFile = std::fopen(path.toLocal8Bit().constData(), "rb");
    if (!pFile)
        return false;
    FW_WIDGET_LOG("open %s success\n", qPrintable(path));
    const long long length = FileLength(pFile);
    if (length < 0) {
        std::fclose(pFile);
        return false;
    }
    size = int(length);
    FW_WIDGET_LOG("len=%d\n", size);
    *buffer = new (std::nothrow) char[size_t(size)];
    if (!*buffer) {
        std::fclose(pFile);
        return false;
    }
    const size_t iRead = std::fread(*buffer, 1, size_t(size), pFile);
    std::fclose(pFile);
    return iRead == size_t(size);
}

// The table's current row, taken only while it is selected: keyboard focus makes a
// row current without selecting it, and the image must go to the printer the user
// picked. -1 when there is none.
int Widget::SelectedRow()
{
    const int row = ui->tablePrinterList->currentRow();
    if (row < 0 || row >= listPrinterInfo.size())
        return -1;
    if (!ui->tablePrinterList->selectionModel()->isRowSelected(row, QModelIndex()))
        return -1;
    return row;
}

// The path of the line edit; a "file://" prefix is cut off, in the line edit too.
QString Widget::TakeFilePath()
{
    QString strPath = ui->lineFilePath->text();
    if (strPath.startsWith(c_strFilePrefix, Qt::CaseSensitive)) {
        strPath.remove(0, c_strFilePrefix.size());
        ui->lineFilePath->setText(strPath);
    }
    return strPath;
}

bool Widget::ConfirmUpdate(const stPrinterInfo& info)
{
    const QString strQuestion = QObject::tr("MainWindow.Message.Whether_Update_Printer") + " " + info.strName + " ?";
    return ShowMessageBoxOkCancel(strQuestion) == QMessageBox::Ok;
}

void Widget::SendFirmware(const stPrinterInfo& info, const QString& path, int vid, int pid)
{
    char* pBuffer = nullptr;
    int iSize = 0;
    const bool bRead = CheckFWFile(path, &pBuffer, iSize);
    std::shared_ptr<char[]> image(pBuffer, std::default_delete<char[]>());
    if (!bRead) {
        ShowMessageBoxOk(QObject::tr("MainWindow.Message.Failed_Read_File"));
        return;
    }
    const QString strPort = info.strPort;
    m_pUpdateThread = QThread::create([this, vid, pid, strPort, image, iSize] {
        m_iUpdateResult = RunFWUpdateAttempts(vid, pid, strPort, image.get(), iSize);
    });
    connect(m_pUpdateThread, &QThread::finished, this, &Widget::SlotUpdateFinished);
    SetUpdating(true);
    m_pUpdateThread->start();
}

// The controls wait while the image is sent; the busy bar runs instead.
void Widget::SetUpdating(bool bUpdating)
{
    for (QWidget* pControl : {static_cast<QWidget*>(ui->tablePrinterList), static_cast<QWidget*>(ui->buttonRefresh),
                              static_cast<QWidget*>(ui->lineFilePath), static_cast<QWidget*>(ui->buttonBrowse),
                              static_cast<QWidget*>(ui->buttonOK)})
        pControl->setEnabled(!bUpdating);
    ui->progressUpdate->setVisible(bUpdating);
}

void Widget::SlotUpdateFinished()
{
    m_pUpdateThread->wait();
    delete m_pUpdateThread;
    m_pUpdateThread = nullptr;
    SetUpdating(false);
    const int iResult = m_iUpdateResult;
    if (iResult != en_FW_OK)
        OvraJournalLine("ovraK246FW: firmware update failed: %s (%d)", UpdateResultKey(iResult), iResult);
    if (m_bCloseAfterUpdate) {
        m_bEndedOnFailure = iResult != en_FW_OK;
        close();
        return;
    }
    ShowMessageBoxOk(QObject::tr(UpdateResultKey(iResult)));
    emit SgnUpdateFinished(iResult);
}

// Closing while the image is sent asks first: the window goes, the transfer goes on
// until it ends, and the program ends after it.
void Widget::closeEvent(QCloseEvent* event)
{
    if (!m_pUpdateThread) {
        event->accept();
        return;
    }
    event->ignore();
    if (ShowMessageBoxOkCancel(QObject::tr("MainWindow.Message.Close_While_Updating")) == QMessageBox::Ok
        && m_pUpdateThread) {
        m_bCloseAfterUpdate = true;
        hide();
    }
}

void Widget::on_buttonOK_clicked()
{
    const int row = SelectedRow();
    if (row < 0) {
        ShowMessageBoxOk(QObject::tr("MainWindow.Message.Required_Printer"));
        return;
    }
    const QString strPath = TakeFilePath();
    if (!QFileInfo(strPath).isFile()) {
        ShowMessageBoxOk(QObject::tr("MainWindow.Message.Check_File_Path"));
        return;
    }
    const stPrinterInfo info = listPrinterInfo.at(row);
    int vid = 0;
    int pid = 0;
    if (!GetPrinterVidPid(info.enType, vid, pid)) {
        ShowMessageBoxOk(QObject::tr("MainWindow.Message.Check_Printer_Model"));
        return;
    }
    if (!ConfirmUpdate(info))
        return;
    SendFirmware(info, strPath, vid, pid);
}
