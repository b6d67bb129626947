#include "commandrunner.h"

#include "childprocess.h"
#include "filemodes.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

namespace {

// The output file is made afresh and is this program's alone before the command writes
// into it: nobody else can hold it open and slip lines into what the caller reads, and
// the command writes into exactly the file made here.
int CreatePrivateFile(const QString& strPath)
{
    QFile::remove(strPath);
    return ::open(QFile::encodeName(strPath).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  c_iPrivateFileMode);
}

int RunWithOutput(const QString& program, const QStringList& arguments, int iOutputFd, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    stChildOutput output;
    output.iFd = iOutputFd;
    const pid_t pid = StartChild(program, arguments, output);
    return pid < 0 ? -1 : WaitChild(pid, deadline);
}

} // namespace

int RunCommandToFile(const QString& program, const QStringList& arguments, const QString& outputFile, int timeoutMs)
{
    const int fd = CreatePrivateFile(outputFile);
    if (fd < 0)
        return -1;
    const int code = RunWithOutput(program, arguments, fd, timeoutMs);
    ::close(fd);
    return code;
}

QByteArray RunCommandOutput(const QString& program, const QStringList& arguments, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return QByteArray();
    stChildOutput output;
    output.iFd = pipeFds[1];
    const pid_t pid = StartChild(program, arguments, output);
    ::close(pipeFds[1]);
    QByteArray data;
    bool complete = pid >= 0 && ReadAllUntil(pipeFds[0], deadline, data);
    ::close(pipeFds[0]);
    if (pid >= 0 && WaitChild(pid, complete ? deadline : QDeadlineTimer(0)) < 0)
        complete = false;
    return complete ? data : QByteArray();
}

int RunCommand(const QString& program, const QStringList& arguments, int timeoutMs)
{
    return RunWithOutput(program, arguments, -1, timeoutMs);
}
