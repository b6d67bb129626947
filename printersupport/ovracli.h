// What every program of the suite answers on its command line, Qt or not: the version,
// the exit statuses of the command line itself, and the common options of the programs
// that read their options with getopt_long.
#pragma once

#include <getopt.h>

// Exit statuses a program gives for its command line.
enum enCommandLineExit {
    en_Exit_Ok = 0,      // --help, --version, or the work done
    en_Exit_Failure = 1, // the work failed
    en_Exit_Usage = 2,   // a wrong option or value; a usage line went to stderr
};

// What the command-line helpers return when the program goes on with its work.
constexpr int kOvraRun = -1;

// getopt_long codes of --help (also -h) and --version.
enum enCommonOption {
    en_Option_Help = 'h',
    en_Option_Version = 0x100
};

// The entries of --help and --version for a getopt_long option table.
#define OVRA_COMMON_LONG_OPTIONS                                                                                       \
    {"help", no_argument, nullptr, en_Option_Help}, { "version", no_argument, nullptr, en_Option_Version }

// The suite's version ("1.0.0"), the project's version in CMake.
const char* OvraVersion();

// "PROGRAM VERSION" on stdout, as --version answers it.
void PrintOvraVersion(const char* program);

// For an option getopt_long returned: en_Option_Help prints the usage on stdout (en_Exit_Ok),
// en_Option_Version the version (en_Exit_Ok), '?' or ':' (getopt has said what was wrong)
// the usage on stderr (en_Exit_Usage); kOvraRun for any other option.
int AnswerCommonOption(int option, const char* program, const char* usage);

// For a program whose only options are --help and --version: kOvraRun, or the exit status
// once the help, the version or the usage is printed. An argument that is no option is
// wrong too.
int ParseCommonOptions(int argc, char* argv[], const char* program, const char* usage);
