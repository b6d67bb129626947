// The settings tool's printer chooser over printer list files that are cut, empty
// or garbage: it offers what the file still holds (a group cut away is a printer
// without name or connection), a command without a printer asks for one, and a
// printer whose group was cut away is not taken for a USB printer.
#include "damagedfiles.h"
#include "netform.h"
#include "ovrapaths.h"
#include "pageindex.h"
#include "printerfiles.h"
#include "settingfixture.h"
#include "translation.h"
#include "ui_baseform.h"
#include "ui_netform.h"
#include "widget.h"

#include <QComboBox>
#include <QtTest>

class TestFaultsListFile : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { InitSettingResources(); }

    void damagedListFile_data() { AddDamagedListRows(); }

    void damagedListFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, names);
        PrinterFiles files;
        QDir().mkpath(OvraPaths::CfgDir());
        QFile list(OvraPaths::PrinterListFile());
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write(bytes);
        list.close();

        MessageBoxAnswerer answerer;
        Widget window;
        window.SlotChangeForm(en_Page_Net);
        NetForm& net = *window.pNetForm;
        QComboBox* pChooser = net.baseUi->comboBoxDevice;
        QStringList offered;
        for (int i = 0; i < pChooser->count(); ++i)
            offered << pChooser->itemText(i);
        QCOMPARE(offered, names);

        pChooser->setCurrentIndex(pChooser->count() - 1);
        QTest::mouseClick(net.ui->pushButtonRead, Qt::LeftButton);
        const char* expected =
            names.isEmpty() ? "NetForm.Message.Required_Printer" : "NetForm.Message.Required_USB_Printer";
        QCOMPARE(answerer.TakeTexts(), QStringList({expected}));
    }
};

QTEST_MAIN(TestFaultsListFile)
#include "tst_faults_listfile.moc"
