// The network page when its USB printer is unplugged in the middle of a Read
// (umockdev's usbfs, real libusb): the probe is answered, then the printer goes
// quiet on the read request and leaves the bus while the tool waits for the
// reply. The exchange ends at once with the channel's read failure (-7), the
// page says so and keeps what it showed, a Set finds no printer (-2), and the
// printer plugged in again is read as before.
#include "netform.h"
#include "pageindex.h"
#include "printerfiles.h"
#include "settingfixture.h"
#include "settingsresponder.h"
#include "translation.h"
#include "ui_baseform.h"
#include "ui_netform.h"
#include "widget.h"

#include "ovraemu/usbprinterbed.h"
#include "usbprinters.h"

#include <QLineEdit>
#include <QtTest>

#include <chrono>
#include <thread>

using ovraemu::SettingsRequestKind;
using ovraemu::SettingsResponder;

namespace {

const char* const c_szSerial = "K246UP0001";

ovraemu::UsbPrinterConfig Printer() { return UsbPrinterOfModel("Ovra P2200DN", c_szSerial); }

int PlugAnswering(ovraemu::UsbPrinterBed& bed, SettingsResponder& responder)
{
    const int id = bed.AddPrinter(Printer());
    bed.SetBulkHandler(id, [&responder](const std::vector<uint8_t>& request) { return responder.Answer(request); });
    return id;
}

// What every octet field of the page shows.
QStringList FieldTexts(const NetForm& net)
{
    QStringList texts;
    for (const QLineEdit* pField : net.findChildren<QLineEdit*>())
        texts << pField->text();
    return texts;
}

} // namespace

class TestFaultsSettingUnplug : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { InitSettingResources(); }

    void unplugWhileTheReadReplyIsAwaited()
    {
        PrinterFiles files;
        files.WriteList({PrinterFiles::Usb("desk", c_szSerial)});
        ovraemu::UsbPrinterBed bed;
        SettingsResponder quiet;
        quiet.SetAnswer(SettingsRequestKind::Read, std::nullopt); // answers the probe only
        const int id = PlugAnswering(bed, quiet);

        MessageBoxAnswerer answerer;
        Widget window;
        window.SlotChangeForm(en_Page_Net);
        NetForm& net = *window.pNetForm;
        const QStringList shown = FieldTexts(net);
        std::chrono::steady_clock::time_point unpluggedAt;
        std::thread unplugger([&] {
            for (int i = 0; i < 400 && quiet.Count(SettingsRequestKind::Read) == 0; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(25));
            unpluggedAt = std::chrono::steady_clock::now();
            bed.Unplug(id);
        });
        QTest::mouseClick(net.ui->pushButtonRead, Qt::LeftButton);
        const auto endedAt = std::chrono::steady_clock::now();
        unplugger.join();
        QCOMPARE(quiet.Count(SettingsRequestKind::Probe), 1);
        QCOMPARE(quiet.Count(SettingsRequestKind::Read), 1);
        QCOMPARE(answerer.TakeTexts(), QStringList({"NetForm.Message.Failed_Printer_Ping"}));
        // Ended by the unplug, well before the read's 3000 ms time-out.
        const auto afterUnplug = std::chrono::duration_cast<std::chrono::milliseconds>(endedAt - unpluggedAt);
        QVERIFY2(afterUnplug.count() < 2500, qPrintable(QString::number(afterUnplug.count())));
        QCOMPARE(FieldTexts(net), shown);
        QCOMPARE(net.ui->comboBoxSource->currentIndex(), 0);

        QTest::mouseClick(net.ui->pushButtonSet, Qt::LeftButton);
        QCOMPARE(answerer.TakeTexts(), QStringList({"NetForm.Message.Failed_Printer_Connection"}));

        SettingsResponder answering;
        answering.SetModeText(std::string("Static"));
        for (int k = 1; k <= 7; ++k)
            answering.SetAddress(k, "192.168.20." + std::to_string(30 + k));
        PlugAnswering(bed, answering);
        QTest::mouseClick(net.ui->pushButtonRead, Qt::LeftButton);
        QCOMPARE(answerer.TakeTexts(), QStringList());
        QCOMPARE(net.ui->comboBoxSource->currentIndex(), 1);
        QCOMPARE(net.Field(1, 3)->text(), QString("31"));
        QCOMPARE(net.Field(7, 3)->text(), QString("37"));
    }
};

QTEST_MAIN(TestFaultsSettingUnplug)
#include "tst_faults_netformunplug.moc"
