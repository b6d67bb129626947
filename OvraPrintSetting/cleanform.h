// The head cleaning page: sends a cleaning request, later ones a re-cleaning request.
#pragma once

#include "baseform.h"

namespace Ui {
class CleanForm;
}

class CleanForm : public BaseForm
{
    Q_OBJECT
public:
    explicit CleanForm(QWidget* parent = nullptr);
    ~CleanForm() override;

    void InitForm() override;

public slots:
    void OnComboBoxDeviceChanged(int index) override;
    void OnButtonCleanClicked();

public:
    Ui::CleanForm* ui;
    bool bCleanSent = false; // a cleaning request went out to the chosen printer

private:
    void PlaceWidgets();
};
