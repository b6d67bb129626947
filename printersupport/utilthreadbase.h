// Base of every worker object that lives in a thread of its own.
#pragma once

#include <QObject>
#include <QString>

#include <atomic>

class UtilThreadBase : public QObject
{
    Q_OBJECT
public:
    explicit UtilThreadBase(QObject* parent = nullptr);

    // Sleeps about ms milliseconds in 500 ms slices and returns the quit flag: a quit
    // request is noticed within one slice; the remainder below 500 ms is slept whole.
    bool WaitForSleep(int ms);

    // False when the worker's loop already runs (a second start); else marks it running.
    bool StartRunning();

    bool bRunning = false;          // touched only on the worker's own thread
    std::atomic<bool> bQuit{false}; // set from any thread

public slots:
    // Asks the worker's loop to end; it notices within one sleep slice.
    void SlotThreadQuit();
};

// True when the folder exists or could be made (with its parents).
bool MakePathExist(const QString& strPath);
