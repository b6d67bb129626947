// End to end: an emulated USB printer runs out of paper, the print service (a separate
// process under umockdev's preload, with a private cupsd) writes its status file, and
// the tray shows it in the printer's row with a critical balloon.
#include "ovraprintertoolwidget.h"
#include "printerstatebuilder.h"
#include "servicefixture.h"
#include "translation.h"
#include "ui_ovraprintertoolwidget.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

std::vector<uint8_t> Body(std::vector<uint16_t> errors)
{
    ovraemu::EmuPrinterState state;
    state.product = "Ovra P2200DN";
    state.serial = "TRAYE2E1";
    state.errors = std::move(errors);
    state.SetCounter(0x1000, 7350);
    return ovraemu::BuildStatusBody(state);
}

QString Cell(OvraPrinterToolWidget& window, int column)
{
    QTableWidgetItem* pItem = window.ui->tableDeviceManage->item(0, column);
    return pItem ? pItem->text() : QString();
}

} // namespace

class TestTrayE2E : public QObject
{
    Q_OBJECT
private slots:
    void paperOutReachesTheTray()
    {
        InitTrayResources();
        ServiceFixture fixture;
        QString error;
        QVERIFY2(fixture.StartCups(&error), qPrintable(error));
        QVERIFY(fixture.AddQueue("desk", "usb://Ovra/P2200DN?serial=TRAYE2E1", "ovra-p2200dn"));
        UsbEmulator usb(fixture.Root());
        QVERIFY(usb.Start("3a53:0122:TRAYE2E1"));
        QCOMPARE(usb.Command("status 2 " + HexBytes(Body({}))), QString("ok"));
        QVERIFY(fixture.StartService(usb.PreloadEnvironment()));

        OvraPrinterToolWidget window;
        QSignalSpy balloons(&window, &OvraPrinterToolWidget::SgnBalloonShown);
        QTRY_COMPARE_WITH_TIMEOUT(window.ui->tableDeviceManage->rowCount(), 1, 15000);
        QCOMPARE(Cell(window, 0), QString("desk"));
        QTRY_COMPARE_WITH_TIMEOUT(Cell(window, 3), QString("Ready"), 15000);
        QCOMPARE(Cell(window, 2), QString("73.50%"));
        QVERIFY(balloons.isEmpty());

        QCOMPARE(usb.Command("status 2 " + HexBytes(Body({0x11A0}))), QString("ok"));
        QTRY_COMPARE_WITH_TIMEOUT(Cell(window, 3), QString("No paper in paper tray"), 10000);
        QTRY_VERIFY(!balloons.isEmpty());
        QCOMPARE(balloons.last().at(0).toString(), QString("desk"));
        QCOMPARE(balloons.last().at(1).toString(), QString("No paper in paper tray"));
        QCOMPARE(balloons.last().at(2).toInt(), int(QSystemTrayIcon::Critical));
    }
};

QTEST_MAIN(TestTrayE2E)
#include "tst_tray_e2e.moc"
