// Which message a channel result gives on the task pages. The names are the last part
// of the message keys ("Failed_Printer_Ping" of "CleanForm.Message.Failed_Printer_Ping").
#pragma once

#include <QString>

// Cleaning and calibration commands: a request counts as done once it was written
// (USB 0 or -7, UDP 0). Empty for success, else the message name.
QString MaintenanceResultMessage(bool bUsb, int iResult);

// Network page, USB channel: read and write requests. Empty for 0.
QString NetResultMessage(int iResult);
