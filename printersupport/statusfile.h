// The status files the print service writes (cfg/<queue>.dat): the printer's last raw
// status response, read back by the tray monitor and the status tools.
#pragma once

#include "printerstate.h"

#include <QByteArray>
#include <QString>

const int c_iStatusFileMaxBytes = 2048; // the largest response the service stores

// Writes the response as the queue's status file, readable by every user; written aside
// and renamed into place, so a reader never sees half a response. False when it fails.
bool WriteStatusFile(const QString& strQueue, const unsigned char* pBuffer, int iLength);
bool StatusFileExists(const QString& strQueue);
bool RemoveStatusFile(const QString& strQueue);

// The file's first bytes (at most c_iStatusFileMaxBytes); false when it cannot be read.
bool ReadStatusFileBytes(const QString& strQueue, QByteArray& bytes);

// Reads and decodes the queue's status file. False when the file is missing, unreadable
// or does not parse; the state is then left as it was.
bool ReadStatusFile(const QString& strQueue, stPrinterState& state);
