// Reading the CUPS configuration: the queues of printers.conf and their PPD model names.
#pragma once

#include "printerinfo.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

// Whether a queue's driver names a supported model; fills the model name as the PPD writes it.
using DriverMatchFn = std::function<bool(const QString& strQueue, QString& strModel)>;

// The USB and socket queues of a printers.conf text, in file order. With a driver check,
// only the queues the check accepts, with their model name filled in.
QList<stPrinterInfo> ParseCupsPrinters(const QByteArray& content, const DriverMatchFn& checkDriver);

// printers.conf (or printers.conf.O when that cannot be read) under the CUPS server root.
QList<stPrinterInfo> ReadCupsPrinters(bool bCheckDriver);

// The supported model a PPD's "*ModelName" line names, if any.
bool FindModelInPpd(const QByteArray& content, QString& strModel);

// The queue's PPD (ppd/<queue>.ppd under the CUPS server root) names a supported model.
bool CheckDriverMatch(const QString& strQueue, QString& strModel);
