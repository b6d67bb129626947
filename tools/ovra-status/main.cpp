// ovra-status: the printers the print service has found, and what each one reports,
// read from the printer list and status files exactly as the tray monitor reads them.
//   ovra-status [--json] [--watch] [--interval SECONDS] [--russian]
#include "ovracommandline.h"
#include "printerinfo.h"
#include "statusfile.h"
#include "statustext.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <csignal>
#include <cstdio>

namespace {

struct stOptions {
    bool bJson = false;
    bool bWatch = false;
    int iIntervalMs = 1000;
    int iLanguage = en_Language_English;
};

struct stRow {
    stPrinterInfo info;
    stPrinterState state;
    bool bHasStatus = false;
};

volatile std::sig_atomic_t g_bStop = 0;

QString ConnectionText(int iConnectType)
{
    switch (iConnectType) {
    case en_Connect_USB: return "USB";
    case en_Connect_Network: return "network";
    default: return "unknown";
    }
}

QList<stRow> ReadRows()
{
    QList<stRow> rows;
    for (const stPrinterInfo& info : GetPrinterInfo()) {
        stRow row;
        row.info = info;
        row.bHasStatus = ReadStatusFile(info.strName, row.state);
        rows.append(row);
    }
    return rows;
}

QString FirstProblem(const stPrinterState& state, int iLanguage)
{
    if (!state.listErrorStatus.isEmpty())
        return ErrorText(state.listErrorStatus.first(), iLanguage);
    if (!state.listWarningStatus.isEmpty())
        return ErrorText(state.listWarningStatus.first(), iLanguage);
    return QString();
}

QJsonObject RowJson(const stRow& row)
{
    QJsonArray errors, warnings;
    for (int value : row.state.listErrorStatus)
        errors.append(value);
    for (int value : row.state.listWarningStatus)
        warnings.append(value);
    return QJsonObject{{"name", row.info.strName},
                       {"model", row.info.enType},
                       {"connection", ConnectionText(row.info.iConnectType)},
                       {"port", row.info.strPort},
                       {"status", row.state.enCurrentStatus},
                       {"statusText", StatusText(row.state.enCurrentStatus, en_Language_English)},
                       {"toner", double(row.state.dwRemainingToner) / 100.0},
                       {"errors", errors},
                       {"warnings", warnings},
                       {"hasStatusFile", row.bHasStatus}};
}

void PrintRows(const QList<stRow>& rows, const stOptions& options)
{
    if (options.bJson) {
        QJsonArray array;
        for (const stRow& row : rows)
            array.append(RowJson(row));
        std::printf("%s\n", QJsonDocument(array).toJson(QJsonDocument::Compact).constData());
    } else {
        if (options.bWatch)
            std::printf("-- %s\n", qPrintable(QDateTime::currentDateTime().toString("hh:mm:ss")));
        if (rows.isEmpty())
            std::printf("no printers listed\n");
        for (const stRow& row : rows) {
            const QString strProblem = FirstProblem(row.state, options.iLanguage);
            std::printf("%-20s %-8s %8s  %-28s %s\n", qPrintable(row.info.strName),
                        qPrintable(ConnectionText(row.info.iConnectType)),
                        qPrintable(RemainingTonerText(row.state.dwRemainingToner)),
                        qPrintable(StatusCellText(row.state, options.iLanguage)), qPrintable(strProblem));
        }
    }
    std::fflush(stdout);
}

bool SameRows(const QList<stRow>& a, const QList<stRow>& b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        const stPrinterState& x = a.at(i).state;
        const stPrinterState& y = b.at(i).state;
        if (a.at(i).info != b.at(i).info || x.enCurrentStatus != y.enCurrentStatus
            || x.dwRemainingToner != y.dwRemainingToner || x.listErrorStatus != y.listErrorStatus
            || x.listWarningStatus != y.listWarningStatus)
            return false;
    }
    return true;
}

const char kSynopsis[] = "[--json] [--watch] [--interval SECONDS] [--russian]";

// The options into the command line's parser; kRun, or the exit status the command line
// ends with.
int ParseOptions(OvraCommandLine& commandLine, stOptions& options)
{
    QCommandLineParser& parser = commandLine.Parser();
    parser.addOptions({{"json", "One JSON array of the printers, for scripts."},
                       {"watch", "Print again whenever a printer changes, until interrupted."},
                       {"interval", "Look for changes every SECONDS (default 1).", "SECONDS"},
                       {"russian", "Status and problem texts in Russian."}});
    const int iExit = commandLine.Process(QCoreApplication::arguments());
    if (iExit != OvraCommandLine::kRun)
        return iExit;
    options.bJson = parser.isSet("json");
    options.bWatch = parser.isSet("watch");
    if (parser.isSet("russian"))
        options.iLanguage = en_Language_Russian;
    if (parser.isSet("interval")) {
        bool bOk = false;
        const double seconds = parser.value("interval").toDouble(&bOk);
        if (!bOk || seconds <= 0) {
            std::fprintf(stderr, "ovra-status: bad interval '%s'\nusage: ovra-status %s\n",
                         qPrintable(parser.value("interval")), kSynopsis);
            return en_Exit_Usage;
        }
        options.iIntervalMs = int(seconds * 1000);
    }
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "ovra-status: unexpected argument '%s'\nusage: ovra-status %s\n",
                     qPrintable(parser.positionalArguments().first()), kSynopsis);
        return en_Exit_Usage;
    }
    return OvraCommandLine::kRun;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    stOptions options;
    OvraCommandLine commandLine("The printers the print service has found and what each one reports, read from "
                                "the printer list and status files as the tray monitor reads them.",
                                kSynopsis);
    const int iExit = ParseOptions(commandLine, options);
    if (iExit != OvraCommandLine::kRun)
        return iExit;
    QList<stRow> rows = ReadRows();
    PrintRows(rows, options);
    if (!options.bWatch)
        return en_Exit_Ok;
    std::signal(SIGINT, [](int) { g_bStop = 1; });
    std::signal(SIGTERM, [](int) { g_bStop = 1; });
    while (!g_bStop) {
        QThread::msleep(static_cast<unsigned long>(options.iIntervalMs));
        const QList<stRow> next = ReadRows();
        if (!SameRows(rows, next))
            PrintRows(next, options);
        rows = next;
    }
    return en_Exit_Ok;
}
