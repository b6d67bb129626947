#include "privatecups.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryFile>

namespace {

const int c_iScriptTimeoutMs = 60000;
const int c_iCommandTimeoutMs = 30000;

void SetError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

} // namespace

PrivateCups::PrivateCups(const QString& dir) : m_dir(QDir(dir).absolutePath()) {}

QString PrivateCups::ScriptPath() { return QStringLiteral(OVRA_TEST_CUPS_SCRIPT); }

QString PrivateCups::PpdPath(const QString& name)
{
    const QString file = name.endsWith(".ppd") ? name : name + ".ppd";
    return QStringLiteral(OVRA_TEST_CUPS_PPD_DIR) + '/' + file;
}

bool PrivateCups::RunScript(const QStringList& args, QByteArray* output, QString* error) const
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // The script leaves a watcher that stops cupsd should this process die without Stop().
    env.insert("OVRA_TEST_CUPS_OWNER_PID", QString::number(QCoreApplication::applicationPid()));
    process.setProcessEnvironment(env);
    process.start("/bin/bash", QStringList{ScriptPath()} + args);
    if (!process.waitForFinished(c_iScriptTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        SetError(error, QString("ovra-test-cups %1: did not finish").arg(args.value(0)));
        return false;
    }
    if (output)
        *output = process.readAllStandardOutput();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        SetError(error, QString("ovra-test-cups %1 failed (%2): %3")
                            .arg(args.value(0))
                            .arg(process.exitCode())
                            .arg(QString::fromLocal8Bit(process.readAllStandardError()).trimmed()));
        return false;
    }
    return true;
}

bool PrivateCups::Start(QString* error)
{
    if (m_running) {
        SetError(error, "already started");
        return false;
    }
    QByteArray output;
    if (!RunScript({"start", m_dir}, &output, error))
        return false;
    m_running = true;

    // "export CUPS_SERVER=/.../run/cups.sock"
    for (const QByteArray& line : output.split('\n')) {
        const QByteArray assignment = line.trimmed();
        if (!assignment.startsWith("export "))
            continue;
        const int eq = assignment.indexOf('=');
        const QByteArray name = assignment.mid(7, eq - 7);
        QByteArray value = assignment.mid(eq + 1);
        if (value.endsWith(';'))
            value.chop(1);
        if (name == "CUPS_SERVER")
            m_socket = QString::fromLocal8Bit(value);
        else if (name == "CUPS_SERVERROOT")
            m_serverRoot = QString::fromLocal8Bit(value);
    }
    if (m_socket.isEmpty() || m_serverRoot.isEmpty()) {
        SetError(error,
                 "ovra-test-cups start printed no CUPS_SERVER/CUPS_SERVERROOT: " + QString::fromLocal8Bit(output));
        Stop();
        return false;
    }
    qputenv("CUPS_SERVER", m_socket.toLocal8Bit());
    qputenv("CUPS_SERVERROOT", m_serverRoot.toLocal8Bit());
    return true;
}

void PrivateCups::Stop()
{
    if (!m_running)
        return;
    QString error;
    if (!RunScript({"stop", m_dir}, nullptr, &error))
        qWarning("PrivateCups: %s", qPrintable(error));
    m_running = false;
    if (!m_socket.isEmpty() && qgetenv("CUPS_SERVER") == m_socket.toLocal8Bit()) {
        qunsetenv("CUPS_SERVER");
        qunsetenv("CUPS_SERVERROOT");
    }
}

bool PrivateCups::AddQueue(const QString& name, const QString& uri, const QString& ppdPath, QString* error)
{
    return RunScript({"add-queue", m_dir, name, uri, ppdPath}, nullptr, error);
}

QString PrivateCups::Print(const QString& queue, const QByteArray& data, QString* error)
{
    QTemporaryFile file(m_dir + "/print-XXXXXX.data");
    if (!file.open() || file.write(data) != data.size() || !file.flush()) {
        SetError(error, "cannot write the job file in " + m_dir);
        return QString();
    }
    QByteArray output;
    if (!RunScript({"print", m_dir, queue, file.fileName()}, &output, error))
        return QString();
    return QString::fromLocal8Bit(output).trimmed();
}

bool PrivateCups::Cancel(const QString& jobIdOrQueue, QString* error)
{
    QByteArray errors;
    const int code = Run("cancel", {jobIdOrQueue}, nullptr, &errors);
    if (code != 0) {
        SetError(error, QString("cancel %1 failed (%2): %3")
                            .arg(jobIdOrQueue)
                            .arg(code)
                            .arg(QString::fromLocal8Bit(errors).trimmed()));
        return false;
    }
    return true;
}

int PrivateCups::Run(const QString& program, const QStringList& args, QByteArray* output, QByteArray* errors) const
{
    QProcess process;
    process.setProcessEnvironment(Environment());
    process.start(program, args);
    if (!process.waitForFinished(c_iCommandTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (output)
        *output = process.readAllStandardOutput();
    if (errors)
        *errors = process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QByteArray PrivateCups::JobData(const QString& jobId) const
{
    QFile file(m_dir + "/out/" + jobId + ".data");
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

qint64 PrivateCups::CupsdPid() const
{
    if (!m_running)
        return 0;
    QFile file(m_dir + "/run/cupsd.pid");
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toLongLong() : 0;
}

QProcessEnvironment PrivateCups::Environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!m_socket.isEmpty()) {
        env.insert("CUPS_SERVER", m_socket);
        env.insert("CUPS_SERVERROOT", m_serverRoot);
    }
    return env;
}
