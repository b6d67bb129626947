#pragma once

#include <QLocale>

class QApplication;
class QTranslator;

// Registers the compiled-in logo and catalogues (they live in a static library).
void InitFWUpdateResources();

// Loads the Russian catalogue for Russian (the system locale's language unless told
// otherwise); the English one when that did not load and for every other language.
// Installs the translator when a catalogue loaded; false when none could be.
bool InstallTranslation(QApplication& app, QTranslator& translator,
                        QLocale::Language language = QLocale::system().language());
