// Runs a command-line tool (ps, lpstat, cancel) with an argument vector, never through
// a shell, so names read from files are only ever arguments.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Runs the program with its standard output written into outputFile (made afresh with
// mode 0600), its errors discarded, and waits up to timeoutMs. Returns the exit code, or -1 when the
// program could not be started or did not finish in time.
int RunCommandToFile(const QString& program, const QStringList& arguments, const QString& outputFile,
                     int timeoutMs = 30000);

// Runs the program and returns its standard output (empty when it could not run).
QByteArray RunCommandOutput(const QString& program, const QStringList& arguments, int timeoutMs = 30000);

// The same without keeping the output.
int RunCommand(const QString& program, const QStringList& arguments, int timeoutMs = 30000);
