// ovra-bench-cfgwatch: counts what is written into a folder during a time window, by
// kind of file. A write is a file closed after writing, or renamed into place; the
// files written aside before their rename are not counted twice. Prints one line:
//   seconds=S status_writes=N list_writes=N heartbeat_writes=N scratch_writes=N
//   other_writes=N deletes=N
// With OVRA_BENCH_TRACE=1 every event goes to standard error as it comes.
#include "benchclock.h"
#include "dirwatch.h"
#include "filekinds.h"

#include <sys/inotify.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

using namespace ovrabench;

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: ovra-bench-cfgwatch FOLDER SECONDS\n");
        return 2;
    }
    DirWatch watch(argv[1], IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE);
    if (!watch.Ok()) {
        std::fprintf(stderr, "ovra-bench-cfgwatch: cannot watch %s\n", argv[1]);
        return 1;
    }
    const double seconds = std::atof(argv[2]);
    const char* trace = std::getenv("OVRA_BENCH_TRACE");
    const bool bTrace = trace && std::string(trace) == "1";
    const double end = MonoSeconds() + seconds;
    std::map<FileKind, long> writes;
    long deletes = 0;
    for (double now = MonoSeconds(); now < end; now = MonoSeconds()) {
        for (const DirEvent& event : watch.Next(int((end - now) * 1000) + 1)) {
            if (bTrace)
                std::fprintf(stderr, "%.3f %08x %s\n", event.wallMs / 1000.0, event.mask, event.name.c_str());
            if (event.mask & IN_DELETE)
                ++deletes;
            else if (!IsAsideName(event.name))
                ++writes[KindOf(event.name)];
        }
    }
    std::printf("seconds=%g", seconds);
    for (FileKind kind : {FileKind::Status, FileKind::List, FileKind::Heartbeat, FileKind::Scratch, FileKind::Other})
        std::printf(" %s_writes=%ld", KindName(kind), writes[kind]);
    std::printf(" deletes=%ld\n", deletes);
    return 0;
}
