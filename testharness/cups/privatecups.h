// A private CUPS scheduler for a test, run by the ovra-test-cups script in a folder of
// the test (usually a QTemporaryDir). The CUPS commands (lpstat, cancel) reach it through
// CUPS_SERVER (its Unix socket); its printers.conf and ppd/ lie under CUPS_SERVERROOT.
//
// Its usb, socket and ipp backends keep each job "printing" until it is cancelled.
#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

class PrivateCups
{
public:
    explicit PrivateCups(const QString& dir);
    ~PrivateCups() { Stop(); }
    PrivateCups(const PrivateCups&) = delete;
    PrivateCups& operator=(const PrivateCups&) = delete;

    // Starts cupsd and sets CUPS_SERVER and CUPS_SERVERROOT in this process's environment,
    // so child processes (lpstat, cancel, ...) talk to it. With two fixtures running, the
    // last started one owns these variables; use Environment() for the other one.
    bool Start(QString* error = nullptr);
    // Stops cupsd and its backends; does nothing when not running.
    void Stop();
    bool IsRunning() const { return m_running; }

    // Adds an enabled queue that accepts jobs; ppdPath is copied to ServerRoot()/ppd/<name>.ppd.
    bool AddQueue(const QString& name, const QString& uri, const QString& ppdPath, QString* error = nullptr);
    // Submits data as a raw job; returns the job id ("q-3"), empty on failure.
    QString Print(const QString& queue, const QByteArray& data, QString* error = nullptr);
    // Runs `cancel jobIdOrQueue` against this scheduler.
    bool Cancel(const QString& jobIdOrQueue, QString* error = nullptr);

    // What the backend received for a job (empty before the backend ran).
    QByteArray JobData(const QString& jobId) const;
    // Runs a program (lpstat, ...) against this scheduler; returns its exit code, -1 if it
    // could not run or timed out.
    int Run(const QString& program, const QStringList& args, QByteArray* output = nullptr,
            QByteArray* errors = nullptr) const;

    QString Dir() const { return m_dir; }
    QString ServerRoot() const { return m_serverRoot; } // CUPS_SERVERROOT, empty before Start
    QString Socket() const { return m_socket; }         // CUPS_SERVER, empty before Start
    qint64 CupsdPid() const;                            // 0 when not running
    // The system environment with CUPS_SERVER and CUPS_SERVERROOT of this scheduler.
    QProcessEnvironment Environment() const;

    // A test PPD shipped with the fixture: "ovra-p2200dn", "ovra-mk246", "acme-laserjet-100".
    static QString PpdPath(const QString& name);
    static QString ScriptPath();

private:
    bool RunScript(const QStringList& args, QByteArray* output, QString* error) const;

    QString m_dir;
    QString m_serverRoot;
    QString m_socket;
    bool m_running = false;
};
