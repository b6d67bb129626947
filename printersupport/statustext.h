// What a printer's state reads as, in the tray's three languages.
#pragma once

#include "printerstate.h"

#include <QString>

enum enStatusLanguage {
    en_Language_English = 0,
    en_Language_Chinese = 1,
    en_Language_Russian = 2,
};

// [value][language]: printer status values 0-11 and error/warning values 0-44.
extern const QString c_strStatusLanguageText[][3];
extern const QString c_strErrorDescText[][3];

// The table texts; empty for a value or language outside the tables.
QString StatusText(int enStatus, int iLanguage);
QString ErrorText(int enError, int iLanguage);

// Remaining toner in hundredths of a percent as shown: 8550 -> "85.50%".
QString RemainingTonerText(quint64 dwRemainingToner);

// The status cell: the first error if any; else the status, with the first warning in
// parentheses while printing.
QString StatusCellText(const stPrinterState& state, int iLanguage);
