// The tray monitor's one setting: start at log-in, kept as the presence of its desktop
// entry in the user's XDG autostart folder.
#pragma once

#include <QWidget>

namespace Ui {
class AppSetting;
}

class AppSetting : public QWidget
{
    Q_OBJECT
public:
    static const char c_szDesktopEntry[];

    explicit AppSetting(QWidget* parent = nullptr);
    ~AppSetting() override;

    static QString AutoStartDir();
    static QString AutoStartFile();
    static QString ShippedFile();

    bool ReadAutoStartOption();
    bool SaveAutoStartOption(bool bOn);
    void InitOption();
    void SaveOption();
    void ScaleControl(QWidget* pWidget);

    Ui::AppSetting* ui;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private slots:
    void on_pushButtonOK_clicked();
    void on_pushButtonCancel_clicked();
};
