// The auto-start setting with a temporary home, the locale choice and "-hide".
#include "appsetting.h"
#include "translation.h"
#include "trayoptions.h"
#include "ui_appsetting.h"

#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

class TestAppSetting : public QObject
{
    Q_OBJECT
    QTemporaryDir m_home;

    QByteArray Read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void initTestCase()
    {
        InitTrayResources();
        qputenv("HOME", m_home.path().toLocal8Bit());
        QVERIFY(QFile::exists(AppSetting::ShippedFile())); // the build puts it beside the tests
    }

    void okCancelAndClose()
    {
        AppSetting setting;
        QVERIFY(!setting.ui->checkBoxAutoStart->isChecked());
        QVERIFY(!QDir(AppSetting::AutoStartDir()).exists());

        // Ticked and cancelled, or closed: nothing on disk.
        setting.show();
        setting.ui->checkBoxAutoStart->setChecked(true);
        QTest::mouseClick(setting.ui->pushButtonCancel, Qt::LeftButton);
        QVERIFY(!setting.isVisible());
        QVERIFY(!setting.ui->checkBoxAutoStart->isChecked());
        setting.show();
        setting.ui->checkBoxAutoStart->setChecked(true);
        setting.close();
        QVERIFY(!QFile::exists(AppSetting::AutoStartFile()));
        QVERIFY(!setting.ui->checkBoxAutoStart->isChecked());

        // Ticked and OK: the folder is made and holds a copy of the shipped entry.
        setting.show();
        setting.ui->checkBoxAutoStart->setChecked(true);
        QTest::mouseClick(setting.ui->pushButtonOK, Qt::LeftButton);
        QCOMPARE(Read(AppSetting::AutoStartFile()), Read(AppSetting::ShippedFile()));
        QVERIFY(Read(AppSetting::AutoStartFile()).contains("-hide"));
        QVERIFY(setting.ui->checkBoxAutoStart->isChecked());

        // An entry the user edited stays as it is.
        {
            QFile file(AppSetting::AutoStartFile());
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write("[Desktop Entry]\nExec=edited\n");
        }
        setting.show();
        QVERIFY(setting.ui->checkBoxAutoStart->isChecked());
        QTest::mouseClick(setting.ui->pushButtonOK, Qt::LeftButton);
        QCOMPARE(Read(AppSetting::AutoStartFile()), QByteArray("[Desktop Entry]\nExec=edited\n"));

        // Unticked and OK: gone; again: nothing happens.
        setting.show();
        setting.ui->checkBoxAutoStart->setChecked(false);
        QTest::mouseClick(setting.ui->pushButtonOK, Qt::LeftButton);
        QVERIFY(!QFile::exists(AppSetting::AutoStartFile()));
        setting.show();
        QTest::mouseClick(setting.ui->pushButtonOK, Qt::LeftButton);
        QVERIFY(!QFile::exists(AppSetting::AutoStartFile()));
        QVERIFY(!setting.ui->checkBoxAutoStart->isChecked());
    }

    void formLayout()
    {
        AppSetting setting;
        QCOMPARE(setting.size(), QSize(400, 300));
        QCOMPARE(setting.ui->checkBoxAutoStart->geometry(), QRect(70, 60, 200, 25));
        QCOMPARE(setting.ui->pushButtonOK->geometry(), QRect(70, 250, 80, 25));
        QCOMPARE(setting.ui->pushButtonCancel->geometry(), QRect(250, 250, 80, 25));
        QVERIFY(!(setting.windowFlags() & Qt::WindowMaximizeButtonHint));
    }

    void languages_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("start");
        QTest::newRow("Russian") << "ru_RU" << QString::fromUtf8("Состояние") << QString::fromUtf8("Пуск");
        QTest::newRow("German") << "de_DE"
                                << "Status"
                                << "Start";
        QTest::newRow("English") << "en_US"
                                 << "Status"
                                 << "Start";
    }
    void languages()
    {
        QFETCH(QString, locale);
        QFETCH(QString, status);
        QFETCH(QString, start);
        QLocale::setDefault(QLocale(locale));
        QTranslator translator;
        QVERIFY(InstallTranslation(*qApp, translator));
        QCOMPARE(QObject::tr("MainWindow.Table.Status"), status);
        AppSetting setting;
        QCOMPARE(setting.ui->checkBoxAutoStart->text(), start);
        qApp->removeTranslator(&translator);
        QLocale::setDefault(QLocale::c());
    }

    void hideOption()
    {
        char prog[] = "OvraPrinterTool", hide[] = "-hide", caps[] = "-HIDE", other[] = "--x";
        char* none[] = {prog};
        char* one[] = {prog, other, caps};
        char* plain[] = {prog, hide};
        char* without[] = {prog, other};
        QVERIFY(!CheckIsHide(1, none));
        QVERIFY(CheckIsHide(3, one));
        QVERIFY(CheckIsHide(2, plain));
        QVERIFY(!CheckIsHide(2, without));
    }
};

QTEST_MAIN(TestAppSetting)
#include "tst_appsetting.moc"
