// A standalone USB emulator started for a test: steered over its control socket, with
// programs run under its testbed as the env file announces it.
#pragma once

#include "controlsocket.h"

#include <QtTest>

struct ProgramResult {
    int exitCode = -1; // -1 when the program crashed or was killed
    QString output;    // standard output
};

// Waits for the program to end, killing it after 20 s.
inline ProgramResult Finish(QProcess& process)
{
    if (!process.waitForFinished(20000))
        process.kill();
    process.waitForFinished();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput())};
}

inline QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

class StandaloneEmulator
{
public:
    // Starts `program` with its control socket and env file in `dir`, and the
    // arguments that make its devices; waits up to 5 s for the env file.
    StandaloneEmulator(const QString& program, const QTemporaryDir& dir, const QStringList& devices)
        : socket_(dir.filePath("control.sock"))
    {
        const QString envFile = dir.filePath("emu.env");
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(program, QStringList{"--socket", socket_, "--env-file", envFile} + devices);
        QElapsedTimer timer;
        timer.start();
        while (!QFile::exists(envFile) && timer.elapsed() < 5000)
            QThread::msleep(20);
        for (const QString& line : QString::fromLocal8Bit(ReadFile(envFile)).split('\n', Qt::SkipEmptyParts))
            testbed_.insert(line.section('=', 0, 0), line.section('=', 1));
    }
    ~StandaloneEmulator()
    {
        Command("quit");
        if (!process_.waitForFinished(5000))
            process_.kill();
    }

    // The env file's variables: UMOCKDEV_DIR, and LD_PRELOAD when the emulator preloads
    // libraries of its own.
    const QProcessEnvironment& Testbed() const { return testbed_; }
    bool Ready() const { return testbed_.contains("UMOCKDEV_DIR"); }

    QString Command(const QString& line) const
    {
        const auto reply = ovraemu::SendControlCommand(socket_.toStdString(), line.toStdString());
        return reply ? QString::fromStdString(*reply) : QStringLiteral("<no answer>");
    }

    // Runs a program under the umockdev preload library and the env file's variables.
    ProgramResult Run(const QString& program, const QStringList& args) const
    {
        QProcess client;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LD_PRELOAD", "libumockdev-preload.so.0");
        env.insert(testbed_);
        client.setProcessEnvironment(env);
        client.start(program, args);
        return Finish(client);
    }

private:
    QString socket_;
    QProcessEnvironment testbed_;
    QProcess process_;
};
