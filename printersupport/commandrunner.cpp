#include "commandrunner.h"

#include "filemodes.h"

#include <QFile>
#include <QProcess>

#include <fcntl.h>
#include <unistd.h>

namespace {

// The output file is made afresh and is this program's alone before the command writes
// into it: nobody else can hold it open and slip lines into what the caller reads.
void CreatePrivateFile(const QString& strPath)
{
    QFile::remove(strPath);
    const int fd = ::open(QFile::encodeName(strPath).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          c_iPrivateFileMode);
    if (fd >= 0)
        ::close(fd);
}

int Run(QProcess& process, const QString& program, const QStringList& arguments, int timeoutMs)
{
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForStarted(timeoutMs))
        return -1;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

} // namespace

int RunCommandToFile(const QString& program, const QStringList& arguments, const QString& outputFile, int timeoutMs)
{
    QProcess process;
    CreatePrivateFile(outputFile);
    process.setStandardOutputFile(outputFile, QIODevice::Truncate);
    return Run(process, program, arguments, timeoutMs);
}

QByteArray RunCommandOutput(const QString& program, const QStringList& arguments, int timeoutMs)
{
    QProcess process;
    process.setReadChannel(QProcess::StandardOutput);
    return Run(process, program, arguments, timeoutMs) < 0 ? QByteArray() : process.readAllStandardOutput();
}

int RunCommand(const QString& program, const QStringList& arguments, int timeoutMs)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    return Run(process, program, arguments, timeoutMs);
}
