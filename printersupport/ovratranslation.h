#pragma once

#include <QLocale>

class QCoreApplication;
class QTranslator;

// Loads the Russian catalogue (":/Language/ru_ru.qm") for Russian; the English one
// (":/Language/en_us.qm") when that did not load and for every other language. Installs
// the translator when a catalogue loaded; false when none could be (the keys then show
// as they are). The language is the default locale's unless told otherwise.
bool InstallTranslation(QCoreApplication& app, QTranslator& translator,
                        QLocale::Language language = QLocale().language());
