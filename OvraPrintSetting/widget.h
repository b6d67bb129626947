// The settings tool's window: a stack of the home page and the three task pages.
#pragma once

#include <QWidget>

class AlignmentForm;
class CleanForm;
class HomeForm;
class NetForm;

namespace Ui {
class Widget;
}

class Widget : public QWidget
{
    Q_OBJECT
public:
    explicit Widget(QWidget* parent = nullptr);
    ~Widget() override;

public slots:
    void SlotChangeForm(int index);

public:
    Ui::Widget* ui;
    HomeForm* pHomeForm;
    AlignmentForm* pAlignmentForm;
    CleanForm* pCleanForm;
    NetForm* pNetForm;
};
