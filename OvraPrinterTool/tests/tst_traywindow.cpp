// The tray window fed by the files the print service writes (offscreen platform).
#include "ovralog.h"
#include "ovraprintertoolwidget.h"
#include "ovraprogram.h"
#include "printerfiles.h"
#include "trdgetprinterstatus.h"
#include "translation.h"
#include "ui_ovraprintertoolwidget.h"

#include <QMenu>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest>

namespace {

QString Cell(OvraPrinterToolWidget& window, int row, int column)
{
    QTableWidgetItem* pItem = window.ui->tableDeviceManage->item(row, column);
    return pItem ? pItem->text() : QString("<no item>");
}

int Rows(OvraPrinterToolWidget& window) { return window.ui->tableDeviceManage->rowCount(); }

} // namespace

class TestTrayWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        InitTrayResources();
        SetOvraProgram(en_Program_PrinterTool);
    }

    void tableFollowsTheListFile()
    {
        PrinterFiles files;
        OvraPrinterToolWidget window;
        QCOMPARE(window.ui->tableDeviceManage->columnCount(), 4);
        QCOMPARE(window.ui->tableDeviceManage->horizontalHeaderItem(3)->text(), QString("MainWindow.Table.Status"));
        QTest::qWait(300);
        QCOMPARE(Rows(window), 0); // no list file: no rows, no worker
        QCOMPARE(window.listStatusWorker.size(), 0);

        files.WriteList({PrinterFiles::Usb("desk", "A1"), PrinterFiles::Network("office", "192.168.1.20")});
        QTRY_COMPARE_WITH_TIMEOUT(Rows(window), 2, 5000);
        QCOMPARE(Cell(window, 0, 0), QString("desk"));
        QCOMPARE(Cell(window, 0, 1), QString("USB"));
        QCOMPARE(Cell(window, 1, 1), QString("MainWindow.Table_Content.Network(192.168.1.20)"));
        QCOMPARE(Cell(window, 0, 2), QString("0.00%"));
        QCOMPARE(Cell(window, 1, 3), QString("Offline"));
        QCOMPARE(window.listStatusWorker.size(), 2);

        // A status file brings the row to life and raises the balloon of its warning.
        QSignalSpy balloons(&window, &OvraPrinterToolWidget::SgnBalloonShown);
        files.WriteStatus("desk", PrinterState(0x10, 8550, {}, {0x110D, 0x1121}));
        QTRY_COMPARE_WITH_TIMEOUT(Cell(window, 0, 3), QString("Printing(Toner level low)"), 5000);
        QCOMPARE(Cell(window, 0, 2), QString("85.50%"));
        QTRY_VERIFY(!balloons.isEmpty());
        QCOMPARE(balloons.first().at(0).toString(), QString("desk"));
        QCOMPARE(balloons.first().at(1).toString(), QString("Toner level low"));
        QCOMPARE(balloons.first().at(2).toInt(), int(QSystemTrayIcon::Warning));

        // A paper jam: the error wins, a critical balloon.
        balloons.clear();
        files.WriteStatus("desk", PrinterState(0x00, 8550, {0x11B0}, {0x110D}));
        QTRY_COMPARE_WITH_TIMEOUT(Cell(window, 0, 3), QString("Paper jam in device"), 5000);
        QTRY_VERIFY(!balloons.isEmpty());
        QCOMPARE(balloons.last().at(2).toInt(), int(QSystemTrayIcon::Critical));
        QCOMPARE(balloons.last().at(1).toString(), QString("Paper jam in device"));

        // A rename resets every row to "Offline" and redraws the table.
        files.WriteList({PrinterFiles::Usb("desk-2", "A1"), PrinterFiles::Network("office", "192.168.1.20")});
        QTRY_COMPARE_WITH_TIMEOUT(Cell(window, 0, 0), QString("desk-2"), 5000);
        QCOMPARE(Cell(window, 0, 3), QString("Offline"));
        emit window.SgnThreadQuit();
    }

    void workersOnlyGrowAndLateUpdatesAreIgnored()
    {
        PrinterFiles files;
        files.WriteList({PrinterFiles::Usb("a", "1"), PrinterFiles::Usb("b", "2"), PrinterFiles::Usb("c", "3")});
        OvraPrinterToolWidget window;
        QTRY_COMPARE_WITH_TIMEOUT(Rows(window), 3, 5000);
        QCOMPARE(window.listStatusWorker.size(), 3);
        files.WriteList({PrinterFiles::Usb("a", "1"), PrinterFiles::Usb("b", "2")});
        QTRY_COMPARE_WITH_TIMEOUT(Rows(window), 2, 5000);
        window.SlotUpdatePrinterStatus(2); // an update for the row that went away
        window.SlotUpdatePrinterStatus(-1);
        QCOMPARE(Rows(window), 2);
        QCOMPARE(window.listStatusWorker.size(), 3);
        files.WriteList({PrinterFiles::Usb("a", "1"), PrinterFiles::Usb("b", "2"), PrinterFiles::Usb("d", "4")});
        QTRY_COMPARE_WITH_TIMEOUT(Rows(window), 3, 5000);
        QCOMPARE(window.listStatusWorker.size(), 3);
        QCOMPARE(window.iStatusThreadCount, 3);
        // The worker of index 2 now serves "d".
        files.WriteStatus("d", PrinterState(0x11, 100));
        QTRY_COMPARE_WITH_TIMEOUT(Cell(window, 2, 3), QString("Scanning"), 5000);
    }

    void debugDumpsWhenLoggingIsOn()
    {
        PrinterFiles files;
        files.WriteList({PrinterFiles::Network("office", "10.1.2.3")});
        OvraPrinterToolWidget window; // turns logging off
        QTRY_COMPARE_WITH_TIMEOUT(Rows(window), 1, 5000);
        files.WriteStatus("office", PrinterState(0x10, 4200, {0x1106}, {0x110D, 0x1121}));
        QTRY_COMPARE_WITH_TIMEOUT(Cell(window, 0, 3), QString("Front cover opened"), 5000);
        SetLogEnable(true);
        window.SlotUpdatePrinterList();
        window.SlotUpdatePrinterStatus(0);
        QFile log(CurrentLogFileName());
        SetLogEnable(false);
        QVERIFY(log.fileName().contains("/tool/log_tool_"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString text = QString::fromLocal8Bit(log.readAll());
        for (const char* line :
             {") printer number=1\n", ") printer[0] office=10.1.2.3\n", ") office: iConnectType=2\n",
              ") printer[0]=office\n", ") office: enCurrentStatus=8\n", ") office: iNumberOfError=1\n",
              ") office: error code=6,\n", ") office: warning code=11,18,\n", ") office: 4200\n"})
            QVERIFY2(text.contains(line), line);
        emit window.SgnThreadQuit();
    }

    void firmwareHelperStartsDetached()
    {
        PrinterFiles files;
        QDir().mkpath(files.Root() + "/bin");
        QFile helper(files.Root() + "/bin/ovraK246FW");
        QVERIFY(helper.open(QIODevice::WriteOnly));
        helper.write("#!/bin/sh\necho \"args:$#\" > \"$(dirname \"$0\")/started\"\n");
        helper.close();
        helper.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        OvraPrinterToolWidget window;
        window.pActionUpdateFW->trigger();
        QTRY_VERIFY(QFile::exists(files.Root() + "/bin/started"));
        QFile started(files.Root() + "/bin/started");
        QVERIFY(started.open(QIODevice::ReadOnly));
        QCOMPARE(started.readAll(), QByteArray("args:0\n"));
        QVERIFY(helper.remove());
        window.pActionUpdateFW->trigger(); // missing: nothing happens, the tray goes on
        QVERIFY(window.pTrayIcon->isVisible());
    }

    void balloonChoice()
    {
        stPrinterManager entry;
        entry.stInfo.strName = "q";
        entry.stState.enCurrentStatus = en_Status_Ready;
        QVERIFY(!OvraPrinterToolWidget::BalloonFor(entry, 0).bShow);
        entry.stState.listWarningStatus = {en_Error_WasteTonerWillBeFull, en_Error_TonerLow};
        OvraPrinterToolWidget::stBalloon balloon = OvraPrinterToolWidget::BalloonFor(entry, 0);
        QVERIFY(balloon.bShow);
        QCOMPARE(balloon.enIcon, QSystemTrayIcon::Warning);
        QCOMPARE(balloon.strMessage, QString("Waste toner container will be full"));
        QCOMPARE(balloon.strTitle, QString("q"));
        entry.stState.listErrorStatus = {en_Error_CartridgeInvalid};
        balloon = OvraPrinterToolWidget::BalloonFor(entry, 2); // Russian: an empty text, still raised
        QVERIFY(balloon.bShow);
        QCOMPARE(balloon.enIcon, QSystemTrayIcon::Critical);
        QCOMPARE(balloon.strMessage, QString());
    }

    // With a tray area "-hide" starts with the icon only and closing hides the window
    // to the tray; without one the window shows at start and closing ends the program.
    void startAndCloseFollowTheTrayArea_data()
    {
        QTest::addColumn<bool>("tray");
        QTest::newRow("tray area") << true;
        QTest::newRow("no tray area") << false;
    }
    void startAndCloseFollowTheTrayArea()
    {
        QFETCH(bool, tray);
        PrinterFiles files;
        OvraPrinterToolWidget window;
        window.bTrayAvailable = tray;
        window.ShowAtStart(true);
        QCOMPARE(window.isVisible(), !tray);
        window.show();
        window.close();
        QVERIFY(!window.isVisible());
        QCOMPARE(window.pTrayIcon->isVisible(), tray);
        if (!tray)
            return;
        window.SlotActivatedTrayIcon(QSystemTrayIcon::Context);
        QVERIFY(!window.isVisible());
        window.SlotActivatedTrayIcon(QSystemTrayIcon::Trigger);
        QVERIFY(window.isVisible());
        QCOMPARE(window.size(), QSize(1070, 400)); // an 800-pixel offscreen screen: no scaling
        QCOMPARE(window.ui->tableDeviceManage->columnWidth(1), 180);
        const QList<QAction*> actions = window.pTrayMenu->actions();
        QCOMPARE(actions.size(), 4);
        QCOMPARE(actions.at(0)->text(), QString("TrayIcon.Menu.Main_Display_Interface"));
        QCOMPARE(actions.at(3)->text(), QString("TrayIcon.Menu.Exit"));
    }
};

QTEST_MAIN(TestTrayWindow)
#include "tst_traywindow.moc"
