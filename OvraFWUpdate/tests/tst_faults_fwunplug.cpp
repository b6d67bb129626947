// A USB printer unplugged in the middle of a firmware transfer (umockdev's usbfs,
// real libusb): the printer stops taking data after 300000 bytes of a 1 MiB image,
// so the transfer, which has no time limit, is still under way when the printer
// leaves the bus. The transfer ends there (-7), the two further attempts find no
// printer (-2), the firmware helper says so by the last result and stays usable: the
// printer plugged in again takes the whole image. While the printer holds the
// transfer the window keeps answering: its controls wait, the busy bar runs, and
// closing it asks first.
#include "fwfixture.h"
#include "fwupdatetask.h"
#include "modelinfo.h"
#include "ovraprogram.h"
#include "printerfiles.h"
#include "settingfixture.h"
#include "translation.h"
#include "ui_widget.h"
#include "widget.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>
#include <unistd.h>

using ovraemu::UsbPrinterBed;

namespace {

const size_t c_takenBytes = 300000;

// Unplugs the printer once it has taken what it takes of the transfer under way,
// and has held it for heldMs more.
std::thread UnplugWhenHeld(UsbPrinterBed& bed, int id, int heldMs = 0)
{
    return std::thread([&bed, id, heldMs] {
        for (int i = 0; i < 600 && bed.BulkOutData(id).size() < c_takenBytes; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        std::this_thread::sleep_for(std::chrono::milliseconds(heldMs));
        bed.Unplug(id);
    });
}

QStringList Update(Widget& window, MessageBoxAnswerer& answerer, const QString& path)
{
    window.ui->tablePrinterList->selectRow(0);
    window.ui->lineFilePath->setText(path);
    QTest::mouseClick(window.ui->buttonOK, Qt::LeftButton);
    WaitForUpdateEnd(window);
    return answerer.TakeTexts();
}

// What the code run writes to standard error (the journal under systemd).
QByteArray StandardErrorOf(const std::function<void()>& run)
{
    std::fflush(stderr);
    FILE* capture = std::tmpfile();
    const int saved = dup(STDERR_FILENO);
    dup2(fileno(capture), STDERR_FILENO);
    run();
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    QByteArray text(int(std::ftell(capture)), '\0');
    std::rewind(capture);
    text.truncate(int(std::fread(text.data(), 1, size_t(text.size()), capture)));
    std::fclose(capture);
    return text;
}

} // namespace

class TestFaultsFWUnplug : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        SetOvraProgram(en_Program_FWUpdate);
        InitFWUpdateResources();
    }

    // The transfer itself: it ends with the unplug, as a failed transfer.
    void transferEndsWithTheUnplug()
    {
        UsbPrinterBed bed;
        const int id = bed.AddPrinter(UsbPrinterOfModel("Ovra K246", "K246FW0002"));
        bed.HoldBulkOut(id, c_takenBytes);
        std::vector<uint8_t> image = FirmwareImage(1024 * 1024);
        const stModelInfo* pModel = FindModelByDisplayName("Ovra K246");
        std::thread unplugger = UnplugWhenHeld(bed, id);
        QCOMPARE(FWUpdateTask(pModel->iVendorId, pModel->iProductId, "Ovra/K246?serial=K246FW0002",
                              reinterpret_cast<char*>(image.data()), int(image.size())),
                 int(en_FW_TransferFailed));
        unplugger.join();
        QCOMPARE(bed.BulkOutData(id).size(), c_takenBytes);
    }

    // Through the window: three attempts, the message of the last one.
    void unplugMidTransfer()
    {
        PrinterFiles files;
        files.WriteList({PrinterFiles::Usb("Office", "K246FW0001", "K246")});
        QTemporaryDir images;
        const std::vector<uint8_t> image = FirmwareImage(1024 * 1024);
        const QString path = images.filePath("k246.fls");
        QVERIFY(WriteFile(path, image));
        UsbPrinterBed bed;
        const int id = bed.AddPrinter(UsbPrinterOfModel("Ovra K246", "K246FW0001"));
        bed.HoldBulkOut(id, c_takenBytes);

        MessageBoxAnswerer answerer;
        Widget window;
        window.show();
        // While the transfer is held: events are handled, the controls wait, and a
        // close is asked about (and refused here).
        answerer.QueueAnswer(QMessageBox::Ok);     // the update
        answerer.QueueAnswer(QMessageBox::Cancel); // the close
        int iTicks = 0;
        bool bHeldStateSeen = false;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            ++iTicks;
            if (!bHeldStateSeen && window.IsUpdating() && bed.BulkOutData(id).size() >= c_takenBytes) {
                bHeldStateSeen = !window.ui->buttonOK->isEnabled() && !window.ui->tablePrinterList->isEnabled()
                                 && window.ui->progressUpdate->isVisible();
                window.close();
            }
        });
        ticker.start(50);
        std::thread unplugger = UnplugWhenHeld(bed, id, 2000);
        QStringList texts;
        const QByteArray journal = StandardErrorOf([&] { texts = Update(window, answerer, path); });
        unplugger.join();
        QVERIFY2(journal.contains("ovraK246FW: firmware update failed: MainWindow.Message.Failed_Printer_Connection"),
                 journal.constData());
        ticker.stop();
        QVERIFY(bHeldStateSeen);
        QVERIFY2(iTicks >= 10, qPrintable(QString::number(iTicks)));
        QVERIFY(window.isVisible());
        QVERIFY(window.ui->buttonOK->isEnabled() && !window.ui->progressUpdate->isVisible());
        QCOMPARE(texts, QStringList({"MainWindow.Message.Whether_Update_Printer Office ?",
                                     "MainWindow.Message.Close_While_Updating",
                                     "MainWindow.Message.Failed_Printer_Connection"}));
        const std::vector<std::vector<uint8_t>> transfers = bed.BulkOutTransfers(id);
        QCOMPARE(transfers.size(), size_t(1));
        QVERIFY(transfers[0] == std::vector<uint8_t>(image.begin(), image.begin() + c_takenBytes));

        const int again = bed.AddPrinter(UsbPrinterOfModel("Ovra K246", "K246FW0001"));
        QCOMPARE(Update(window, answerer, path),
                 QStringList({"MainWindow.Message.Whether_Update_Printer Office ?", "MainWindow.Message.Success"}));
        QCOMPARE(bed.BulkOutTransfers(again), std::vector<std::vector<uint8_t>>{image});
    }
};

QTEST_MAIN(TestFaultsFWUnplug)
#include "tst_faults_fwunplug.moc"
