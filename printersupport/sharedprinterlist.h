// The printer list a program's threads share: the device manager replaces it whole,
// each status worker copies its own entry out and writes it back. One mutex guards it;
// nothing slow ever runs while it is held.
#pragma once

#include "printerstate.h"

#include <QList>

#include <functional>
#include <mutex>

class SharedPrinterList
{
public:
    int Size() const;
    QList<stPrinterManager> Snapshot() const;

    // Copies entry i out; false when i lies beyond the list.
    bool CopyEntry(int i, stPrinterManager& entry) const;

    // Writes a worker's copy back into entry i if that entry still is the same printer
    // (same queue name and URI); the entry keeps its own bReady. False when dropped.
    bool WriteBack(int i, const stPrinterManager& entry);

    // Runs fn with the list held if entry i still is the printer of info (same queue name
    // and URI), so the list cannot be replaced meanwhile; false, fn not run, otherwise.
    // For a worker's write or delete of its printer's file: fn must be quick.
    bool WithSamePrinter(int i, const stPrinterInfo& info, const std::function<void()>& fn);

    void Replace(const QList<stPrinterManager>& list);
    void SetAllReady();

    // The printers' info in list order, for comparing with a new inventory.
    QList<stPrinterInfo> Infos() const;

private:
    bool IsSamePrinter(int i, const stPrinterInfo& info) const; // with the mutex held

    // A std::mutex rather than a QMutex: ThreadSanitizer sees its locking, while a QMutex
    // locks through futexes inside Qt, out of its sight unless Qt itself is built with it.
    mutable std::mutex m_mutex;
    QList<stPrinterManager> m_list;
};
