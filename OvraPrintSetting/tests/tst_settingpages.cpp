// The settings window driven offscreen: page stack, home page, the frame of the task
// pages, the network page's checks before any exchange, and the cleaning and
// calibration pages against emulated network printers. Message boxes are answered
// as they come up. Screenshots of every page, in English and Russian.
#include "alignmentform.h"
#include "cleanform.h"
#include "homeform.h"
#include "netform.h"
#include "pageindex.h"
#include "printerfiles.h"
#include "settingfixture.h"
#include "settingsresponder.h"
#include "stipinfo.h"
#include "translation.h"
#include "ui_alignmentform.h"
#include "ui_baseform.h"
#include "ui_cleanform.h"
#include "ui_homeform.h"
#include "ui_netform.h"
#include "ui_widget.h"
#include "widget.h"

#include "ovraemu/netprinter.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTranslator>
#include <QtTest>

#include <memory>

using ovraemu::NetPrinter;
using ovraemu::SettingsRequestKind;
using ovraemu::SettingsResponder;
using Bytes = std::vector<uint8_t>;

namespace {

const char* const c_szPrinterA = "127.0.0.181";
const char* const c_szPrinterB = "127.0.0.182";

// An emulated network printer answering the settings commands.
struct NetSettingsPrinter {
    SettingsResponder responder;
    NetPrinter printer;
    explicit NetSettingsPrinter(const char* address) : printer(address)
    {
        printer.SetCommandHandler([this](const Bytes& request) { return responder.Answer(request).value_or(Bytes()); });
    }
    bool Start()
    {
        std::string error;
        const bool bStarted = printer.Start(&error);
        if (!bStarted)
            qWarning("%s", error.c_str());
        return bStarted;
    }
};

QRect Geometry(QWidget* pWidget) { return pWidget->geometry(); }

void Shot(QWidget& window, const QString& strName)
{
    const QString strDir = qEnvironmentVariable("OVRA_SCREENSHOT_DIR", QDir::tempPath() + "/ovra-setting-shots");
    QDir().mkpath(strDir);
    QVERIFY(window.grab().save(strDir + "/" + strName + ".png"));
}

QString Translated(QTranslator& translator, const char* szKey) { return translator.translate("QObject", szKey); }

const char* const c_szAllKeys[] = {
    "Ovra_PrintSetting",
    "HomeForm.Label.Title",
    "HomeForm.PNG.Network_Configuration",
    "BaseForm.Label.Printer_Name",
    "BaseForm.Button.Back",
    "BaseForm.Message_Button.Confirm",
    "BaseForm.Message_Button.Cancel",
    "NetForm.Label.Title",
    "NetForm.Label.IP_Acquisition_Method",
    "NetForm.Label.IP_Address",
    "NetForm.Label.Subnet_Mask",
    "NetForm.Label.Gateway_Address",
    "NetForm.Label.Primary_DNS_Server",
    "NetForm.Label.Secondary_DNS_Server",
    "NetForm.Label.Primary_WINS_Server",
    "NetForm.Label.Secondary_WINS_Server",
    "NetForm.Option.Static",
    "NetForm.Button.Read",
    "NetForm.Button.Set",
    "NetForm.Message.Required_Printer",
    "NetForm.Message.Required_USB_Printer",
    "NetForm.Message.Check_Printer_Model",
    "NetForm.Message.Failed_Data_Obtain",
    "NetForm.Message.Failed_Device_Interface_Init",
    "NetForm.Message.Failed_Printer_Connection",
    "NetForm.Message.Failed_Printer_Ping",
    "NetForm.Message.Error_Unknow",
    "NetForm.Message.Check_Address_Format",
    "NetForm.Message.Success_Setting",
    "NetForm.Message.Fail_Get_Printer",
    "CleanForm.Label.Txt",
    "CleanForm.Button.Clean",
    "CleanForm.Button.Re_Clean",
    "CleanForm.Message.Required_Printer",
    "CleanForm.Message.Check_Clean_Before",
    "CleanForm.Message.Check_Printer_Model",
    "CleanForm.Message.Check_Clean_Send",
    "CleanForm.Message.Failed_Device_Interface_Init",
    "CleanForm.Message.Failed_Printer_Connection",
    "CleanForm.Message.Failed_Printer_Ping",
    "CleanForm.Message.Error_Unknow",
    "AlignmentForm.Label.Title",
    "AlignmentForm.Label.TipBefore",
    "AlignmentForm.Label.TipAfter",
    "AlignmentForm.Button.Print",
    "AlignmentForm.Button.Finish",
    "AlignmentForm.Message.Required_Printer",
    "AlignmentForm.Message.Check_Calibration_Before",
    "AlignmentForm.Message.Check_Printer_Model",
    "AlignmentForm.Message.Check_Calibration_Send",
    "AlignmentForm.Message.Failed_Device_Interface_Init",
    "AlignmentForm.Message.Failed_Printer_Connection",
    "AlignmentForm.Message.Failed_Printer_Ping",
    "AlignmentForm.Message.Error_Unknow",
    "AlignmentForm.Message.Calibration_Completed",
};

} // namespace

class TestSettingPages : public QObject
{
    Q_OBJECT
    std::unique_ptr<PrinterFiles> m_files;

    // The idle / calibration-sent table of the calibration page.
    void CheckAlignmentState(AlignmentForm& page, bool bSent)
    {
        for (int i = 1; i <= 7; ++i) {
            QCOMPARE(!page.Number(i)->isHidden(), bSent);
            QCOMPARE(!page.Sample(i)->isHidden(), bSent);
            QCOMPARE(!page.Chooser(i)->isHidden(), bSent);
        }
        QCOMPARE(page.baseUi->comboBoxDevice->isEnabled(), !bSent);
        QCOMPARE(!page.ui->labelTipAfter->isHidden(), !bSent);
        QCOMPARE(!page.ui->labelTipBefore->isHidden(), bSent);
        QCOMPARE(!page.ui->pushButtonPrint->isHidden(), !bSent);
        QCOMPARE(!page.ui->pushButtonFinish->isHidden(), bSent);
        QVERIFY(!page.baseUi->pushButtonBack->isHidden());
        QVERIFY(page.baseUi->pushButtonBack->isEnabled());
    }

private slots:
    void initTestCase() { InitSettingResources(); }
    void init() { m_files.reset(new PrinterFiles); }
    void cleanup() { m_files.reset(); }

    void windowHoldsTheFourPages()
    {
        Widget window;
        QCOMPARE(window.size(), QSize(500, 420));
        QCOMPARE(window.minimumSize(), window.maximumSize());
        QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(window.windowTitle(), QString("Ovra_PrintSetting"));
        QVERIFY(!window.windowIcon().isNull());
        QCOMPARE(Geometry(window.ui->stackedWidget), QRect(0, 0, 500, 420));
        QCOMPARE(window.ui->stackedWidget->count(), 4);
        QCOMPARE(window.ui->stackedWidget->widget(en_Page_Home), static_cast<QWidget*>(window.pHomeForm));
        QCOMPARE(window.ui->stackedWidget->widget(en_Page_Alignment), static_cast<QWidget*>(window.pAlignmentForm));
        QCOMPARE(window.ui->stackedWidget->widget(en_Page_Clean), static_cast<QWidget*>(window.pCleanForm));
        QCOMPARE(window.ui->stackedWidget->widget(en_Page_Net), static_cast<QWidget*>(window.pNetForm));
        QCOMPARE(window.ui->stackedWidget->currentIndex(), int(en_Page_Home));

        window.SlotChangeForm(-1);
        window.SlotChangeForm(4);
        QCOMPARE(window.ui->stackedWidget->currentIndex(), int(en_Page_Home));
    }

    void homePageLeadsToTheNetworkPageOnly()
    {
        Widget window;
        HomeForm& home = *window.pHomeForm;
        QCOMPARE(Geometry(home.ui->labelLogo), QRect(20, 20, 60, 60));
        QVERIFY(!home.ui->labelLogo->pixmap(Qt::ReturnByValue).isNull());
        QCOMPARE(home.ui->labelTitle->pos(), QPoint(100, 34));
        QCOMPARE(home.ui->labelTitle->font().pointSize(), 16);
        QCOMPARE(home.ui->labelTitle->text(), QString("HomeForm.Label.Title"));
        QCOMPARE(home.ui->labelTitle->size(), home.ui->labelTitle->sizeHint());
        // Without a catalogue the key names no picture: the button has no height.
        QCOMPARE(home.ui->pushButtonNet->text(), QString());
        QCOMPARE(home.ui->pushButtonNet->styleSheet(),
                 QString("QPushButton{border-image: url(HomeForm.PNG.Network_Configuration);}"));

        QList<QPushButton*> buttons = home.findChildren<QPushButton*>();
        QCOMPARE(buttons.size(), 1); // no buttons for cleaning and calibration
        home.OnButtonNetFormClicked();
        QCOMPARE(window.ui->stackedWidget->currentIndex(), int(en_Page_Net));
        QTest::mouseClick(window.pNetForm->baseUi->pushButtonBack, Qt::LeftButton);
        QCOMPARE(window.ui->stackedWidget->currentIndex(), int(en_Page_Home));

        QSignalSpy spy(&home, &HomeForm::SgnChangeForm);
        home.OnButtonCleanFormClicked();
        QCOMPARE(window.ui->stackedWidget->currentIndex(), int(en_Page_Clean));
        home.OnButtonAlignmentFormClicked();
        QCOMPARE(window.ui->stackedWidget->currentIndex(), int(en_Page_Alignment));
        QCOMPARE(spy.size(), 2);
        QCOMPARE(spy.at(0).at(0).toInt(), 2);
        QCOMPARE(spy.at(1).at(0).toInt(), 1);
    }

    void catalogues()
    {
        QTranslator english;
        QTranslator russian;
        QVERIFY(english.load(":/Language/en_us.qm"));
        QVERIFY(russian.load(":/Language/ru_ru.qm"));
        for (const char* szKey : c_szAllKeys) {
            QVERIFY2(!Translated(english, szKey).isEmpty(), szKey);
            QVERIFY2(!Translated(russian, szKey).isEmpty(), szKey);
            QVERIFY2(Translated(russian, szKey) != Translated(english, szKey), szKey);
        }
        QCOMPARE(Translated(english, "Ovra_PrintSetting"), QString("Ovra Laser Printing Tool"));
        QCOMPARE(Translated(english, "BaseForm.Message_Button.Confirm"), QString("Enter"));
        QCOMPARE(Translated(english, "NetForm.Message.Error_Unknow"), QString("Unknown error!"));
        QCOMPARE(Translated(english, "HomeForm.PNG.Network_Configuration"), QString("://Resource/button_net_en.png"));
        QCOMPARE(Translated(russian, "HomeForm.PNG.Network_Configuration"), QString("://Resource/button_net_ru.png"));
        // Shown as it stands, backslash sequences included.
        QVERIFY(Translated(english, "CleanForm.Label.Txt").contains("cleaning task. r\\n If the printed"));
        QVERIFY(Translated(english, "AlignmentForm.Label.TipAfter")
                    .endsWith(QString::fromUtf8("\\r\\n Put A4 or Letter size plain paper in the paper tray, and then "
                                                "click \xE2\x80\x9CPrint Calibration Page\xE2\x80\x9D.")));
    }

    void languageFollowsTheLocale_data()
    {
        QTest::addColumn<QLocale::Language>("language");
        QTest::addColumn<bool>("russian");
        QTest::newRow("Russian") << QLocale::Russian << true;
        QTest::newRow("German") << QLocale::German << false;
        QTest::newRow("English") << QLocale::English << false;
    }
    void languageFollowsTheLocale()
    {
        QFETCH(QLocale::Language, language);
        QFETCH(bool, russian);
        QTranslator russianCatalogue;
        QVERIFY(russianCatalogue.load(":/Language/ru_ru.qm"));
        const QString strRussianBack = Translated(russianCatalogue, "BaseForm.Button.Back");
        QLocale::setDefault(QLocale(language));
        QTranslator translator;
        QVERIFY(InstallTranslation(*qApp, translator));
        Widget window;
        QCOMPARE(window.pNetForm->baseUi->pushButtonBack->text(), russian ? strRussianBack : QString("Back"));
        const QString strImage = russian ? "://Resource/button_net_ru.png" : "://Resource/button_net_en.png";
        QVERIFY(window.pHomeForm->ui->pushButtonNet->styleSheet().contains("url(" + strImage + ")"));
        // 200 wide, height from the picture's aspect ratio, centred, top at 200.
        QCOMPARE(Geometry(window.pHomeForm->ui->pushButtonNet), QRect(150, 200, 200, 100));
        qApp->removeTranslator(&translator);
        QLocale::setDefault(QLocale(QLocale::English));
    }

    void taskPagesReloadTheListWhenShown()
    {
        m_files->WriteList({PrinterFiles::Network("office", c_szPrinterA), PrinterFiles::Network("lab", c_szPrinterB)});
        Widget window;
        NetForm& net = *window.pNetForm;
        QCOMPARE(net.baseUi->comboBoxDevice->count(), 0); // nothing read before the page is shown
        window.SlotChangeForm(en_Page_Net);
        QCOMPARE(net.baseUi->comboBoxDevice->count(), 2);
        QCOMPARE(net.baseUi->comboBoxDevice->itemText(1), QString("lab"));
        net.baseUi->comboBoxDevice->setCurrentIndex(1);

        m_files->WriteList({PrinterFiles::Network("front desk", c_szPrinterA)});
        window.SlotChangeForm(en_Page_Home);
        QCOMPARE(net.baseUi->comboBoxDevice->count(), 2); // going home reloads nothing
        window.SlotChangeForm(en_Page_Net);
        QCOMPARE(net.baseUi->comboBoxDevice->count(), 1);
        QCOMPARE(net.baseUi->comboBoxDevice->currentIndex(), 0);
        QCOMPARE(net.baseUi->comboBoxDevice->currentText(), QString("front desk"));

        // A count beyond the groups present: records with empty fields.
        {
            QSettings settings(qEnvironmentVariable("OVRA_INSTALL_ROOT") + "/cfg/printerlist.ini",
                               QSettings::IniFormat);
            settings.setValue("Main/Count", "3");
        }
        window.SlotChangeForm(en_Page_Clean);
        QCOMPARE(window.pCleanForm->baseUi->comboBoxDevice->count(), 3);
        QCOMPARE(window.pCleanForm->listPrinter.at(2).strPort, QString());
        QCOMPARE(window.pCleanForm->listPrinter.at(2).iConnectType, 0);

        // No list file: an empty chooser.
        m_files->RemoveList();
        window.SlotChangeForm(en_Page_Alignment);
        QCOMPARE(window.pAlignmentForm->baseUi->comboBoxDevice->count(), 0);
        QCOMPARE(window.pAlignmentForm->baseUi->comboBoxDevice->currentIndex(), -1);
    }

    void taskPageFrame()
    {
        Widget window;
        CleanForm& clean = *window.pCleanForm;
        QCOMPARE(Geometry(clean.baseUi->labelTitle), QRect(10, 10, 150, 26));
        QCOMPARE(clean.baseUi->labelTitle->font().pointSize(), 15);
        QCOMPARE(clean.baseUi->labelTitle->text(), QString());
        QCOMPARE(Geometry(clean.baseUi->labelPrinterName), QRect(30, 60, 200, 20));
        QCOMPARE(clean.baseUi->labelPrinterName->text(), QString("BaseForm.Label.Printer_Name"));
        QCOMPARE(Geometry(clean.baseUi->comboBoxDevice), QRect(250, 60, 230, 20));
        QCOMPARE(Geometry(clean.baseUi->pushButtonBack), QRect(190, 360, 120, 26));
        QCOMPARE(clean.baseUi->pushButtonBack->text(), QString("BaseForm.Button.Back"));
        // Sample 270 wide at its aspect ratio, the text under it, Clean button like Back.
        QCOMPARE(Geometry(clean.ui->labelSample), QRect(115, 70, 270, 150));
        QCOMPARE(Geometry(clean.ui->labelTxt), QRect(0, 220, 500, 60));
        QCOMPARE(clean.ui->labelTxt->alignment(), Qt::AlignCenter);
        QCOMPARE(clean.ui->labelTxt->text(), QString("CleanForm.Label.Txt"));
        QCOMPARE(Geometry(clean.ui->pushButtonClean), QRect(190, 325, 120, 26));
        // Where the sample meets the printer chooser, the chooser stays on top.
        QCOMPARE(clean.childAt(300, 75), static_cast<QWidget*>(clean.baseUi->comboBoxDevice));

        NetForm& net = *window.pNetForm;
        QCOMPARE(Geometry(net.baseUi->labelTitle), QRect(30, 10, 300, 30));
        QCOMPARE(net.baseUi->labelTitle->text(), QString("NetForm.Label.Title"));
        QCOMPARE(Geometry(net.ui->labelIPAcquisitionMethod), QRect(30, 85, 200, 20));
        QCOMPARE(Geometry(net.ui->comboBoxSource), QRect(250, 85, 230, 20));
        QCOMPARE(net.ui->comboBoxSource->itemText(0), QString("DHCP"));
        QCOMPARE(net.ui->comboBoxSource->itemText(1), QString("NetForm.Option.Static"));
        const int x[4] = {250, 310, 370, 430};
        for (int k = 1; k <= 7; ++k) {
            for (int o = 0; o < 4; ++o)
                QCOMPARE(Geometry(net.Field(k, o)), QRect(x[o], 110 + 25 * (k - 1), 50, 20));
        }
        QCOMPARE(Geometry(net.ui->labelSecondaryWINS), QRect(30, 260, 200, 20));
        QCOMPARE(net.ui->labelSecondaryWINS->text(), QString("NetForm.Label.Secondary_WINS_Server"));
        QCOMPARE(Geometry(net.ui->labelDotGateway2), QRect(360, 160, 10, 20));
        QCOMPARE(Geometry(net.ui->pushButtonRead), QRect(100, 310, 120, 26));
        QCOMPARE(Geometry(net.ui->pushButtonSet), QRect(280, 310, 120, 26));

        AlignmentForm& alignment = *window.pAlignmentForm;
        QCOMPARE(alignment.baseUi->labelTitle->text(), QString("AlignmentForm.Label.Title"));
        QCOMPARE(Geometry(alignment.ui->labelTipBefore), QRect(0, 75, 500, 26));
        QCOMPARE(Geometry(alignment.ui->labelTipAfter), QRect(0, 75, 500, 52));
        QCOMPARE(Geometry(alignment.baseUi->pushButtonBack), QRect(86, 360, 120, 26));
        QCOMPARE(Geometry(alignment.ui->pushButtonPrint), QRect(294, 360, 120, 26));
        QCOMPARE(Geometry(alignment.ui->pushButtonFinish), QRect(294, 360, 120, 26));
        for (int i = 1; i <= 7; ++i) {
            const int y = 110 + 35 * (i - 1);
            QCOMPARE(alignment.Number(i)->text(), "#" + QString::number(i));
            QCOMPARE(Geometry(alignment.Number(i)), QRect(161, y, 16, 20));
            QVERIFY(alignment.Number(i)->sizeHint().width() <= 16);
            QCOMPARE(Geometry(alignment.Sample(i)), QRect(193, y - 2, 64, 32));
            QVERIFY(!alignment.Sample(i)->pixmap(Qt::ReturnByValue).isNull());
            QCOMPARE(Geometry(alignment.Chooser(i)), QRect(289, y, 50, 20));
            QCOMPARE(alignment.Chooser(i)->minimum(), -6);
            QCOMPARE(alignment.Chooser(i)->maximum(), 6);
            QCOMPARE(alignment.Chooser(i)->singleStep(), 1);
        }
    }

    void networkPageFieldsAndTabOrder()
    {
        m_files->WriteList({PrinterFiles::Usb("desk", "A1"), PrinterFiles::Usb("hall", "B2")});
        Widget window;
        window.SlotChangeForm(en_Page_Net);
        NetForm& net = *window.pNetForm;
        for (int k = 1; k <= 7; ++k) {
            for (int o = 0; o < 4; ++o) {
                QCOMPARE(net.Field(k, o)->text(), QString("0"));
                QVERIFY(!net.Field(k, o)->isEnabled());
            }
        }
        net.ui->comboBoxSource->setCurrentIndex(1);
        QVERIFY(net.Field(4, 2)->isEnabled());
        // Octets take 0 to 255 only.
        net.Field(1, 0)->clear();
        QTest::keyClicks(net.Field(1, 0), "256");
        QCOMPARE(net.Field(1, 0)->text(), QString("25"));
        net.Field(1, 1)->clear();
        QTest::keyClicks(net.Field(1, 1), "x1");
        QCOMPARE(net.Field(1, 1)->text(), QString("1"));

        // Another printer: back to "0", DHCP, disabled.
        net.baseUi->comboBoxDevice->setCurrentIndex(1);
        QCOMPARE(net.ui->comboBoxSource->currentIndex(), 0);
        QCOMPARE(net.Field(1, 0)->text(), QString("0"));
        QVERIFY(!net.Field(1, 0)->isEnabled());

        // Printer chooser, mode chooser, the 28 octets row by row, Back.
        QList<QWidget*> chain = {net.baseUi->comboBoxDevice, net.ui->comboBoxSource};
        for (int k = 1; k <= 7; ++k) {
            for (int o = 0; o < 4; ++o)
                chain << net.Field(k, o);
        }
        chain << net.baseUi->pushButtonBack;
        for (int i = 0; i + 1 < chain.size(); ++i)
            QCOMPARE(chain.at(i)->nextInFocusChain(), chain.at(i + 1));
    }

    // Each of these stops the page before anything is sent: no printer, a network
    // printer, a USB printer of no known model, a USB printer with a bad address (in
    // DHCP mode the disabled fields count too).
    void networkPageChecksBeforeAnyExchange_data()
    {
        QTest::addColumn<int>("device"); // -1: no printer list
        QTest::addColumn<bool>("badAddress");
        QTest::addColumn<int>("source"); // the address source the bad address is sent with
        QTest::addColumn<bool>("read");
        QTest::addColumn<QString>("message"); // below NetForm.Message
        QTest::newRow("no printer, read") << -1 << false << c_iIPModeDHCP << true << "Required_Printer";
        QTest::newRow("no printer, set") << -1 << false << c_iIPModeDHCP << false << "Required_Printer";
        QTest::newRow("network printer, read") << 0 << false << c_iIPModeDHCP << true << "Required_USB_Printer";
        QTest::newRow("network printer, set") << 0 << false << c_iIPModeDHCP << false << "Required_USB_Printer";
        QTest::newRow("unknown model, read") << 1 << false << c_iIPModeDHCP << true << "Check_Printer_Model";
        QTest::newRow("unknown model, set") << 1 << false << c_iIPModeDHCP << false << "Check_Printer_Model";
        QTest::newRow("bad address, static") << 2 << true << c_iIPModeStatic << false << "Check_Address_Format";
        QTest::newRow("bad address, DHCP") << 2 << true << c_iIPModeDHCP << false << "Check_Address_Format";
    }
    void networkPageChecksBeforeAnyExchange()
    {
        QFETCH(int, device);
        QFETCH(bool, badAddress);
        QFETCH(int, source);
        QFETCH(bool, read);
        QFETCH(QString, message);
        NetSettingsPrinter office(c_szPrinterA);
        QVERIFY(office.Start());
        if (device >= 0)
            m_files->WriteList({PrinterFiles::Network("office", c_szPrinterA), PrinterFiles::Usb("odd", "Z1", "Q999"),
                                PrinterFiles::Usb("desk", "A1")});
        MessageBoxAnswerer answerer;
        Widget window;
        NetForm& net = *window.pNetForm;
        window.SlotChangeForm(en_Page_Net);
        if (device > 0)
            net.baseUi->comboBoxDevice->setCurrentIndex(device);
        if (badAddress) {
            net.ui->comboBoxSource->setCurrentIndex(c_iIPModeStatic);
            net.Field(3, 3)->clear();
            net.ui->comboBoxSource->setCurrentIndex(source);
        }
        QCOMPARE(answerer.Click(read ? net.ui->pushButtonRead : net.ui->pushButtonSet),
                 QStringList({"NetForm.Message." + message}));
        QVERIFY(office.printer.Received().empty());

        const stShownBox box = answerer.Boxes().first();
        QCOMPARE(box.strTitle, QString("Ovra_PrintSetting"));
        QCOMPARE(box.listButtons, QStringList({"BaseForm.Message_Button.Confirm"}));
        QCOMPARE(box.enIcon, QMessageBox::Information);
    }

    void cleaningOverUdp()
    {
        NetSettingsPrinter office(c_szPrinterA);
        NetSettingsPrinter lab(c_szPrinterB);
        QVERIFY(office.Start());
        QVERIFY(lab.Start());
        m_files->WriteList({PrinterFiles::Network("office", c_szPrinterA), PrinterFiles::Network("lab", c_szPrinterB),
                            PrinterFiles::Network("nowhere", "127.0.0.256")});
        MessageBoxAnswerer answerer;
        Widget window;
        window.pHomeForm->OnButtonCleanFormClicked();
        CleanForm& clean = *window.pCleanForm;
        QCOMPARE(window.ui->stackedWidget->currentWidget(), static_cast<QWidget*>(&clean));

        // Cancel in the confirmation: nothing sent, nothing changed.
        answerer.QueueAnswer(QMessageBox::Cancel);
        QCOMPARE(answerer.Click(clean.ui->pushButtonClean), QStringList({"CleanForm.Message.Check_Clean_Before"}));
        const stShownBox question = answerer.Boxes().first();
        QCOMPARE(question.listButtons.size(), 2);
        QVERIFY(question.listButtons.contains("BaseForm.Message_Button.Confirm"));
        QVERIFY(question.listButtons.contains("BaseForm.Message_Button.Cancel"));
        QCOMPARE(question.strDefaultButton, QString("BaseForm.Message_Button.Cancel"));
        QVERIFY(!clean.bCleanSent);
        QCOMPARE(clean.ui->pushButtonClean->text(), QString("CleanForm.Button.Clean"));
        QVERIFY(office.printer.Received().empty());

        // First the cleaning request, then re-cleaning.
        QTest::mouseClick(clean.ui->pushButtonClean, Qt::LeftButton);
        QVERIFY(clean.bCleanSent);
        QCOMPARE(clean.ui->pushButtonClean->text(), QString("CleanForm.Button.Re_Clean"));
        QTest::mouseClick(clean.ui->pushButtonClean, Qt::LeftButton);
        QCOMPARE(answerer.Click(clean.ui->pushButtonClean),
                 QStringList({"CleanForm.Message.Check_Clean_Before", "CleanForm.Message.Check_Clean_Send",
                              "CleanForm.Message.Check_Clean_Before", "CleanForm.Message.Check_Clean_Send",
                              "CleanForm.Message.Check_Clean_Before", "CleanForm.Message.Check_Clean_Send"}));
        const std::vector<Bytes> received = office.printer.Received();
        QCOMPARE(received.size(), size_t(3));
        QCOMPARE(received.at(0), Bytes({0xA5, 0x00, 0x07, 0x50, 0xE0, 0x2E, 0x02, 0x01, 0x01, 0x01}));
        QCOMPARE(received.at(1), Bytes({0xA5, 0x00, 0x08, 0x50, 0xE0, 0x2E, 0x02, 0x01, 0x01, 0x12, 0x02}));
        QCOMPARE(received.at(2), received.at(1));

        // Another printer: back to the first request. A silent printer still counts
        // once the datagram went out (after the 2 s wait).
        clean.baseUi->comboBoxDevice->setCurrentIndex(1);
        QVERIFY(!clean.bCleanSent);
        QCOMPARE(clean.ui->pushButtonClean->text(), QString("CleanForm.Button.Clean"));
        lab.responder.SetSilent(true);
        QElapsedTimer timer;
        timer.start();
        QTest::mouseClick(clean.ui->pushButtonClean, Qt::LeftButton);
        QVERIFY(timer.elapsed() >= 1900);
        QCOMPARE(lab.responder.Count(SettingsRequestKind::Clean), 1);
        QCOMPARE(answerer.TakeTexts().last(), QString("CleanForm.Message.Check_Clean_Send"));
        QVERIFY(clean.bCleanSent);

        // Shown again: the list is reloaded and the page starts over.
        window.SlotChangeForm(en_Page_Clean);
        QVERIFY(!clean.bCleanSent);
        QCOMPARE(clean.baseUi->comboBoxDevice->currentIndex(), 0);

        // An address that is no dotted quad: nothing sent, connection message.
        clean.baseUi->comboBoxDevice->setCurrentIndex(2);
        QCOMPARE(answerer.Click(clean.ui->pushButtonClean),
                 QStringList({"CleanForm.Message.Check_Clean_Before", "CleanForm.Message.Failed_Printer_Connection"}));
        QVERIFY(!clean.bCleanSent);
        QCOMPARE(office.printer.Received().size(), size_t(3));

        // No printer chosen.
        m_files->RemoveList();
        window.SlotChangeForm(en_Page_Clean);
        QCOMPARE(answerer.Click(clean.ui->pushButtonClean), QStringList({"CleanForm.Message.Required_Printer"}));
    }

    void calibrationOverUdp()
    {
        NetSettingsPrinter office(c_szPrinterA);
        QVERIFY(office.Start());
        m_files->WriteList({PrinterFiles::Network("office", c_szPrinterA), PrinterFiles::Network("gone", "1.2.3")});
        MessageBoxAnswerer answerer;
        Widget window;
        window.pHomeForm->OnButtonAlignmentFormClicked();
        AlignmentForm& page = *window.pAlignmentForm;
        QCOMPARE(window.ui->stackedWidget->currentWidget(), static_cast<QWidget*>(&page));
        CheckAlignmentState(page, false);

        // Cancel: nothing sent, still idle.
        answerer.QueueAnswer(QMessageBox::Cancel);
        QTest::mouseClick(page.ui->pushButtonPrint, Qt::LeftButton);
        CheckAlignmentState(page, false);
        QVERIFY(office.printer.Received().empty());

        // Print the calibration page: the rows come up at 0.
        page.Chooser(3)->setValue(4);
        QTest::mouseClick(page.ui->pushButtonPrint, Qt::LeftButton);
        CheckAlignmentState(page, true);
        QCOMPARE(page.Chooser(3)->value(), 0);
        QCOMPARE(office.responder.Count(SettingsRequestKind::CalibrationPage), 1);

        // The values, without a question; then idle again.
        const int chosen[7] = {-6, -1, 0, 1, 2, 6, -6};
        for (int i = 1; i <= 7; ++i)
            page.Chooser(i)->setValue(chosen[i - 1]);
        page.Chooser(1)->stepBy(-3); // stays at the minimum
        QTest::mouseClick(page.ui->pushButtonFinish, Qt::LeftButton);
        CheckAlignmentState(page, false);
        QCOMPARE(answerer.TakeTexts(), QStringList({"AlignmentForm.Message.Check_Calibration_Before",
                                                    "AlignmentForm.Message.Check_Calibration_Before",
                                                    "AlignmentForm.Message.Check_Calibration_Send",
                                                    "AlignmentForm.Message.Calibration_Completed"}));
        const std::vector<Bytes> received = office.printer.Received();
        QCOMPARE(received.size(), size_t(2));
        QCOMPARE(received.at(0), Bytes({0xA5, 0x00, 0x07, 0x50, 0xE0, 0x2E, 0x02, 0x01, 0x01, 0x43}));
        QCOMPARE(received.at(1).size(), size_t(39));
        QCOMPARE(ovraemu::CalibrationValuesOf(received.at(1)), std::vector<int32_t>({-48, -8, 0, 8, 16, 48, -3072}));
        QCOMPARE(Bytes(received.at(1).end() - 4, received.at(1).end()), Bytes({0xFF, 0xFF, 0xF4, 0x00}));

        // In the sent state, going back and returning starts idle.
        QTest::mouseClick(page.ui->pushButtonPrint, Qt::LeftButton);
        CheckAlignmentState(page, true);
        QTest::mouseClick(page.baseUi->pushButtonBack, Qt::LeftButton);
        QCOMPARE(window.ui->stackedWidget->currentIndex(), int(en_Page_Home));
        window.SlotChangeForm(en_Page_Alignment);
        CheckAlignmentState(page, false);

        // Failures leave the state as it is.
        page.baseUi->comboBoxDevice->setCurrentIndex(1);
        QTest::mouseClick(page.ui->pushButtonPrint, Qt::LeftButton);
        CheckAlignmentState(page, false);
        page.SetAlignmentEnable(true);
        QTest::mouseClick(page.ui->pushButtonFinish, Qt::LeftButton);
        CheckAlignmentState(page, true);
        QCOMPARE(answerer.TakeTexts(), QStringList({"AlignmentForm.Message.Check_Calibration_Before",
                                                    "AlignmentForm.Message.Check_Calibration_Send",
                                                    "AlignmentForm.Message.Check_Calibration_Before",
                                                    "AlignmentForm.Message.Failed_Printer_Connection",
                                                    "AlignmentForm.Message.Failed_Printer_Connection"}));
        // Another printer chosen goes back to idle.
        page.OnComboBoxDeviceChanged(0);
        CheckAlignmentState(page, false);
    }

    void screenshots_data()
    {
        QTest::addColumn<QString>("language");
        QTest::newRow("en") << "en";
        QTest::newRow("ru") << "ru";
    }
    void screenshots()
    {
        QFETCH(QString, language);
        QTranslator translator;
        QVERIFY(translator.load(":/Language/" + QString(language == "ru" ? "ru_ru" : "en_us") + ".qm"));
        qApp->installTranslator(&translator);
        m_files->WriteList(
            {PrinterFiles::Usb("Ovra-P2200DN-desk", "A1"), PrinterFiles::Network("office", c_szPrinterA)});
        Widget window;
        window.show();
        Shot(window, "home_" + language);
        window.SlotChangeForm(en_Page_Net);
        window.pNetForm->ui->comboBoxSource->setCurrentIndex(1);
        Shot(window, "net_" + language);
        window.SlotChangeForm(en_Page_Clean);
        Shot(window, "clean_" + language);
        window.SlotChangeForm(en_Page_Alignment);
        Shot(window, "alignment_idle_" + language);
        window.pAlignmentForm->SetAlignmentEnable(true);
        Shot(window, "alignment_sent_" + language);
        qApp->removeTranslator(&translator);
    }
};

QTEST_MAIN(TestSettingPages)
#include "tst_settingpages.moc"
