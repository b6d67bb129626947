// The helper's window against emulated USB printers (umockdev's usbfs, real libusb):
// the form, the printer table, the file chooser and the one-click update with its
// checks, confirmation, attempts and messages. Message boxes and the file dialog are
// answered as they come up; screenshots in English and Russian.
#include "fwfixture.h"
#include "ovrapaths.h"
#include "ovraprogram.h"
#include "printerfiles.h"
#include "settingfixture.h"
#include "translation.h"
#include "ui_widget.h"
#include "widget.h"

#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QToolTip>
#include <QTranslator>
#include <QtTest>

#include <memory>

using ovraemu::UsbPrinterBed;

namespace {

const char* const c_szSuccess = "Operation is successful. Please wait untill completion of the printer update, and "
                                "don't disconnect the power supply while updating.";
const char* const c_szPing =
    "Failure to communicate with the printer, please check the printer status and try update again!";
const char* const c_szConnection = "Failure to connect the printer. Please check the connection status!";
const char* const c_szSelect = "Please select a printer!";
const char* const c_szCheckPath = "Please check the file path!";

QString Confirmation(const QString& name) { return "Whether to update the printer " + name + " ?"; }

void Shot(QWidget& window, const QString& strName)
{
    const QString strDir = qEnvironmentVariable("OVRA_SCREENSHOT_DIR", QDir::tempPath() + "/ovra-fwupdate-shots");
    QDir().mkpath(strDir);
    const QPixmap shot = window.grab();
    QCOMPARE(shot.size(), QSize(700, 400));
    QVERIFY(shot.save(strDir + "/" + strName + ".png"));
}

} // namespace

class TestFWWidget : public QObject
{
    Q_OBJECT
    QTranslator m_english;
    QTemporaryDir m_images;
    std::unique_ptr<PrinterFiles> m_files;
    std::unique_ptr<UsbPrinterBed> m_bed;
    std::unique_ptr<MessageBoxAnswerer> m_answerer;
    std::unique_ptr<FileDialogDriver> m_dialogs;
    int m_office = 0; // "Office", Ovra K246, with a status file
    int m_lab = 0;    // "Lab", Ovra P2200DN, without one

    std::unique_ptr<Widget> Open()
    {
        std::unique_ptr<Widget> window(new Widget);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qWarning("window not exposed");
        return window;
    }

    // Clicks a row as a user does.
    void ClickRow(Widget& window, int row)
    {
        QTableWidget* pTable = window.ui->tablePrinterList;
        const QRect cell = pTable->visualRect(pTable->model()->index(row, 1));
        QTest::mouseClick(pTable->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    }

    QString Image(const QString& name, const std::vector<uint8_t>& bytes)
    {
        const QString strPath = m_images.filePath(name);
        if (!WriteFile(strPath, bytes))
            qWarning("cannot write %s", qPrintable(strPath));
        return strPath;
    }

    // Picks the printer and the file, presses "One-click update"; the texts of the
    // message boxes shown.
    QStringList Update(Widget& window, int row, const QString& path)
    {
        if (row >= 0)
            ClickRow(window, row);
        window.ui->lineFilePath->setText(path);
        QTest::mouseClick(window.ui->buttonOK, Qt::LeftButton);
        WaitForUpdateEnd(window);
        return m_answerer->TakeTexts();
    }

    unsigned long UsbRequests() { return m_bed->UsbfsRequestCount(m_office) + m_bed->UsbfsRequestCount(m_lab); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_images.isValid());
        SetOvraProgram(en_Program_FWUpdate);
        InitFWUpdateResources();
        QVERIFY(m_english.load(":/Language/en_us.qm"));
        QCoreApplication::installTranslator(&m_english);
    }

    void init()
    {
        m_files.reset(new PrinterFiles);
        m_bed.reset(); // one bed at a time
        m_bed.reset(new UsbPrinterBed);
        m_office = m_bed->AddPrinter(UsbPrinterOfModel("Ovra K246", "K246OF0001"));
        m_lab = m_bed->AddPrinter(UsbPrinterOfModel("Ovra P2200DN", "P22LAB0001"));
        m_files->WriteList({PrinterFiles::Usb("Office", "K246OF0001", "K246"),
                            PrinterFiles::Network("Lobby", "127.0.0.5"),
                            PrinterFiles::Usb("Lab", "P22LAB0001", "P2200DN")});
        m_files->WriteRawStatus("Office", QByteArray(12, '\0')); // printers the service reaches
        m_files->WriteRawStatus("Lobby", QByteArray(12, '\0'));
        m_answerer.reset(new MessageBoxAnswerer);
        m_dialogs.reset(new FileDialogDriver);
    }

    void cleanup()
    {
        m_answerer.reset();
        m_dialogs.reset();
    }

    void cleanupTestCase() { m_bed.reset(); }

    void formHasItsLayout()
    {
        const std::unique_ptr<Widget> window = Open();
        QCOMPARE(window->objectName(), QString("Widget"));
        QCOMPARE(window->size(), QSize(700, 400));
        QCOMPARE(window->minimumSize(), QSize(700, 400));
        QCOMPARE(window->maximumSize(), QSize(700, 400));
        QVERIFY(!(window->windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(window->windowTitle(), QString("Ovra Laser Printer Update Helper"));
        QVERIFY(!window->windowIcon().isNull());

        const struct {
            const char* szName;
            QRect geometry;
            QString strText;
        } widgets[] = {
            {"label", {20, 20, 561, 20}, "Select the printer to be updated:"},
            {"tablePrinterList", {20, 40, 661, 200}, {}},
            {"buttonRefresh", {530, 245, 151, 26}, "Refresh the list"},
            {"label_2", {20, 280, 421, 20}, "Select the firmware to be updated:"},
            {"lineFilePath", {20, 300, 501, 26}, {}},
            {"buttonBrowse", {530, 300, 151, 26}, "View"},
            {"buttonOK", {460, 355, 221, 26}, "One-click update"},
        };
        for (const auto& expected : widgets) {
            QWidget* pChild = window->findChild<QWidget*>(expected.szName);
            QVERIFY2(pChild, expected.szName);
            QCOMPARE(pChild->geometry(), expected.geometry);
            if (!expected.strText.isEmpty())
                QCOMPARE(pChild->property("text").toString(), expected.strText);
        }
        QVERIFY(window->ui->buttonRefresh->isDefault());
        QVERIFY(!window->ui->buttonOK->isDefault());

        QTableWidget* pTable = window->ui->tablePrinterList;
        QCOMPARE(pTable->columnCount(), 4);
        const QStringList headers = {"Printer Name", "Printer Model", "Connection Mode", "Connection Status"};
        for (int column = 0; column < 4; ++column)
            QCOMPARE(pTable->horizontalHeaderItem(column)->text(), headers.at(column));
        QCOMPARE(pTable->columnWidth(0), 140);
        QCOMPARE(pTable->columnWidth(1), 155);
        QCOMPARE(pTable->columnWidth(2), 155);
        QVERIFY(pTable->horizontalHeader()->stretchLastSection());
        QCOMPARE(pTable->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(pTable->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(pTable->selectionMode(), QAbstractItemView::SingleSelection);
        QVERIFY(pTable->hasMouseTracking());
    }

    void tableListsUsbPrintersWithTheirConnection()
    {
        // Only a regular file counts as a status file.
        QVERIFY(QDir().mkpath(OvraPaths::StatusFile("Lab")));
        const std::unique_ptr<Widget> window = Open();
        QTableWidget* pTable = window->ui->tablePrinterList;
        const QList<QStringList> rows = {{"Office", "Ovra K246", "USB", "Connected"},
                                         {"Lab", "Ovra P2200DN", "USB", "Not Connected"}};
        QCOMPARE(pTable->rowCount(), rows.size());
        for (int row = 0; row < rows.size(); ++row) {
            for (int column = 0; column < 4; ++column)
                QCOMPARE(pTable->item(row, column)->text(), rows.at(row).at(column));
        }
        QCOMPARE(window->listPrinterInfo.size(), 2);
        QCOMPARE(window->listPrinterInfo.at(1).strPort, QString("Ovra/P2200DN?serial=P22LAB0001"));

        // The list is read again on "Refresh the list" only.
        QVERIFY(QDir().rmdir(OvraPaths::StatusFile("Lab")));
        m_files->WriteRawStatus("Lab", QByteArray(12, '\0'));
        m_files->WriteList(
            {PrinterFiles::Usb("Lab", "P22LAB0001", "P2200DN"), PrinterFiles::Usb("Desk", "K246DK0001", "K246W")});
        QCOMPARE(pTable->rowCount(), 2);
        QCOMPARE(pTable->item(0, 0)->text(), QString("Office"));
        QTest::mouseClick(window->ui->buttonRefresh, Qt::LeftButton);
        QCOMPARE(pTable->rowCount(), 2);
        QCOMPARE(pTable->item(0, 0)->text(), QString("Lab"));
        QCOMPARE(pTable->item(0, 3)->text(), QString("Connected"));
        QCOMPARE(pTable->item(1, 1)->text(), QString("Ovra K246W"));
        QCOMPARE(pTable->item(1, 3)->text(), QString("Not Connected"));

        // Cells are not editable.
        QTest::mouseDClick(pTable->viewport(), Qt::LeftButton, Qt::NoModifier,
                           pTable->visualRect(pTable->model()->index(0, 0)).center());
        QVERIFY(!pTable->findChild<QLineEdit*>());
        m_files->RemoveList();
        QTest::mouseClick(window->ui->buttonRefresh, Qt::LeftButton);
        QCOMPARE(pTable->rowCount(), 0);
    }

    void tooltipShowsTheCellText()
    {
        const std::unique_ptr<Widget> window = Open();
        QTableWidget* pTable = window->ui->tablePrinterList;
        emit pTable->entered(pTable->model()->index(1, 1));
        QTRY_COMPARE(QToolTip::text(), QString("Ovra P2200DN"));
        emit pTable->entered(pTable->model()->index(0, 3));
        QTRY_COMPARE(QToolTip::text(), QString("Connected"));
    }

    void updateWithoutSelectedPrinter()
    {
        const std::unique_ptr<Widget> window = Open();
        QCOMPARE(Update(*window, -1, ""), QStringList({c_szSelect}));
        const stShownBox box = m_answerer->Boxes().constLast();
        QCOMPARE(box.strTitle, QString("Ovra Laser Printer Update Helper"));
        QCOMPARE(box.listButtons, QStringList({"Enter"}));
        QCOMPARE(box.enIcon, QMessageBox::Information);

        // Keyboard focus makes the first row current without selecting it: no printer
        // has been picked yet.
        window->ui->tablePrinterList->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        QVERIFY(window->ui->tablePrinterList->selectionModel()->selectedRows().isEmpty());
        QCOMPARE(window->ui->tablePrinterList->currentRow(), 0);
        QCOMPARE(Update(*window, -1, Image("k246.fls", FirmwareImage(64))), QStringList({c_szSelect}));
        QCOMPARE(UsbRequests(), 0ul);
    }

    void pathsThatNameNoFile()
    {
        const std::unique_ptr<Widget> window = Open();
        const QString strImage = Image("k246.fls", FirmwareImage(64));
        QCOMPARE(Update(*window, 0, m_images.path()), QStringList({c_szCheckPath}));
        QCOMPARE(Update(*window, 0, m_images.filePath("missing.fls")), QStringList({c_szCheckPath}));
        QCOMPARE(Update(*window, 0, ""), QStringList({c_szCheckPath}));

        // The prefix goes, also from the line edit, before the file is looked at.
        QCOMPARE(Update(*window, 0, "file://" + m_images.filePath("missing.fls")), QStringList({c_szCheckPath}));
        QCOMPARE(window->ui->lineFilePath->text(), m_images.filePath("missing.fls"));
        // Only the prefix in this spelling.
        QCOMPARE(Update(*window, 0, "FILE://" + strImage), QStringList({c_szCheckPath}));
        QCOMPARE(window->ui->lineFilePath->text(), "FILE://" + strImage);
        QCOMPARE(UsbRequests(), 0ul);

        m_answerer->QueueAnswer(QMessageBox::Cancel);
        QCOMPARE(Update(*window, 0, "file://" + strImage), QStringList({Confirmation("Office")}));
        QCOMPARE(window->ui->lineFilePath->text(), strImage);
    }

    void cancelInTheConfirmationDoesNothing()
    {
        const std::unique_ptr<Widget> window = Open();
        const QString strImage = Image("k246.fls", FirmwareImage(4096));
        m_answerer->QueueAnswer(QMessageBox::Cancel);
        QCOMPARE(Update(*window, 0, strImage), QStringList({Confirmation("Office")}));
        const stShownBox box = m_answerer->Boxes().constLast();
        QCOMPARE(box.strTitle, QString("Ovra Laser Printer Update Helper"));
        QCOMPARE(box.listButtons.size(), 2);
        QVERIFY(box.listButtons.contains("Enter"));
        QVERIFY(box.listButtons.contains("Cancel"));
        QCOMPARE(box.strDefaultButton, QString("Cancel"));
        QCOMPARE(box.enIcon, QMessageBox::Information);
        QCOMPARE(UsbRequests(), 0ul);
        QVERIFY(m_bed->BulkOutTransfers(m_office).empty());
    }

    // The image reaches the chosen printer whole, in one transfer after a failed one at
    // most; the other printer gets nothing. A printer without a status file can be updated.
    void updateReachesThePrinter_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("failedFirst"); // bytes taken by a failing first transfer; 0: none
        QTest::newRow("several megabytes") << 0 << 6 * 1024 * 1024 + 17 << 0;
        QTest::newRow("success at the second attempt") << 0 << 300000 << 20000;
        QTest::newRow("empty file, a zero-byte transfer") << 0 << 0 << 0;
        QTest::newRow("printer without status file") << 1 << 100000 << 0;
    }
    void updateReachesThePrinter()
    {
        QFETCH(int, row);
        QFETCH(int, size);
        QFETCH(int, failedFirst);
        const int printer = row == 0 ? m_office : m_lab;
        const std::unique_ptr<Widget> window = Open();
        if (failedFirst > 0)
            m_bed->FailBulkOut(printer, 1, size_t(failedFirst));
        const std::vector<uint8_t> image = FirmwareImage(size_t(size));
        const QString strImage = Image("update.fls", image);
        const QString strName = row == 0 ? "Office" : "Lab";
        QCOMPARE(Update(*window, row, strImage), QStringList({Confirmation(strName), c_szSuccess}));
        const std::vector<std::vector<uint8_t>> transfers = m_bed->BulkOutTransfers(printer);
        QCOMPARE(transfers.size(), size_t(failedFirst > 0 ? 2 : 1));
        QCOMPARE(transfers.front().size(), size_t(failedFirst > 0 ? failedFirst : size));
        QVERIFY(transfers.back() == image);
        QVERIFY(m_bed->BulkOutTransfers(row == 0 ? m_lab : m_office).empty());
        QCOMPARE(window->ui->lineFilePath->text(), strImage);
    }

    void threeFailuresReportTheLastResult()
    {
        const std::unique_ptr<Widget> window = Open();
        const QString strImage = Image("k246.fls", FirmwareImage(50000));
        m_bed->FailBulkOut(m_office, ovraemu::kEveryTransfer);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(Update(*window, 0, strImage), QStringList({Confirmation("Office"), c_szPing}));
        QVERIFY(timer.elapsed() >= 300);
        QCOMPARE(m_bed->BulkOutTransfers(m_office).size(), size_t(3));

        // A printer that takes only part of the image fails the same way.
        m_bed->FailBulkOut(m_office, 0);
        m_bed->ShortenBulkOut(m_office, 30000);
        QCOMPARE(Update(*window, 0, strImage), QStringList({Confirmation("Office"), c_szPing}));
        QCOMPARE(m_bed->BulkOutTransfers(m_office).size(), size_t(6));

        // A printer that is not attached cannot be found three times.
        m_bed->Unplug(m_office);
        QCOMPARE(Update(*window, 0, strImage), QStringList({Confirmation("Office"), c_szConnection}));
    }

    void unsupportedModelIsRefusedBeforeAnyUsbAccess()
    {
        stPrinterInfo odd = PrinterFiles::Usb("Odd", "K246OF0001", "K246");
        odd.enType = "Ovra X9000";
        m_files->WriteList({odd});
        const std::unique_ptr<Widget> window = Open();
        QCOMPARE(window->ui->tablePrinterList->rowCount(), 1);
        QCOMPARE(Update(*window, 0, Image("k246.fls", FirmwareImage(64))),
                 QStringList({"Cannot support this printer model!"}));
        QCOMPARE(UsbRequests(), 0ul);
    }

    void fileTooLargeToSendIsAReadFailure()
    {
        const QString strPath = m_images.filePath("huge.fls");
        QFile file(strPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (!file.resize(qint64(1) << 31))
            QSKIP("no sparse file of 2 GiB here");
        file.close();
        const std::unique_ptr<Widget> window = Open();
        QCOMPARE(Update(*window, 0, strPath),
                 QStringList(
                     {Confirmation("Office"), "Failure to read the update file. Please check the file status!"}));
        QCOMPARE(UsbRequests(), 0ul);
        QFile::remove(strPath);
    }

    void fileDialogChoosesTheImage()
    {
        const std::unique_ptr<Widget> window = Open();
        const QString strImage = Image("k246.fls", FirmwareImage(64));
        m_dialogs->QueueChoice(strImage);
        QTest::mouseClick(window->ui->buttonBrowse, Qt::LeftButton);
        QCOMPARE(window->ui->lineFilePath->text(), strImage);
        // Cancelled: the path stays.
        QTest::mouseClick(window->ui->buttonBrowse, Qt::LeftButton);
        QCOMPARE(window->ui->lineFilePath->text(), strImage);

        const QList<FileDialogDriver::stShown> shown = m_dialogs->Shown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown.at(0).strCaption, QString("Select the firmware to be updated:"));
        QCOMPARE(shown.at(0).listFilters, QStringList({"fls Files(*.fls)"}));
        QCOMPARE(shown.at(0).strDirectory, QDir(QDir::homePath()).absolutePath()); // nothing typed yet
        QCOMPARE(shown.at(0).enMode, QFileDialog::ExistingFile);
        QCOMPARE(shown.at(1).strDirectory, m_images.path()); // starts from the path in the line edit
        QVERIFY(m_answerer->Boxes().isEmpty());
    }

    void screenshotsInEnglishAndRussian()
    {
        const QString strImage = Image("ovra-k246-v2.3.fls", FirmwareImage(64));
        {
            const std::unique_ptr<Widget> window = Open();
            ClickRow(*window, 0);
            window->ui->lineFilePath->setText(strImage);
            Shot(*window, "fwupdate_en");
        }
        QCoreApplication::removeTranslator(&m_english);
        QTranslator russian;
        QVERIFY(russian.load(":/Language/ru_ru.qm"));
        QCoreApplication::installTranslator(&russian);
        {
            const std::unique_ptr<Widget> window = Open();
            QCOMPARE(window->windowTitle(), QString::fromUtf8("Помощник обновления лазерного принтера Ovra"));
            QCOMPARE(window->ui->buttonOK->text(), QString::fromUtf8("Обновление одним щелчком"));
            QCOMPARE(window->ui->tablePrinterList->item(0, 3)->text(), QString::fromUtf8("Подключено"));
            QCOMPARE(window->ui->tablePrinterList->item(1, 3)->text(), QString::fromUtf8("Не подключено"));
            ClickRow(*window, 1);
            window->ui->lineFilePath->setText(strImage);
            Shot(*window, "fwupdate_ru");
            m_answerer->QueueAnswer(QMessageBox::Cancel);
            QCOMPARE(Update(*window, 1, strImage), QStringList({QString::fromUtf8("Обновить принтер Lab ?")}));
            QCOMPARE(m_answerer->Boxes().constLast().strDefaultButton, QString::fromUtf8("Отмена"));
        }
        QCoreApplication::removeTranslator(&russian);
        QCoreApplication::installTranslator(&m_english);
    }
};

QTEST_MAIN(TestFWWidget)
#include "tst_fwwidget.moc"
