// OvraPrinterTool: the tray status monitor of the Ovra printers.
#include "checkisrunning.h"
#include "ovrajournal.h"
#include "ovracommandline.h"
#include "ovraprintertoolwidget.h"
#include "ovraprogram.h"
#include "translation.h"
#include "trayoptions.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>

namespace {

void ShowAlreadyRunning()
{
    QMessageBox box(QMessageBox::Information, QObject::tr("Ovra_Helper"),
                    QObject::tr("Ovra_Helper") + " " + QObject::tr("MainWindow.Message.Running"));
    box.addButton(QObject::tr("MainWindow.Message.Confirm"), QMessageBox::AcceptRole);
    box.exec();
}

} // namespace

int main(int argc, char* argv[])
{
    OvraCommandLine commandLine("The tray status monitor of the Ovra printers: every printer with its "
                                "connection, toner and status, and a balloon for each error and warning.",
                                "[-hide] [--help] [--version]");
    commandLine.AddSingleDashWord("hide", "Given as -hide: the tray icon only at start.");
    const int iExit = commandLine.ProcessBeforeDisplay(argc, argv);
    if (iExit != OvraCommandLine::kRun)
        return iExit;
    QApplication app(argc, argv);
    InitTrayResources();
    QTranslator translator;
    SetOvraProgram(en_Program_PrinterTool);
    InstallTranslation(app, translator);
    if (CheckIsRunning()) {
        OvraJournalLine("OvraPrinterTool: already running for this user, this start ends");
        ShowAlreadyRunning();
        return 0;
    }
    // The window hides to the tray when closed; only Exit ends the program. Without a
    // tray area the window is shown, "-hide" or not.
    app.setQuitOnLastWindowClosed(false);
    OvraPrinterToolWidget window;
    window.ShowAtStart(CheckIsHide(argc, argv));
    return app.exec();
}
