#include "translation.h"

#include <QApplication>
#include <QLocale>
#include <QTranslator>

void InitSettingResources()
{
    Q_INIT_RESOURCE(resources);
    Q_INIT_RESOURCE(language);
}

bool InstallTranslation(QApplication& app, QTranslator& translator)
{
    const bool bLoaded = (QLocale().language() == QLocale::Russian && translator.load(":/Language/ru_ru.qm"))
                         || translator.load(":/Language/en_us.qm");
    if (bLoaded)
        app.installTranslator(&translator);
    return bLoaded;
}
