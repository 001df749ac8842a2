// Hand-made image files for the file tests: exact bytes of small PNG, GIF and TIFF files.
#ifndef QUILLANE_TESTS_IO_FILE_BYTES_H
#define QUILLANE_TESTS_IO_FILE_BYTES_H

#include <QByteArray>
#include <QFile>
#include <QString>
#include <array>
#include <cstdint>

namespace io::testing {

inline void AppendBigEndian32(QByteArray& bytes, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes.append(char((value >> shift) & 0xFF));
}

inline void AppendLittleEndian(QByteArray& bytes, uint32_t value, int size) {
    for (int i = 0; i < size; ++i)
        bytes.append(char((value >> (8 * i)) & 0xFF));
}

inline uint32_t Crc32(const QByteArray& bytes) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    uint32_t crc = 0xFFFFFFFFu;
    for (char ch : bytes)
        crc = table[(crc ^ uint8_t(ch)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

inline void AppendPngChunk(QByteArray& png, const char* type, const QByteArray& data) {
    AppendBigEndian32(png, uint32_t(data.size()));
    const QByteArray typed = QByteArray(type) + data;
    png.append(typed);
    AppendBigEndian32(png, Crc32(typed));
}

// A PNG with a valid header for width x height 8-bit RGB pixels and a data chunk far too short
// for them.
inline QByteArray PngClaimingSize(uint32_t width, uint32_t height) {
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray header;
    AppendBigEndian32(header, width);
    AppendBigEndian32(header, height);
    header.append("\x08\x02\x00\x00\x00", 5);  // depth 8, RGB, deflate, no filter, no interlace
    AppendPngChunk(png, "IHDR", header);
    AppendPngChunk(png, "IDAT", QByteArray("\x78\x9c\x63\x00\x00\x00\x01\x00\x01", 9));
    AppendPngChunk(png, "IEND", {});
    return png;
}

// A 1 x 1 animated GIF of two frames: red, then blue.
inline QByteArray TwoFrameGif() {
    QByteArray gif("GIF89a", 6);
    gif.append("\x01\x00\x01\x00\x80\x00\x00", 7);  // 1 x 1, global table of 2 colours
    gif.append("\xFF\x00\x00\x00\x00\xFF", 6);      // red, blue
    gif.append("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
    for (char index : {'\x44', '\x4C'}) {  // LZW codes clear, index 0 or 1, end
        gif.append("\x21\xF9\x04\x00\x0A\x00\x00\x00", 8);
        gif.append("\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00", 10);
        gif.append("\x02\x02", 2);
        gif.append(index);
        gif.append("\x01\x00", 2);
    }
    gif.append('\x3B');
    return gif;
}

// An uncompressed 8-bit CMYK TIFF of width x 1 pixels with the given C, M, Y, K bytes.
inline QByteArray CmykTiff(const QByteArray& cmyk) {
    const uint32_t width = uint32_t(cmyk.size() / 4);
    struct Entry {
        uint16_t tag, type;
        uint32_t count, value;
    };
    const uint32_t entryCount = 11;
    const uint32_t bitsOffset = 8 + 2 + entryCount * 12 + 4;
    const uint32_t pixelOffset = bitsOffset + 8;
    const Entry entries[] = {{256, 3, 1, width}, {257, 3, 1, 1}, {258, 3, 4, bitsOffset},
                             {259, 3, 1, 1},     {262, 3, 1, 5}, {273, 4, 1, pixelOffset},
                             {277, 3, 1, 4},     {278, 3, 1, 1}, {279, 4, 1, uint32_t(cmyk.size())},
                             {284, 3, 1, 1},     {332, 3, 1, 1}};
    QByteArray tiff("II*\x00", 4);
    AppendLittleEndian(tiff, 8, 4);
    AppendLittleEndian(tiff, entryCount, 2);
    for (const Entry& e : entries) {
        AppendLittleEndian(tiff, e.tag, 2);
        AppendLittleEndian(tiff, e.type, 2);
        AppendLittleEndian(tiff, e.count, 4);
        AppendLittleEndian(tiff, e.value, 4);  // a single SHORT sits in the low bytes
    }
    AppendLittleEndian(tiff, 0, 4);
    for (int i = 0; i < 4; ++i)
        AppendLittleEndian(tiff, 8, 2);
    tiff.append(cmyk);
    return tiff;
}

inline bool WriteFileBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray ReadFileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray{};
}

}  // namespace io::testing

#endif  // QUILLANE_TESTS_IO_FILE_BYTES_H
