// The print calibration page: prints a calibration page, then sends the seven numbers
// the user read from it.
#pragma once

#include "baseform.h"

class QLabel;
class QSpinBox;

namespace Ui {
class AlignmentForm;
}

class AlignmentForm : public BaseForm
{
    Q_OBJECT
public:
    explicit AlignmentForm(QWidget* parent = nullptr);
    ~AlignmentForm() override;

    void InitForm() override;
    // Idle (false) or calibration page printed (true).
    void SetAlignmentEnable(bool sent);
    QSpinBox* Chooser(int iRow) const;
    QLabel* Sample(int iRow) const;
    QLabel* Number(int iRow) const;

public slots:
    void OnComboBoxDeviceChanged(int index) override;
    void OnButtonPrintClicked();
    void OnButtonFinishClicked();

public:
    Ui::AlignmentForm* ui;

private:
    void PlaceWidgets();
    void PlaceRow(int iRow);
    // Sends one request to the chosen printer; true once it went out, else the
    // failure was shown.
    bool SendRequest(const stPrinterInfo& info, const unsigned char* request, int length);
};
