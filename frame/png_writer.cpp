#include "frame/png_writer.h"

#include <wx/image.h>
#include <zlib.h>

namespace
{
void PutChunk(std::vector<char>& out, const char* type, const std::vector<unsigned char>& data)
{
    auto put32 = [&out](unsigned long value) {
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(static_cast<char>((value >> shift) & 0xFF));
    };
    put32(static_cast<unsigned long>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put32(crc32(0, reinterpret_cast<const Bytef*>(out.data() + start), uInt(out.size() - start)));
}

}  // namespace

bool EncodePng(const wxImage& image, std::vector<char>& bytes)
{
    const int width = image.GetWidth(), height = image.GetHeight();
    if (!image.IsOk() || width <= 0 || height <= 0)
        return false;
    std::vector<unsigned char> rows;
    rows.reserve(size_t(height) * (size_t(width) * 3 + 1));
    const unsigned char* rgb = image.GetData();
    for (int y = 0; y < height; ++y)
    {
        rows.push_back(0);  // no filter
        rows.insert(rows.end(), rgb + size_t(y) * width * 3, rgb + size_t(y + 1) * width * 3);
    }
    uLongf packedSize = compressBound(uLong(rows.size()));
    std::vector<unsigned char> packed(packedSize);
    if (compress2(packed.data(), &packedSize, rows.data(), uLong(rows.size()), 6) != Z_OK)
        return false;
    packed.resize(packedSize);
    const unsigned char header[] = {
        static_cast<unsigned char>(width >> 24), static_cast<unsigned char>(width >> 16),
        static_cast<unsigned char>(width >> 8), static_cast<unsigned char>(width),
        static_cast<unsigned char>(height >> 24), static_cast<unsigned char>(height >> 16),
        static_cast<unsigned char>(height >> 8), static_cast<unsigned char>(height),
        8, 2, 0, 0, 0};  // 8 bits, RGB, deflate, no filter, no interlace
    bytes.assign({'\x89', 'P', 'N', 'G', '\r', '\n', '\x1a', '\n'});
    PutChunk(bytes, "IHDR", std::vector<unsigned char>(header, header + sizeof header));
    PutChunk(bytes, "IDAT", packed);
    PutChunk(bytes, "IEND", {});
    return true;
}
