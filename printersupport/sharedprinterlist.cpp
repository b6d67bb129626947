#include "sharedprinterlist.h"

int SharedPrinterList::Size() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return m_list.size();
}

// Entry by entry, not an implicitly shared copy of the list: WriteBack writes entries in
// place once no copy shares them, and Qt's test for that is a relaxed load, which does not
// order the reads another thread made through its copy before letting it go.
QList<stPrinterManager> SharedPrinterList::Snapshot() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    QList<stPrinterManager> list;
    list.reserve(m_list.size());
    for (const stPrinterManager& entry : m_list)
        list.append(entry);
    return list;
}

bool SharedPrinterList::CopyEntry(int i, stPrinterManager& entry) const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    if (i < 0 || i >= m_list.size())
        return false;
    entry = m_list.at(i);
    return true;
}

bool SharedPrinterList::IsSamePrinter(int i, const stPrinterInfo& info) const
{
    if (i < 0 || i >= m_list.size())
        return false;
    const stPrinterInfo& listed = m_list.at(i).stInfo;
    return listed.strName == info.strName && listed.strURI == info.strURI;
}

bool SharedPrinterList::WithSamePrinter(int i, const stPrinterInfo& info, const std::function<void()>& fn)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    if (!IsSamePrinter(i, info))
        return false;
    fn();
    return true;
}

bool SharedPrinterList::WriteBack(int i, const stPrinterManager& entry)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    if (!IsSamePrinter(i, entry.stInfo))
        return false;
    stPrinterManager& target = m_list[i];
    const bool bReady = target.bReady;
    target = entry;
    target.bReady = bReady;
    return true;
}

void SharedPrinterList::Replace(const QList<stPrinterManager>& list)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    m_list = list;
}

void SharedPrinterList::SetAllReady()
{
    std::lock_guard<std::mutex> locker(m_mutex);
    for (stPrinterManager& entry : m_list)
        entry.bReady = true;
}

QList<stPrinterInfo> SharedPrinterList::Infos() const
{
    std::lock_guard<std::mutex> locker(m_mutex);
    QList<stPrinterInfo> infos;
    for (const stPrinterManager& entry : m_list)
        infos.append(entry.stInfo);
    return infos;
}
