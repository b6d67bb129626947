#include "sharedprinterlist.h"

#include <QMutexLocker>

int SharedPrinterList::Size() const
{
    QMutexLocker locker(&m_mutex);
    return m_list.size();
}

QList<stPrinterManager> SharedPrinterList::Snapshot() const
{
    QMutexLocker locker(&m_mutex);
    return m_list;
}

bool SharedPrinterList::CopyEntry(int i, stPrinterManager& entry) const
{
    QMutexLocker locker(&m_mutex);
    if (i < 0 || i >= m_list.size())
        return false;
    entry = m_list.at(i);
    return true;
}

bool SharedPrinterList::WriteBack(int i, const stPrinterManager& entry)
{
    QMutexLocker locker(&m_mutex);
    if (i < 0 || i >= m_list.size())
        return false;
    stPrinterManager& target = m_list[i];
    if (target.stInfo.strName != entry.stInfo.strName || target.stInfo.strURI != entry.stInfo.strURI)
        return false;
    const bool bReady = target.bReady;
    target = entry;
    target.bReady = bReady;
    return true;
}

void SharedPrinterList::Replace(const QList<stPrinterManager>& list)
{
    QMutexLocker locker(&m_mutex);
    m_list = list;
}

void SharedPrinterList::SetAllReady()
{
    QMutexLocker locker(&m_mutex);
    for (stPrinterManager& entry : m_list)
        entry.bReady = true;
}

QList<stPrinterInfo> SharedPrinterList::Infos() const
{
    QMutexLocker locker(&m_mutex);
    QList<stPrinterInfo> infos;
    for (const stPrinterManager& entry : m_list)
        infos.append(entry.stInfo);
    return infos;
}
