#include "ovraprintertoolwidget.h"

#include "appsetting.h"
#include "desktopnotifier.h"
#include "desktopscale.h"
#include "ovralog.h"
#include "ovrapaths.h"
#include "statustext.h"
#include "trddevicemanage.h"
#include "trdgetprinterstatus.h"
#include "ui_ovraprintertoolwidget.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopWidget>
#include <QHeaderView>
#include <QMenu>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <QToolTip>

const char OvraPrinterToolWidget::c_szFirmwareHelper[] = "bin/ovraK246FW";

namespace {

const int c_iBalloonMs = 3000;
const int c_iTrayWatchMs = 3000; // how soon the window shows when the tray area goes
const int c_iColumnWidths[] = {160, 180, 160, 500};
const char c_szIcon[] = ":/Icon/Resource/Ovra.png";

enum enColumn {
    en_Column_Name = 0,
    en_Column_Connection,
    en_Column_Toner,
    en_Column_Status
};

} // namespace

OvraPrinterToolWidget::OvraPrinterToolWidget(QWidget* parent) : QWidget(parent), ui(new Ui::OvraPrinterToolWidget)
{
    ui->setupUi(this);
    setWindowIcon(QIcon(c_szIcon));
    if (DesktopIsLarge()) {
        const float s = DesktopScale();
        resize(int(width() * s), int(height() * s));
    }
    setWindowFlags(windowFlags() & ~Qt::WindowMaximizeButtonHint);
    setFixedSize(size());
    setWindowTitle(QObject::tr("Ovra_Helper"));
    CentreOnDesktop(this);
    pSetting = new AppSetting;
    iStatusThreadCount = 0;
    InitLog();
    InitLanguage();
    InitDeviceTable();
    InitTrayIcon();
    InitThread();
}

// The workers leave their loops at the quit request (their flag is set directly);
// a worker is deleted only once its thread has ended.
OvraPrinterToolWidget::~OvraPrinterToolWidget()
{
    emit SgnThreadQuit();
    StopThread(pManageThread, pDeviceManage);
    for (int i = 0; i < listStatusThread.size(); ++i)
        StopThread(listStatusThread.at(i), listStatusWorker.at(i));
    delete pSetting;
    delete ui;
}

void OvraPrinterToolWidget::StopThread(QThread* pThread, QObject* pWorker)
{
    pThread->quit();
    if (!pThread->wait(1000) && !pThread->wait(10000))
        return; // still busy (a command that hangs): leave both to the end of the process
    delete pWorker;
    delete pThread;
}

void OvraPrinterToolWidget::InitLog()
{
    SetLogEnable(false);
    EnableLogOnRequest();
    OVRA_LOG("desktop = %d, %d", QApplication::desktop()->width(), QApplication::desktop()->height());
}

void OvraPrinterToolWidget::InitLanguage()
{
    iLanguage = QLocale().language() == QLocale::Russian ? en_Language_Russian : en_Language_English;
}

void OvraPrinterToolWidget::InitDeviceTable()
{
    QTableWidget* pTable = ui->tableDeviceManage;
    pTable->setColumnCount(4);
    pTable->horizontalHeader()->setStretchLastSection(true);
    pTable->setMouseTracking(true);
    connect(pTable, &QTableWidget::entered, this, &OvraPrinterToolWidget::SlotShowToolTip);
    pTable->horizontalHeader()->setSectionsClickable(false);
    pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    pTable->setHorizontalHeaderLabels(
        QStringList() << QObject::tr("MainWindow.Table.Printer_Name") << QObject::tr("MainWindow.Table.Connection_Mode")
                      << QObject::tr("MainWindow.Table.Remaining_Toner") << QObject::tr("MainWindow.Table.Status"));
    pTable->resizeRowsToContents();
    const float s = DesktopScale();
    if (DesktopIsLarge())
        ScaleGeometry(pTable, s);
    for (int i = 0; i < 4; ++i)
        pTable->setColumnWidth(i, int(c_iColumnWidths[i] * s));
}

void OvraPrinterToolWidget::InitTrayIcon()
{
    pTrayIcon = new QSystemTrayIcon(QIcon(c_szIcon), this);
    pTrayIcon->setToolTip(QObject::tr("Ovra_Helper"));
    connect(pTrayIcon, &QSystemTrayIcon::activated, this, &OvraPrinterToolWidget::SlotActivatedTrayIcon);

    pActionShow = new QAction(QObject::tr("TrayIcon.Menu.Main_Display_Interface"), this);
    pActionUpdateFW = new QAction(QObject::tr("TrayIcon.Menu.Printer_Update_Helper"), this);
    pActionSetting = new QAction(QObject::tr("TrayIcon.Menu.Setting"), this);
    pActionExit = new QAction(QObject::tr("TrayIcon.Menu.Exit"), this);
    connect(pActionShow, &QAction::triggered, this, &OvraPrinterToolWidget::SlotTrayActionShow);
    connect(pActionUpdateFW, &QAction::triggered, this, &OvraPrinterToolWidget::SlotTrayActionUpdateFW);
    connect(pActionSetting, &QAction::triggered, this, &OvraPrinterToolWidget::SlotTrayActionSetting);
    connect(pActionExit, &QAction::triggered, this, &OvraPrinterToolWidget::SlotTrayActionExit);

    pTrayMenu = new QMenu(this);
    pTrayMenu->addAction(pActionShow);
    pTrayMenu->addAction(pActionUpdateFW);
    pTrayMenu->addAction(pActionSetting);
    pTrayMenu->addAction(pActionExit);
    pTrayIcon->setContextMenu(pTrayMenu);
    pTrayIcon->show();

    pNotifier = new DesktopNotifier(this);
    bTrayAvailable = QSystemTrayIcon::isSystemTrayAvailable();
    OVRA_LOG("tray area available = %d", int(bTrayAvailable));
    pTrayWatch = new QTimer(this);
    connect(pTrayWatch, &QTimer::timeout, this, &OvraPrinterToolWidget::SlotCheckTray);
    pTrayWatch->start(c_iTrayWatchMs);
}

void OvraPrinterToolWidget::ShowAtStart(bool bHide) { setVisible(!bHide || !bTrayAvailable); }

void OvraPrinterToolWidget::SlotCheckTray()
{
    const bool bAvailable = QSystemTrayIcon::isSystemTrayAvailable();
    if (bTrayAvailable && !bAvailable) {
        OVRA_LOG("the tray area has gone: the window shows");
        showNormal();
    }
    bTrayAvailable = bAvailable;
}

void OvraPrinterToolWidget::InitThread()
{
    pDeviceManage = new TrdDeviceManage;
    pDeviceManage->Init(&listPrinter); // before its thread starts, which then sees it
    pManageThread = new QThread;
    pDeviceManage->moveToThread(pManageThread);
    pManageThread->start(QThread::InheritPriority);
    connect(this, &OvraPrinterToolWidget::SgnManageThreadStart, pDeviceManage, &TrdDeviceManage::SlotTaskStart);
    // Direct: the worker's loop never returns to its event loop, the flag is atomic.
    connect(this, &OvraPrinterToolWidget::SgnThreadQuit, pDeviceManage, &TrdDeviceManage::SlotThreadQuit,
            Qt::DirectConnection);
    connect(pDeviceManage, &TrdDeviceManage::SgnUpdatePrinterList, this, &OvraPrinterToolWidget::SlotUpdatePrinterList);
    emit SgnManageThreadStart();
}

void OvraPrinterToolWidget::StartStatusWorker(int iIndex)
{
    TrdGetPrinterStatus* pWorker = new TrdGetPrinterStatus;
    pWorker->Init(iIndex, &listPrinter); // before its thread starts, which then sees it
    QThread* pThread = new QThread;
    pWorker->moveToThread(pThread);
    pThread->start(QThread::InheritPriority);
    connect(this, &OvraPrinterToolWidget::SgnStatusThreadStart, pWorker, &TrdGetPrinterStatus::SlotTaskStart);
    connect(this, &OvraPrinterToolWidget::SgnThreadQuit, pWorker, &TrdGetPrinterStatus::SlotThreadQuit,
            Qt::DirectConnection);
    connect(pWorker, &TrdGetPrinterStatus::SgnUpdatePrinterStatus, this,
            &OvraPrinterToolWidget::SlotUpdatePrinterStatus);
    emit SgnStatusThreadStart();
    listStatusWorker.append(pWorker);
    listStatusThread.append(pThread);
}

void OvraPrinterToolWidget::SlotUpdatePrinterList()
{
    const QList<stPrinterManager> list = listPrinter.Snapshot();
    QTableWidget* pTable = ui->tableDeviceManage;
    pTable->clearContents();
    pTable->setRowCount(list.size());
    for (int i = 0; i < list.size(); ++i) {
        const stPrinterInfo& info = list.at(i).stInfo;
        const QString strConnection = info.iConnectType == en_Connect_USB
                                          ? QString("USB")
                                          : QObject::tr("MainWindow.Table_Content.Network") + "(" + info.strPort + ")";
        pTable->setItem(i, en_Column_Name, new QTableWidgetItem(info.strName));
        pTable->setItem(i, en_Column_Connection, new QTableWidgetItem(strConnection));
        pTable->setItem(i, en_Column_Toner, new QTableWidgetItem("0.00%"));
        pTable->setItem(i, en_Column_Status, new QTableWidgetItem(StatusText(en_Status_Offline, iLanguage)));
    }
    for (int i = iStatusThreadCount; i < list.size(); ++i)
        StartStatusWorker(i);
    iStatusThreadCount = qMax(iStatusThreadCount, list.size());
    DebugOutputPrinterInfo();
}

OvraPrinterToolWidget::stBalloon OvraPrinterToolWidget::BalloonFor(const stPrinterManager& entry, int iLanguage)
{
    const stPrinterState& state = entry.stState;
    stBalloon balloon;
    balloon.strTitle = entry.stInfo.strName;
    if (!state.listErrorStatus.isEmpty()) {
        balloon.bShow = true;
        balloon.enIcon = QSystemTrayIcon::Critical;
        balloon.strMessage = ErrorText(state.listErrorStatus.first(), iLanguage);
    } else if (!state.listWarningStatus.isEmpty()) {
        balloon.bShow = true;
        balloon.enIcon = QSystemTrayIcon::Warning;
        balloon.strMessage = ErrorText(state.listWarningStatus.first(), iLanguage);
    }
    return balloon;
}

void OvraPrinterToolWidget::SlotUpdatePrinterStatus(int iIndex)
{
    stPrinterManager entry;
    QTableWidget* pTable = ui->tableDeviceManage;
    // An update that arrives after the list shrank names a row that is gone.
    if (!listPrinter.CopyEntry(iIndex, entry) || iIndex >= pTable->rowCount())
        return;
    QTableWidgetItem* pToner = pTable->item(iIndex, en_Column_Toner);
    QTableWidgetItem* pStatus = pTable->item(iIndex, en_Column_Status);
    if (!pToner || !pStatus)
        return;
    pToner->setData(Qt::DisplayRole, RemainingTonerText(entry.stState.dwRemainingToner));
    pStatus->setData(Qt::DisplayRole, StatusCellText(entry.stState, iLanguage));
    const stBalloon balloon = BalloonFor(entry, iLanguage);
    if (balloon.bShow) {
        if (bTrayAvailable)
            pTrayIcon->showMessage(balloon.strTitle, balloon.strMessage, balloon.enIcon, c_iBalloonMs);
        else
            pNotifier->Notify(entry.stInfo.strName, balloon.strTitle, balloon.strMessage,
                              balloon.enIcon == QSystemTrayIcon::Critical, c_iBalloonMs);
        emit SgnBalloonShown(balloon.strTitle, balloon.strMessage, int(balloon.enIcon));
    }
    DebugOutputPrinterStatus(iIndex);
}

void OvraPrinterToolWidget::SlotActivatedTrayIcon(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::Trigger)
        SlotTrayActionShow();
}

void OvraPrinterToolWidget::SlotTrayActionShow()
{
    if (!isActiveWindow())
        showNormal();
}

void OvraPrinterToolWidget::SlotTrayActionUpdateFW()
{
    QProcess::startDetached(OvraPaths::InstallRoot() + c_szFirmwareHelper, QStringList());
}

void OvraPrinterToolWidget::SlotTrayActionSetting() { pSetting->show(); }

void OvraPrinterToolWidget::SlotTrayActionExit()
{
    pSetting->close();
    hide();
    pTrayIcon->hide();
    emit SgnThreadQuit();
    QCoreApplication::quit();
}

// With a tray area the window hides to it. Without one nothing would bring the
// window back and the tray menu's Exit is out of reach: closing ends the program.
void OvraPrinterToolWidget::closeEvent(QCloseEvent* event)
{
    event->ignore();
    if (bTrayAvailable)
        hide();
    else
        SlotTrayActionExit();
}

void OvraPrinterToolWidget::SlotShowToolTip(const QModelIndex& index)
{
    QToolTip::showText(QCursor::pos(), index.model() ? index.data(Qt::DisplayRole).toString() : QString());
}

void OvraPrinterToolWidget::DebugOutputPrinterInfo()
{
    if (!IsLogEnabled())
        return;
    const QList<stPrinterManager> list = listPrinter.Snapshot();
    OVRA_LOG("printer number=%d", list.size());
    for (int i = 0; i < list.size(); ++i) {
        const stPrinterInfo& info = list.at(i).stInfo;
        OVRA_LOG("printer[%d] %s=%s", i, qPrintable(info.strName), qPrintable(info.strPort));
        OVRA_LOG("%s: enType=%s", qPrintable(info.strName), qPrintable(info.enType));
        OVRA_LOG("%s: iConnectType=%d", qPrintable(info.strName), info.iConnectType);
    }
}

void OvraPrinterToolWidget::DebugOutputPrinterStatus(int iIndex)
{
    stPrinterManager entry;
    if (!IsLogEnabled() || !listPrinter.CopyEntry(iIndex, entry))
        return;
    const QByteArray name = entry.stInfo.strName.toLocal8Bit();
    const stPrinterState& s = entry.stState;
    auto codes = [](const QList<int>& values) {
        QString text;
        for (int value : values)
            text += QString::number(value) + ",";
        return text.toLocal8Bit();
    };
    OVRA_LOG("printer[%d]=%s", iIndex, name.constData());
    OVRA_LOG("%s: strPrinterSerialNumber=%s", name.constData(), qPrintable(s.strPrinterSerialNumber));
    OVRA_LOG("%s: enCurrentStatus=%d", name.constData(), s.enCurrentStatus);
    OVRA_LOG("%s: strFWVersion=%s", name.constData(), qPrintable(s.strFWVersion));
    OVRA_LOG("%s: strVenderName=%s", name.constData(), qPrintable(s.strVenderName));
    OVRA_LOG("%s: strProductName=%s", name.constData(), qPrintable(s.strProductName));
    OVRA_LOG("%s: iNumberOfError=%d", name.constData(), s.listErrorStatus.size());
    OVRA_LOG("%s: iNumberOfWarning=%d", name.constData(), s.listWarningStatus.size());
    OVRA_LOG("%s: error code=%s", name.constData(), codes(s.listErrorStatus).constData());
    OVRA_LOG("%s: warning code=%s", name.constData(), codes(s.listWarningStatus).constData());
    OVRA_LOG("%s: strSupplySerialNumber=%s", name.constData(), qPrintable(s.strSupplySerialNumber));
    OVRA_LOG("%s: enSpplyType=%d", name.constData(), s.enSpplyType);
    for (quint64 counter : {s.dwRemainingToner, s.dwWasteToner, s.dwOPCRotation, s.dwNumberOfPages, s.dwNumberOfPrint,
                            s.dwPrintDotsCount, s.dwPrinterNumOfPages, s.dwPrinterNumOfPrint})
        OVRA_LOG("%s: %lu", name.constData(), static_cast<unsigned long>(counter));
}
