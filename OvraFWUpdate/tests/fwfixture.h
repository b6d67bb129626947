// What the firmware helper's tests share besides the print service's files, the
// emulated printers of a model and the settings tool's message box answerer: firmware
// images and a driver for the file dialog.
#pragma once

#include "printerinfo.h"

#include "usbprinters.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <vector>

// Lets the helper's window run until the update under way has ended and the box
// with its result has been answered.
template <typename Window>
void WaitForUpdateEnd(const Window& window, int timeoutMs = 120000)
{
    QElapsedTimer timer;
    timer.start();
    while (window.IsUpdating() && timer.elapsed() < timeoutMs) {
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

// An image of `size` bytes with a pattern that changes every byte.
std::vector<uint8_t> FirmwareImage(size_t size);
// Writes bytes to a file; false when it could not be written whole.
bool WriteFile(const QString& path, const std::vector<uint8_t>& bytes);

// Waits for the helper's file dialog and answers it: selects the queued file and
// accepts, or rejects when none is queued. Records what the dialog showed.
class FileDialogDriver : public QObject
{
    Q_OBJECT
public:
    FileDialogDriver();
    void QueueChoice(const QString& path) { m_listChoices << path; }
    struct stShown {
        QString strCaption;
        QString strDirectory;
        QStringList listFilters;
        QFileDialog::FileMode enMode = QFileDialog::AnyFile;
    };
    QList<stShown> Shown() const { return m_listShown; }

private slots:
    void SlotPoll();

private:
    QTimer m_timer;
    QStringList m_listChoices;
    QList<stShown> m_listShown;
};
