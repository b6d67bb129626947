// Windows of the tray monitor grow with desktops wider than 1920 pixels.
#pragma once

class QWidget;

// Width / 1920 of the desktop when it is wider than 1920 pixels, else 1.
float DesktopScale();
bool DesktopIsLarge();

// Scales a widget's size and position by s (each product truncated).
void ScaleGeometry(QWidget* pWidget, float s);

// Moves a top-level window to the middle of the desktop.
void CentreOnDesktop(QWidget* pWidget);
