// OvraPrintSetting: the printer settings tool of the Ovra printers.
#include "ovralog.h"
#include "ovraprogram.h"
#include "translation.h"
#include "widget.h"

#include <QApplication>
#include <QTranslator>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    SetOvraProgram(en_Program_PrintSetting);
    EnableLogOnRequest();
    InitSettingResources();
    QTranslator translator;
    InstallTranslation(app, translator);
    Widget window;
    window.show();
    return app.exec();
}
