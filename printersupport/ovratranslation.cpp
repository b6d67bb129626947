#include "ovratranslation.h"

#include <QCoreApplication>
#include <QTranslator>

bool InstallTranslation(QCoreApplication& app, QTranslator& translator, QLocale::Language language)
{
    const bool bRussian = language == QLocale::Russian;
    const bool bLoaded = (bRussian && translator.load(":/Language/ru_ru.qm")) || translator.load(":/Language/en_us.qm");
    if (bLoaded)
        app.installTranslator(&translator);
    return bLoaded;
}
