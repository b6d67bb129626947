// A pipe that turns readable once and stays readable: every poll() that watches it
// returns as soon as the scanner stops.
#pragma once

namespace ovraemu {

class StopPipe
{
public:
    StopPipe();
    ~StopPipe();
    StopPipe(const StopPipe&) = delete;
    StopPipe& operator=(const StopPipe&) = delete;

    bool IsOpen() const { return m_read >= 0; }
    int Fd() const { return m_read; }
    void Raise();
    // Drains the pipe so it can be raised anew (only when no thread watches it).
    void Reset();

private:
    int m_read = -1;
    int m_write = -1;
};

} // namespace ovraemu
