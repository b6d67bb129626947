// The bytes of one test chart page as a scanner sends them, piece by piece: the raw
// lines, or a JPEG image compressed while the lines are drawn. Only a few lines and the
// compressed bytes not yet taken are ever held.
#pragma once

#include "testchart.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace ovraemu {

// Raw: the lines as TestChart draws them. Jpeg: baseline JPEG, one component for
// lineart and grey, three (YCbCr from RGB) for colour.
enum class ChartEncoding {
    Raw,
    Jpeg
};

class ChartStream
{
public:
    ChartStream(const ChartPage& page, ChartEncoding encoding, int jpegQuality = 80);
    ~ChartStream();
    ChartStream(const ChartStream&) = delete;
    ChartStream& operator=(const ChartStream&) = delete;

    // The next bytes of the page, at most `most` of them; fewer only at the end of the
    // page, none once the page is complete.
    std::vector<uint8_t> Read(size_t most);
    bool AtEnd() const;

    class Encoder;

private:
    std::unique_ptr<Encoder> m_encoder;
};

} // namespace ovraemu
