#include "homeform.h"

#include "pageindex.h"
#include "ui_homeform.h"

#include <QPixmap>

namespace {

const int c_iPageWidth = 500;
const int c_iNetButtonWidth = 200;
const int c_iNetButtonTop = 200;

} // namespace

HomeForm::HomeForm(QWidget* parent) : QWidget(parent), ui(new Ui::HomeForm)
{
    ui->setupUi(this);
    const QPixmap logo("://Resource/ovra.png");
    ui->labelLogo->setPixmap(logo.scaled(ui->labelLogo->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    ui->labelTitle->setText(QObject::tr("HomeForm.Label.Title"));
    ui->labelTitle->adjustSize();
    PlaceNetButton();
    connect(ui->pushButtonNet, &QPushButton::clicked, this, &HomeForm::OnButtonNetFormClicked);
}

HomeForm::~HomeForm() { delete ui; }

// 200 wide, as high as the picture's aspect ratio gives, centred; drawn by its picture only.
void HomeForm::PlaceNetButton()
{
    const QString strImage = QObject::tr("HomeForm.PNG.Network_Configuration");
    const QPixmap image(strImage);
    int iHeight = 0;
    if (!image.isNull() && image.height() > 0)
        iHeight = int(c_iNetButtonWidth / (double(image.width()) / image.height()));
    ui->pushButtonNet->setGeometry((c_iPageWidth - c_iNetButtonWidth) / 2, c_iNetButtonTop, c_iNetButtonWidth, iHeight);
    ui->pushButtonNet->setText(QString());
    ui->pushButtonNet->setStyleSheet("QPushButton{border-image: url(" + strImage + ");}");
}

void HomeForm::OnButtonNetFormClicked() { emit SgnChangeForm(en_Page_Net); }

void HomeForm::OnButtonCleanFormClicked() { emit SgnChangeForm(en_Page_Clean); }

void HomeForm::OnButtonAlignmentFormClicked() { emit SgnChangeForm(en_Page_Alignment); }
