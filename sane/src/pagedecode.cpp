#include "pagedecode.h"

#include <cstdio>
#include <csetjmp>
#include <jpeglib.h>

namespace ovrasane {

int RawBytesPerLine(int bitDepth, int pixelsPerLine)
{
    switch (bitDepth) {
    case 1: return (pixelsPerLine + 7) / 8;
    case 24: return pixelsPerLine * 3;
    default: return pixelsPerLine;
    }
}

bool DecodeRaw(const std::vector<uint8_t>& bytes, int bitDepth, int pixelsPerLine, Frame& frame,
               std::string& error)
{
    if (pixelsPerLine <= 0 || (bitDepth != 1 && bitDepth != 8 && bitDepth != 24)) {
        error = "raw page of unknown geometry";
        return false;
    }
    frame = Frame();
    frame.depth = bitDepth == 1 ? 1 : 8;
    frame.channels = bitDepth == 24 ? 3 : 1;
    frame.pixelsPerLine = pixelsPerLine;
    frame.bytesPerLine = RawBytesPerLine(bitDepth, pixelsPerLine);
    const size_t perLine = size_t(frame.bytesPerLine);
    frame.lines = int((bytes.size() + perLine - 1) / perLine);
    frame.data = bytes;
    // White: 0 in lineart (1 is black), 255 in grey and colour.
    frame.data.resize(size_t(frame.lines) * perLine, bitDepth == 1 ? 0x00 : 0xFF);
    return true;
}

bool LooksLikeJpeg(const std::vector<uint8_t>& bytes)
{
    return bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnJpegError(j_common_ptr info)
{
    ErrorManager* manager = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, manager->message);
    longjmp(manager->jump, 1);
}

void IgnoreJpegMessage(j_common_ptr, int) {}

} // namespace

bool DecodeJpeg(const std::vector<uint8_t>& bytes, Frame& frame, std::string& error)
{
    if (bytes.empty()) {
        error = "empty JPEG page";
        return false;
    }
    jpeg_decompress_struct info{};
    ErrorManager manager{};
    info.err = jpeg_std_error(&manager.base);
    manager.base.error_exit = OnJpegError;
    manager.base.emit_message = IgnoreJpegMessage;
    Frame result;
    if (setjmp(manager.jump)) {
        jpeg_destroy_decompress(&info);
        error = std::string("JPEG page cannot be decoded: ") + manager.message;
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = info.num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(&info);
    result.depth = 8;
    result.channels = int(info.output_components);
    result.pixelsPerLine = int(info.output_width);
    result.lines = int(info.output_height);
    result.bytesPerLine = result.pixelsPerLine * result.channels;
    result.data.resize(size_t(result.bytesPerLine) * size_t(result.lines));
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = result.data.data() + size_t(info.output_scanline) * size_t(result.bytesPerLine);
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    frame = std::move(result);
    return true;
}

} // namespace ovrasane
