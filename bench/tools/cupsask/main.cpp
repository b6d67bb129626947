// The time of one job question as the print service's worker asks it (Get-Jobs of the
// queue's unfinished jobs, over the worker's kept connection): prints "ms=<time>" for
// each of COUNT questions after a first one that makes the connection.
//   ovra-bench-cupsask QUEUE [COUNT]
#include "cupsclient.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s QUEUE [COUNT]\n", argv[0]);
        return 2;
    }
    const QString strQueue = QString::fromLocal8Bit(argv[1]);
    const int iCount = argc > 2 ? std::atoi(argv[2]) : 11;
    CupsClient cups;
    enCupsAnswer enAnswer = en_Cups_Answered;
    cups.Jobs(strQueue, {}, &enAnswer);
    if (enAnswer != en_Cups_Answered) {
        std::fprintf(stderr, "CUPS does not answer\n");
        return 1;
    }
    for (int i = 0; i < iCount; ++i) {
        const auto start = std::chrono::steady_clock::now();
        cups.Jobs(strQueue, {}, &enAnswer);
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        std::printf("ms=%.3f\n", took.count());
    }
    return 0;
}
