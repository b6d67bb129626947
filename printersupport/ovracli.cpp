#include "ovracli.h"

#include <cstdio>

const char* OvraVersion() { return OVRA_VERSION; }

void PrintOvraVersion(const char* program) { std::printf("%s %s\n", program, OvraVersion()); }

int AnswerCommonOption(int option, const char* program, const char* usage)
{
    switch (option) {
    case en_Option_Help: std::fputs(usage, stdout); return en_Exit_Ok;
    case en_Option_Version: PrintOvraVersion(program); return en_Exit_Ok;
    case '?':
    case ':': std::fputs(usage, stderr); return en_Exit_Usage;
    default: return kOvraRun;
    }
}

int ParseCommonOptions(int argc, char* argv[], const char* program, const char* usage)
{
    static const option options[] = {OVRA_COMMON_LONG_OPTIONS, {nullptr, 0, nullptr, 0}};
    int code = 0;
    while ((code = getopt_long(argc, argv, "h", options, nullptr)) != -1) {
        const int exitStatus = AnswerCommonOption(code, program, usage);
        if (exitStatus != kOvraRun)
            return exitStatus;
    }
    if (optind < argc) {
        std::fprintf(stderr, "%s: unexpected argument '%s'\n", program, argv[optind]);
        std::fputs(usage, stderr);
        return en_Exit_Usage;
    }
    return kOvraRun;
}
