// Starting an emulated scanner in a QtTest function: port 80 needs root, so without it
// the test is skipped with a reason instead of failing.
#pragma once

#include "ovraemu/netscanner.h"

#include <QtTest>

#include <unistd.h>

#define START_SCANNER_OR_SKIP(scanner)                                                                                 \
    do {                                                                                                               \
        std::string startError_;                                                                                       \
        if (!(scanner).Start(&startError_)) {                                                                          \
            if (geteuid() != 0)                                                                                        \
                QSKIP("the network scanner listens on port 80, which needs root");                                     \
            QFAIL(startError_.c_str());                                                                                \
        }                                                                                                              \
    } while (0)
