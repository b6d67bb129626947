#pragma once

class QApplication;
class QTranslator;

// Loads the catalogue of the system locale (Russian, else English) into the translator
// and installs it; false when none could be loaded (the keys then show as they are).
bool InstallTranslation(QApplication& app, QTranslator& translator);

// Registers the compiled-in icon and catalogues (they live in a static library).
void InitTrayResources();
