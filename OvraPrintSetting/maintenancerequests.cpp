#include "maintenancerequests.h"

#include <cstdint>
#include <cstring>

const unsigned char c_byCleanRequest[c_iCleanRequestLength] = {0xA5, 0x00, 0x07, 0x50, 0xE0,
                                                               0x2E, 0x02, 0x01, 0x01, 0x01};
const unsigned char c_byReCleanRequest[c_iReCleanRequestLength] = {0xA5, 0x00, 0x08, 0x50, 0xE0, 0x2E,
                                                                   0x02, 0x01, 0x01, 0x12, 0x02};
const unsigned char c_byCalibrationPageRequest[c_iCalibrationPageRequestLength] = {0xA5, 0x00, 0x07, 0x50, 0xE0,
                                                                                   0x2E, 0x02, 0x01, 0x01, 0x43};

namespace {

const unsigned char c_byCalibrationHead[] = {0xA5, 0x00, 0x24, 0x50, 0xE0, 0x2E, 0x11, 0x00, 0x00, 0x00, 0x0D};
const int c_iRowFactor = 8;
const int c_iLastRowFactor = 512;

void PutBigEndian32(unsigned char* out, int32_t value)
{
    const uint32_t raw = uint32_t(value); // two's complement
    out[0] = (unsigned char)(raw >> 24);
    out[1] = (unsigned char)(raw >> 16);
    out[2] = (unsigned char)(raw >> 8);
    out[3] = (unsigned char)raw;
}

} // namespace

void CalibrationValuesRequest(const QVector<int>& listChosen, unsigned char* request)
{
    std::memcpy(request, c_byCalibrationHead, sizeof(c_byCalibrationHead));
    unsigned char* pValue = request + sizeof(c_byCalibrationHead);
    for (int i = 0; i < c_iCalibrationRows; ++i) {
        const int iChosen = qBound(c_iCalibrationMin, listChosen.value(i, 0), c_iCalibrationMax);
        const int iFactor = i == c_iCalibrationRows - 1 ? c_iLastRowFactor : c_iRowFactor;
        PutBigEndian32(pValue + 4 * i, iChosen * iFactor);
    }
}
