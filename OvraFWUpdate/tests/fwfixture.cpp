#include "fwfixture.h"

#include <QApplication>
#include <QFile>

std::vector<uint8_t> FirmwareImage(size_t size)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = uint8_t(i * 131 + i / 509);
    return bytes;
}

bool WriteFile(const QString& path, const std::vector<uint8_t>& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) == qint64(bytes.size());
}

FileDialogDriver::FileDialogDriver()
{
    connect(&m_timer, &QTimer::timeout, this, &FileDialogDriver::SlotPoll);
    m_timer.start(20);
}

void FileDialogDriver::SlotPoll()
{
    QFileDialog* pDialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!pDialog || !pDialog->isVisible() || pDialog->property("answered").toBool())
        return;
    pDialog->setProperty("answered", true);
    stShown shown;
    shown.strCaption = pDialog->windowTitle();
    shown.strDirectory = pDialog->directory().absolutePath();
    shown.listFilters = pDialog->nameFilters();
    shown.enMode = pDialog->fileMode();
    m_listShown << shown;
    if (m_listChoices.isEmpty()) {
        pDialog->reject();
        return;
    }
    pDialog->selectFile(m_listChoices.takeFirst());
    static_cast<QDialog*>(pDialog)->accept(); // QFileDialog::accept, public through QDialog
}
