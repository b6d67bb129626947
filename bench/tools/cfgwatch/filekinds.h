// The kinds of files in the install root's cfg/ folder, by name: status files, the
// printer list, the heartbeat, the command scratch files, and the rest. A file written
// aside and then renamed or linked into place ("x.dat.AbCdEf", or an unnamed temporary
// file that the folder watch sees as "#12345") counts once, under its final name; a
// lock file ("x.ini.lock") counts with its file.
#pragma once

#include <string>

namespace ovrabench {

enum class FileKind {
    Status,
    List,
    Heartbeat,
    Scratch,
    Other
};

// Whether `name` is a file written aside, before it goes into place.
bool IsAsideName(const std::string& name);
FileKind KindOf(const std::string& name);
const char* KindName(FileKind kind);

} // namespace ovrabench
