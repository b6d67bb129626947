#include "translation.h"

#include <QApplication>
#include <QLocale>
#include <QTranslator>

void InitFWUpdateResources()
{
    Q_INIT_RESOURCE(fwupdate);
    Q_INIT_RESOURCE(fwlanguage);
}

bool InstallTranslation(QApplication& app, QTranslator& translator, QLocale::Language language)
{
    const bool bRussian = language == QLocale::Russian;
    const bool bLoaded =
        (bRussian && translator.load(":/Language/ru_ru.qm")) || translator.load(":/Language/en_us.qm");
    if (bLoaded)
        app.installTranslator(&translator);
    return bLoaded;
}
