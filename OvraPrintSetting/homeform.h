// The home page: logo, title and the picture button of the network settings page.
#pragma once

#include <QWidget>

namespace Ui {
class HomeForm;
}

class HomeForm : public QWidget
{
    Q_OBJECT
public:
    explicit HomeForm(QWidget* parent = nullptr);
    ~HomeForm() override;

signals:
    void SgnChangeForm(int index);

public slots:
    void OnButtonNetFormClicked();
    // No button of the page leads here: the cleaning and calibration pages are
    // reached only through these.
    void OnButtonCleanFormClicked();
    void OnButtonAlignmentFormClicked();

public:
    Ui::HomeForm* ui;

private:
    void PlaceNetButton();
};
