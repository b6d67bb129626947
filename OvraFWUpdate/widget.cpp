#include "widget.h"

#include "ui_widget.h"

#include <QApplication>
#include <QDesktopWidget>
#include <QDir>
#include <QFileDialog>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>

namespace {

const char* const c_szFirmwareFilter = "fls Files(*.fls)";

// An information box of the helper, modal, fixed in size, with OK (and Cancel).
int ShowMessageBox(QWidget* parent, const QString& text, QMessageBox::StandardButtons buttons)
{
    QMessageBox box(QMessageBox::Information, QObject::tr("Ovra_Laser_Helper"), text, QMessageBox::NoButton, parent,
                    Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    box.setWindowModality(Qt::ApplicationModal);
    box.setStandardButtons(buttons);
    box.button(QMessageBox::Ok)->setText(QObject::tr("MainWindow.Message_Button.Confirm"));
    if (buttons & QMessageBox::Cancel) {
        box.button(QMessageBox::Cancel)->setText(QObject::tr("MainWindow.Message_Button.Cancel"));
        box.setDefaultButton(QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
    }
    return box.exec();
}

} // namespace

Widget::Widget(QWidget* parent) : QWidget(parent), ui(new Ui::Widget)
{
    ui->setupUi(this);
    InitUI();
    InitDeviceTable();
    RefreshDeviceTable();
}

// A transfer under way ends before its window goes (the window was only hidden).
Widget::~Widget()
{
    if (m_pUpdateThread) {
        m_pUpdateThread->wait();
        delete m_pUpdateThread;
    }
    delete ui;
}

void Widget::InitUI()
{
    setWindowIcon(QIcon(":/logo.png"));
    setWindowFlags(windowFlags() & ~Qt::WindowMaximizeButtonHint);
    setFixedSize(size());
    setWindowTitle(QObject::tr("Ovra_Laser_Helper"));
    const QDesktopWidget* pDesktop = QApplication::desktop();
    move((pDesktop->width() - width()) / 2, (pDesktop->height() - height()) / 2);

    ui->label->setText(QObject::tr("MainWindow.Label.Choose_Printer"));
    ui->label_2->setText(QObject::tr("MainWindow.Label.Choose_Firmware"));
    ui->buttonRefresh->setText(QObject::tr("MainWindow.Button.Refresh_List"));
    ui->buttonBrowse->setText(QObject::tr("MainWindow.Button.View"));
    ui->buttonOK->setText(QObject::tr("MainWindow.Button.One_Click_Update"));
    ui->buttonRefresh->setDefault(true);
}

int Widget::ShowMessageBoxOk(QString text) { return ShowMessageBox(this, text, QMessageBox::Ok); }

int Widget::ShowMessageBoxOkCancel(QString text)
{
    return ShowMessageBox(this, text, QMessageBox::Ok | QMessageBox::Cancel);
}

void Widget::on_buttonBrowse_clicked()
{
    QString strDir = ui->lineFilePath->text();
    if (strDir.isEmpty())
        strDir = QDir::homePath();
    const QString strFile =
        QFileDialog::getOpenFileName(this, QObject::tr("MainWindow.Label.Choose_Firmware"), strDir, c_szFirmwareFilter);
    if (!strFile.isEmpty())
        ui->lineFilePath->setText(strFile);
}

void Widget::on_buttonRefresh_clicked() { RefreshDeviceTable(); }
