#include "filekinds.h"

#include <regex>

namespace ovrabench {

namespace {

bool EndsWith(const std::string& text, const std::string& suffix)
{
    return text.size() > suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

} // namespace

bool IsAsideName(const std::string& name)
{
    static const std::regex aside(R"(#\d+|.+\.(dat|ini|hb)\.[A-Za-z0-9]{6})");
    return std::regex_match(name, aside);
}

FileKind KindOf(const std::string& fileName)
{
    static const std::regex scratch(R"((printer|printjob)_\d+\.tmp)");
    static const std::string lockSuffix = ".lock";
    const std::string name =
        EndsWith(fileName, lockSuffix) ? fileName.substr(0, fileName.size() - lockSuffix.size()) : fileName;
    if (name == "printerlist.ini")
        return FileKind::List;
    if (name == "service.hb")
        return FileKind::Heartbeat;
    if (std::regex_match(name, scratch))
        return FileKind::Scratch;
    if (EndsWith(name, ".dat"))
        return FileKind::Status;
    return FileKind::Other;
}

const char* KindName(FileKind kind)
{
    switch (kind) {
    case FileKind::Status: return "status";
    case FileKind::List: return "list";
    case FileKind::Heartbeat: return "heartbeat";
    case FileKind::Scratch: return "scratch";
    case FileKind::Other: return "other";
    }
    return "other";
}

} // namespace ovrabench
