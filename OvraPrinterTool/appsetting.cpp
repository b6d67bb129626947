#include "appsetting.h"

#include "desktopscale.h"
#include "ui_appsetting.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>

const char AppSetting::c_szDesktopEntry[] = "ovra-k246-tool-autostart.desktop";

AppSetting::AppSetting(QWidget* parent) : QWidget(parent), ui(new Ui::AppSetting)
{
    ui->setupUi(this);
    if (DesktopIsLarge()) {
        const float s = DesktopScale();
        for (QWidget* pWidget : {static_cast<QWidget*>(this), static_cast<QWidget*>(ui->checkBoxAutoStart),
                                 static_cast<QWidget*>(ui->pushButtonOK), static_cast<QWidget*>(ui->pushButtonCancel)})
            ScaleGeometry(pWidget, s);
    }
    setWindowFlags(windowFlags() & ~Qt::WindowMaximizeButtonHint);
    setFixedSize(size());
    setWindowTitle(QObject::tr("SettingWindow.Title"));
    CentreOnDesktop(this);
    ui->checkBoxAutoStart->setText(QObject::tr("SettingWindow.Checkbox.Auto_Start"));
    ui->pushButtonOK->setText(QObject::tr("SettingWindow.Button.Confirm"));
    ui->pushButtonCancel->setText(QObject::tr("SettingWindow.Button.Cancel"));
    InitOption();
}

AppSetting::~AppSetting() { delete ui; }

QString AppSetting::AutoStartDir() { return QDir::homePath() + "/.config/autostart/"; }

QString AppSetting::AutoStartFile() { return AutoStartDir() + c_szDesktopEntry; }

QString AppSetting::ShippedFile() { return QCoreApplication::applicationDirPath() + "/" + c_szDesktopEntry; }

void AppSetting::ScaleControl(QWidget* pWidget) { ScaleGeometry(pWidget, DesktopScale()); }

bool AppSetting::ReadAutoStartOption() { return QFile::exists(AutoStartFile()); }

bool AppSetting::SaveAutoStartOption(bool bOn)
{
    if (!bOn)
        return QFile::remove(AutoStartFile());
    QDir().mkpath(AutoStartDir());
    return QFile::copy(ShippedFile(), AutoStartFile()); // an existing file stays as it is
}

void AppSetting::InitOption()
{
    ui->checkBoxAutoStart->setChecked(ReadAutoStartOption());
    ui->checkBoxAutoStart->repaint();
}

void AppSetting::SaveOption() { SaveAutoStartOption(ui->checkBoxAutoStart->checkState() != Qt::Unchecked); }

void AppSetting::on_pushButtonOK_clicked()
{
    hide();
    SaveOption();
    InitOption();
}

void AppSetting::on_pushButtonCancel_clicked()
{
    hide();
    InitOption();
}

void AppSetting::showEvent(QShowEvent* event)
{
    InitOption();
    QWidget::showEvent(event);
}

void AppSetting::closeEvent(QCloseEvent* event)
{
    event->ignore();
    hide();
    InitOption();
}
