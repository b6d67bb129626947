#include "desktopscale.h"

#include <QApplication>
#include <QDesktopWidget>
#include <QWidget>

namespace {
const int c_iBaseDesktopWidth = 1920;
}

bool DesktopIsLarge() { return QApplication::desktop()->width() > c_iBaseDesktopWidth; }

float DesktopScale()
{
    if (!DesktopIsLarge())
        return 1.0f;
    return float(double(QApplication::desktop()->width()) / c_iBaseDesktopWidth);
}

void ScaleGeometry(QWidget* pWidget, float s)
{
    pWidget->resize(int(pWidget->width() * s), int(pWidget->height() * s));
    pWidget->move(int(pWidget->x() * s), int(pWidget->y() * s));
}

void CentreOnDesktop(QWidget* pWidget)
{
    const QDesktopWidget* pDesktop = QApplication::desktop();
    pWidget->move((pDesktop->width() - pWidget->width()) / 2, (pDesktop->height() - pWidget->height()) / 2);
}
