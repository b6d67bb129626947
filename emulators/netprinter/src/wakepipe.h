// A self-pipe: another thread makes the read end readable to wake a poll() at once.
#pragma once

namespace ovraemu {

class WakePipe
{
public:
    WakePipe();
    ~WakePipe();
    WakePipe(const WakePipe&) = delete;
    WakePipe& operator=(const WakePipe&) = delete;

    bool IsOpen() const { return m_read >= 0; }
    int ReadFd() const { return m_read; }
    void Wake();

private:
    int m_read = -1;
    int m_write = -1;
};

} // namespace ovraemu
