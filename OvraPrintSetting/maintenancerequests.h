// The cleaning and calibration requests (printer command group 0x2E).
#pragma once

#include <QVector>

const int c_iCleanRequestLength = 10;
const int c_iReCleanRequestLength = 11;
const int c_iCalibrationPageRequestLength = 10;
const int c_iCalibrationValuesRequestLength = 39;
const int c_iCalibrationRows = 7;
const int c_iCalibrationMin = -6;
const int c_iCalibrationMax = 6;

extern const unsigned char c_byCleanRequest[c_iCleanRequestLength];
extern const unsigned char c_byReCleanRequest[c_iReCleanRequestLength];
extern const unsigned char c_byCalibrationPageRequest[c_iCalibrationPageRequestLength];

// The calibration values request for the seven chosen numbers: rows 1-6 times 8,
// row 7 times 512, each a 32-bit signed big-endian value.
void CalibrationValuesRequest(const QVector<int>& listChosen, unsigned char* request);
