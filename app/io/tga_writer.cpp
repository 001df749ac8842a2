#include "io/tga_writer.h"

#include <QByteArray>
#include <vector>

namespace io {

namespace {

void PutLittleEndian16(QByteArray& bytes, int offset, int value) {
    bytes[offset] = char(value & 0xFF);
    bytes[offset + 1] = char((value >> 8) & 0xFF);
}

}  // namespace

bool WriteTga(QIODevice& device, const imaging::Bitmap& bitmap, bool withAlpha) {
    if (bitmap.Width() > 0xFFFF || bitmap.Height() > 0xFFFF) return false;
    const bool alpha = withAlpha && bitmap.HasAlpha();
    const int bytesPerPixel = alpha ? 4 : 3;

    QByteArray header(18, '\0');
    header[2] = 2;  // uncompressed true colour
    PutLittleEndian16(header, 12, bitmap.Width());
    PutLittleEndian16(header, 14, bitmap.Height());
    header[16] = char(bytesPerPixel * 8);
    header[17] = char((alpha ? 8 : 0) | 0x20);  // alpha bits; rows from the top
    if (device.write(header) != header.size()) return false;

    // TGA stores blue, green, red (, alpha): the bitmap's own byte order.
    const size_t width = size_t(bitmap.Width());
    std::vector<char> row(width * size_t(bytesPerPixel));
    for (int y = 0; y < bitmap.Height(); ++y) {
        const uint8_t* in = bitmap.Row(y);
        for (size_t x = 0; x < width; ++x) {
            char* out = row.data() + x * size_t(bytesPerPixel);
            out[0] = char(in[x * 3]);
            out[1] = char(in[x * 3 + 1]);
            out[2] = char(in[x * 3 + 2]);
            if (alpha) out[3] = char(bitmap.AlphaAt(int(x), y));
        }
        if (device.write(row.data(), qint64(row.size())) != qint64(row.size())) return false;
    }

    // TGA 2.0 footer: no extension or developer area, then the signature.
    QByteArray footer(8, '\0');
    footer.append("TRUEVISION-XFILE.");
    footer.append('\0');
    return device.write(footer) == footer.size();
}

}  // namespace io
