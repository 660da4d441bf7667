// Reader for the 24-bit uncompressed .bmp files of the resource set, for
// platforms without a resource loader. Every header field is checked against
// the buffer before a pixel is read; a truncated or foreign file is an error,
// never a read past the end. Depends on the standard library only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace nb {

// E_INVALIDARG: a null buffer or output.
constexpr int32_t BmpBadArgument = static_cast<int32_t>(0x80070057);
// HRESULT_FROM_WIN32(ERROR_INVALID_DATA): not a well-formed 24-bit BI_RGB file.
constexpr int32_t BmpBadData = static_cast<int32_t>(0x8007000D);

// Decodes a whole .bmp file (starting with its 14-byte file header) of 24 bits
// per pixel, BI_RGB, bottom-up or top-down. On success returns 0 and fills
// width, height and pixels (width * height * 3 bytes, R G B, top row first).
// On failure returns BmpBadArgument or BmpBadData and leaves width = height = 0
// and pixels empty.
int32_t DecodeBmp24(const unsigned char* data, size_t size, uint32_t* width, uint32_t* height,
                    std::vector<uint8_t>* pixels);

}  // namespace nb
