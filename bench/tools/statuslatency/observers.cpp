#include "observers.h"

#include "dirwatch.h"
#include "folderlist.h"

#include <QDateTime>

#include <sys/inotify.h>

#include <chrono>
#include <fstream>
#include <regex>

namespace ovrabench {

namespace {

const char c_szStatusSuffix[] = ".dat";
const char c_szTrayLogPrefix[] = "log_tool_";
const int c_iTrayPollMs = 20;

std::vector<std::string> TrayLogFiles(const std::string& folder)
{
    std::vector<std::string> files;
    for (const std::string& name : FolderEntries(folder)) {
        if (name.compare(0, sizeof(c_szTrayLogPrefix) - 1, c_szTrayLogPrefix) == 0)
            files.push_back(folder + "/" + name);
    }
    return files;
}

} // namespace

bool ParseTrayStatusLine(const std::string& line, std::string& queue, int& status, double& wallMs)
{
    static const std::regex pattern(R"(^\[([0-9-]+ [0-9:.]+)\] \(.*\) (\S+): enCurrentStatus=(-?\d+)\s*$)");
    std::smatch match;
    if (!std::regex_match(line, match, pattern))
        return false;
    const QDateTime time = QDateTime::fromString(QString::fromStdString(match[1].str()), "yyyy-MM-dd hh:mm:ss.zzz");
    if (!time.isValid())
        return false;
    queue = match[2].str();
    status = std::stoi(match[3].str());
    wallMs = double(time.toMSecsSinceEpoch());
    return true;
}

Observers::Observers(ChangeLog& log, std::string statusFolder, std::string trayLogFolder)
    : m_log(log), m_statusFolder(std::move(statusFolder)), m_trayLogFolder(std::move(trayLogFolder)),
      m_statusThread([this] { WatchStatusFiles(); }), m_trayThread([this] { FollowTrayLog(); })
{
}

Observers::~Observers()
{
    m_stop = true;
    m_statusThread.join();
    m_trayThread.join();
}

void Observers::WatchStatusFiles()
{
    // A status file is written aside and renamed into place, or written in place.
    DirWatch watch(m_statusFolder, IN_MOVED_TO | IN_CLOSE_WRITE);
    const size_t suffix = sizeof(c_szStatusSuffix) - 1;
    while (!m_stop) {
        for (const DirEvent& event : watch.Next(200)) {
            const std::string& name = event.name;
            if (name.size() > suffix && name.compare(name.size() - suffix, suffix, c_szStatusSuffix) == 0)
                m_log.FileWritten(name.substr(0, name.size() - suffix), event.wallMs);
        }
    }
}

void Observers::FollowTrayLog()
{
    while (!m_stop) {
        for (const std::string& path : TrayLogFiles(m_trayLogFolder))
            ReadNewTrayLines(path);
        std::this_thread::sleep_for(std::chrono::milliseconds(c_iTrayPollMs));
    }
}

void Observers::ReadNewTrayLines(const std::string& path)
{
    std::ifstream file(path);
    long long& offset = m_trayLogOffsets[path];
    file.seekg(offset);
    std::string line;
    while (std::getline(file, line) && !file.eof()) {
        offset = file.tellg();
        std::string queue;
        int status = 0;
        double wallMs = 0;
        if (ParseTrayStatusLine(line, queue, status, wallMs))
            m_log.TrayShowed(queue, status, wallMs);
    }
}

} // namespace ovrabench
