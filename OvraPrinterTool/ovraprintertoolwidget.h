// The tray monitor's window: one table row per printer (name, connection, toner,
// status), the tray icon with its menu, and the worker threads that feed them.
#pragma once

#include "sharedprinterlist.h"

#include <QList>
#include <QModelIndex>
#include <QSystemTrayIcon>
#include <QWidget>

namespace Ui {
class OvraPrinterToolWidget;
}

class AppSetting;
class DesktopNotifier;
class QAction;
class QTimer;
class QMenu;
class QThread;
class TrdDeviceManage;
class TrdGetPrinterStatus;

class OvraPrinterToolWidget : public QWidget
{
    Q_OBJECT
public:
    static const char c_szFirmwareHelper[]; // under the install root

    explicit OvraPrinterToolWidget(QWidget* parent = nullptr);
    ~OvraPrinterToolWidget() override;

    Ui::OvraPrinterToolWidget* ui;
    QSystemTrayIcon* pTrayIcon = nullptr;
    QMenu* pTrayMenu = nullptr;
    QAction* pActionShow = nullptr;
    QAction* pActionUpdateFW = nullptr;
    QAction* pActionSetting = nullptr;
    QAction* pActionExit = nullptr;
    QList<TrdGetPrinterStatus*> listStatusWorker;
    QList<QThread*> listStatusThread;
    TrdDeviceManage* pDeviceManage = nullptr;
    QThread* pManageThread = nullptr;
    AppSetting* pSetting = nullptr;
    SharedPrinterList listPrinter;
    int iStatusThreadCount = 0;
    int iLanguage = 0;
    // Whether a tray area shows the icon (XEmbed, or a StatusNotifierItem host).
    // Without one the window stays shown and balloons become desktop notifications.
    bool bTrayAvailable = false;
    DesktopNotifier* pNotifier = nullptr;
    QTimer* pTrayWatch = nullptr;

    // Shows the window at start unless bHide asks for the icon only and a tray area
    // shows the icon.
    void ShowAtStart(bool bHide);

    // What the status cell shows and which balloon goes with it (exposed for tests).
    struct stBalloon {
        bool bShow = false;
        QSystemTrayIcon::MessageIcon enIcon = QSystemTrayIcon::NoIcon;
        QString strTitle;
        QString strMessage;
    };
    static stBalloon BalloonFor(const stPrinterManager& entry, int iLanguage);

signals:
    void SgnManageThreadStart();
    void SgnStatusThreadStart();
    void SgnThreadQuit();
    void SgnBalloonShown(const QString& strTitle, const QString& strMessage, int iIcon); // for tests and screenshots

public slots:
    void SlotActivatedTrayIcon(QSystemTrayIcon::ActivationReason reason);
    void SlotTrayActionShow();
    void SlotTrayActionUpdateFW();
    void SlotTrayActionSetting();
    void SlotTrayActionExit();
    void SlotUpdatePrinterStatus(int iIndex);
    void SlotUpdatePrinterList();
    void SlotShowToolTip(const QModelIndex& index);
    // Looks whether the tray area is still there; the window shows when it has gone.
    void SlotCheckTray();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void InitLog();
    void InitLanguage();
    void InitDeviceTable();
    void InitTrayIcon();
    void InitThread();
    void StartStatusWorker(int iIndex);
    void DebugOutputPrinterInfo();
    void DebugOutputPrinterStatus(int iIndex);
    static void StopThread(QThread* pThread, QObject* pWorker);
};
