#include "widget.h"

#include "alignmentform.h"
#include "cleanform.h"
#include "homeform.h"
#include "netform.h"
#include "pageindex.h"
#include "ui_widget.h"

#include <QApplication>
#include <QDesktopWidget>
#include <QIcon>

namespace {

const int c_iWindowWidth = 500;
const int c_iWindowHeight = 420;

} // namespace

Widget::Widget(QWidget* parent)
    : QWidget(parent), ui(new Ui::Widget), pHomeForm(new HomeForm), pAlignmentForm(new AlignmentForm),
      pCleanForm(new CleanForm), pNetForm(new NetForm)
{
    ui->setupUi(this);
    setFixedSize(c_iWindowWidth, c_iWindowHeight);
    setWindowFlags(windowFlags() & ~Qt::WindowMaximizeButtonHint);
    const QDesktopWidget* pDesktop = QApplication::desktop();
    move((pDesktop->width() - width()) / 2, (pDesktop->height() - height()) / 2);
    setWindowIcon(QIcon("://Resource/logo.png"));
    setWindowTitle(QObject::tr("Ovra_PrintSetting"));

    ui->stackedWidget->setGeometry(0, 0, c_iWindowWidth, c_iWindowHeight);
    ui->stackedWidget->addWidget(pHomeForm);
    ui->stackedWidget->addWidget(pAlignmentForm);
    ui->stackedWidget->addWidget(pCleanForm);
    ui->stackedWidget->addWidget(pNetForm);
    ui->stackedWidget->setCurrentIndex(en_Page_Home);
    connect(pHomeForm, &HomeForm::SgnChangeForm, this, &Widget::SlotChangeForm);
    connect(pAlignmentForm, &BaseForm::SgnChangeForm, this, &Widget::SlotChangeForm);
    connect(pCleanForm, &BaseForm::SgnChangeForm, this, &Widget::SlotChangeForm);
    connect(pNetForm, &BaseForm::SgnChangeForm, this, &Widget::SlotChangeForm);
}

Widget::~Widget() { delete ui; }

void Widget::SlotChangeForm(int index)
{
    if (index < 0 || index >= ui->stackedWidget->count())
        return;
    if (index != en_Page_Home) {
        BaseForm* pPage = qobject_cast<BaseForm*>(ui->stackedWidget->widget(index));
        if (pPage)
            pPage->InitForm();
    }
    ui->stackedWidget->setCurrentIndex(index);
}
