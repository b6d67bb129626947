// The command line of the suite's Qt programs: --help and --version beside the program's
// own options, a usage line and exit status 2 for a wrong option.
#pragma once

#include "ovracli.h"

#include <QCommandLineParser>
#include <QStringList>

class OvraCommandLine
{
public:
    // What Process() returns when the program goes on with its work.
    static constexpr int kRun = kOvraRun;

    // strSynopsis: the arguments after the program name in the usage line ("[--json]").
    OvraCommandLine(const QString& strDescription, const QString& strSynopsis);

    QCommandLineParser& Parser() { return m_parser; }

    // A single-dash word ("-hide") as the desktop programs have always taken it, matched
    // in any letter case.
    void AddSingleDashWord(const QString& strWord, const QString& strDescription);

    // Parses the arguments (the program name first). kRun when the program goes on;
    // otherwise the exit status (en_Exit_Ok or en_Exit_Usage) once the help, the version
    // or the usage line is printed. Needs a QCoreApplication for the program's name.
    int Process(const QStringList& listArguments);

    // For a desktop program before its QApplication exists (that one needs a display):
    // Process() under a temporary QCoreApplication, so that --help, --version and a wrong
    // option are answered on a terminal without a display. Qt's own options (-platform,
    // -display, -style ...) are let through for the QApplication.
    int ProcessBeforeDisplay(int argc, char* argv[]);

private:
    QStringList Normalized(const QStringList& listArguments) const;

    QCommandLineParser m_parser;
    QString m_strSynopsis;
    QStringList m_listSingleDashWords;
};
