#include "ovracommandline.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>
#include <memory>

namespace {

// Options QGuiApplication takes from the command line, with and without a value.
const QStringList kQtValueOptions = {
    "platform",    "platformpluginpath", "platformtheme", "plugin", "display",    "qwindowgeometry", "geometry",
    "qwindowicon", "qwindowtitle",       "title",         "style",  "stylesheet", "session",         "name"};
const QStringList kQtFlagOptions = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

QString ProgramName(const QStringList& listArguments)
{
    return listArguments.isEmpty() ? QCoreApplication::applicationName() : QFileInfo(listArguments.first()).fileName();
}

} // namespace

OvraCommandLine::OvraCommandLine(const QString& strDescription, const QString& strSynopsis) : m_strSynopsis(strSynopsis)
{
    m_parser.setApplicationDescription(strDescription);
    m_parser.addHelpOption();
    m_parser.addVersionOption();
}

void OvraCommandLine::AddSingleDashWord(const QString& strWord, const QString& strDescription)
{
    m_listSingleDashWords << strWord;
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.addOption(QCommandLineOption(strWord, strDescription));
}

QStringList OvraCommandLine::Normalized(const QStringList& listArguments) const
{
    QStringList listResult = listArguments;
    for (int i = 1; i < listResult.size(); ++i) {
        for (const QString& strWord : m_listSingleDashWords) {
            if (listResult.at(i).compare("-" + strWord, Qt::CaseInsensitive) == 0)
                listResult[i] = "-" + strWord;
        }
    }
    return listResult;
}

int OvraCommandLine::Process(const QStringList& listArguments)
{
    const QString strProgram = ProgramName(listArguments);
    if (!m_parser.parse(Normalized(listArguments))) {
        std::fprintf(stderr, "%s: %s\nusage: %s %s\n", qPrintable(strProgram), qPrintable(m_parser.errorText()),
                     qPrintable(strProgram), qPrintable(m_strSynopsis));
        return en_Exit_Usage;
    }
    if (m_parser.isSet("help")) {
        // The program's name, not the path it was started by.
        QString strHelp = m_parser.helpText();
        if (!QCoreApplication::arguments().isEmpty())
            strHelp.replace("Usage: " + QCoreApplication::arguments().first(), "Usage: " + strProgram);
        std::fputs(qPrintable(strHelp), stdout);
        return en_Exit_Ok;
    }
    if (m_parser.isSet("version")) {
        PrintOvraVersion(qPrintable(strProgram));
        return en_Exit_Ok;
    }
    return kRun;
}

int OvraCommandLine::ProcessBeforeDisplay(int argc, char* argv[])
{
    for (const QString& strName : kQtValueOptions) {
        QCommandLineOption option(strName, QString(), "value");
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        m_parser.addOption(option);
    }
    for (const QString& strName : kQtFlagOptions) {
        QCommandLineOption option(strName);
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        m_parser.addOption(option);
    }
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    std::unique_ptr<QCoreApplication> pApp;
    if (!QCoreApplication::instance())
        pApp.reset(new QCoreApplication(argc, argv));
    return Process(QCoreApplication::arguments());
}
