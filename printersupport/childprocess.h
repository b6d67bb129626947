// Starting a command-line tool from a program that runs several threads, and waiting for
// it with a deadline. posix_spawn starts the tool without copying the caller's memory
// mappings (no fork of a multi-threaded process), and the tool gets no descriptor beyond
// its standard three, so a tool started by one thread never holds another's pipe.
#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <QStringList>

#include <sys/types.h>

// Where the tool's standard output goes: a descriptor the caller opened, or nowhere.
struct stChildOutput {
    int iFd = -1; // -1: /dev/null
};

// Starts program (searched in PATH) with its standard input and errors on /dev/null.
// Returns the process id, or -1 when it could not be started.
pid_t StartChild(const QString& program, const QStringList& arguments, const stChildOutput& output);

// Waits until the child ends or the deadline passes; then the child is killed. Either way
// it is collected. Returns the exit code, or -1 when it was killed, died of a signal or ran
// past the deadline.
int WaitChild(pid_t pid, QDeadlineTimer deadline);

// Reads fd up to its end or the deadline. Returns false at the deadline.
bool ReadAllUntil(int fd, QDeadlineTimer deadline, QByteArray& data);
