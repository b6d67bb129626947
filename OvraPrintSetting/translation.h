#pragma once

class QApplication;
class QTranslator;

// Registers the compiled-in pictures and catalogues (they live in a static library).
void InitSettingResources();

// Loads the Russian catalogue under a Russian locale, else (or when that fails) the
// English one, and installs it; false when none could be loaded.
bool InstallTranslation(QApplication& app, QTranslator& translator);
