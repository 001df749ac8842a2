#include "output_files.h"

#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QSaveFile>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

namespace cut {

namespace {

io::FileResult Failure(const QString& reason) {
    return io::FileResult{false, reason, reason};
}

// Writes the bytes through a temporary file beside the target, renamed over it on success.
template <typename WriteTo>
io::FileResult WriteBeside(const QString& path, WriteTo write) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Failure(QStringLiteral("%1: cannot create (%2)").arg(path, file.errorString()));
    QString error;
    if (!write(file, error)) {
        file.cancelWriting();
        return Failure(QStringLiteral("%1: write failed (%2)").arg(path, error));
    }
    if (!file.commit())
        return Failure(QStringLiteral("%1: cannot complete (%2)").arg(path, file.errorString()));
    return io::FileResult{true, {}, {}};
}

}  // namespace

QString ExtensionOf(const QString& path) {
    return QFileInfo(path).suffix().toLower();
}

bool CheckImageOutputName(const std::string& path, std::string& error) {
    const QString extension = ExtensionOf(QString::fromStdString(path));
    const QStringList known = io::WritableExtensions();
    if (!extension.isEmpty() && known.contains(extension)) return true;
    error = "unknown output format for '" + path + "'" +
            (extension.isEmpty() ? std::string(" (no extension)")
                                 : " (." + extension.toStdString() + ")") +
            "; the extension picks the format: " + known.join(", ").toStdString();
    return false;
}

io::FileResult SaveGreyImageFile(const QString& path, std::span<const uint8_t> values, int width,
                                 int height, std::optional<int> quality) {
    if (values.size() != size_t(width) * size_t(height))
        throw std::invalid_argument("SaveGreyImageFile: size mismatch");
    const QString extension = ExtensionOf(path);
    if (extension == QLatin1String("tga")) {
        // Qt has no TGA writer; the model's writer takes three equal channels.
        imaging::Bitmap grey(width, height);
        uint8_t* pixels = grey.Data();
        for (size_t p = 0; p < values.size(); ++p)
            pixels[3 * p] = pixels[3 * p + 1] = pixels[3 * p + 2] = values[p];
        return io::SaveImageFile(path, grey);  // lossless: no quality
    }
    std::string nameError;
    if (!CheckImageOutputName(path.toStdString(), nameError))
        return Failure(QString::fromStdString(nameError));
    QImage image(width, height, QImage::Format_Grayscale8);
    if (image.isNull()) throw std::bad_alloc();
    for (int y = 0; y < height; ++y)
        std::memcpy(image.scanLine(y), values.data() + size_t(y) * size_t(width), size_t(width));
    return WriteBeside(path, [&](QIODevice& file, QString& error) {
        QImageWriter writer(&file, extension.toLatin1());
        if (extension == QLatin1String("tif") || extension == QLatin1String("tiff"))
            writer.setCompression(1);              // LZW, lossless
        if (quality) writer.setQuality(*quality);  // read by the JPEG and WebP writers only
        if (writer.write(image)) return true;
        error = writer.errorString();
        return false;
    });
}

io::FileResult SaveRegionMapFile(const QString& path, std::span<const int32_t> regionMap) {
    return WriteBeside(path, [&](QIODevice& file, QString& error) {
        // In slices, so that a large map needs no second copy of itself.
        constexpr size_t kSlice = 1 << 16;
        std::vector<char> bytes;
        for (size_t start = 0; start < regionMap.size(); start += kSlice) {
            const size_t count = std::min(kSlice, regionMap.size() - start);
            bytes.resize(4 * count);
            for (size_t i = 0; i < count; ++i)
                qToLittleEndian<qint32>(regionMap[start + i], bytes.data() + 4 * i);
            if (file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size())) {
                error = file.errorString();
                return false;
            }
        }
        return true;
    });
}

imaging::Bitmap PaintRegionMeans(const imaging::Bitmap& image, std::span<const int32_t> regionMap,
                                 int32_t regionCount) {
    if (regionMap.size() != image.PixelCount() || regionCount < 0)
        throw std::invalid_argument("PaintRegionMeans: region map and image differ in size");
    struct Sums {
        uint64_t channel[3] = {0, 0, 0};
        uint64_t count = 0;
    };
    std::vector<Sums> sums(static_cast<size_t>(regionCount));
    const uint8_t* pixels = image.Data();
    for (size_t p = 0; p < regionMap.size(); ++p) {
        const int32_t region = regionMap[p];
        if (region < 0 || region >= regionCount)
            throw std::invalid_argument("PaintRegionMeans: region index out of range");
        Sums& sum = sums[size_t(region)];
        for (int c = 0; c < 3; ++c)
            sum.channel[c] += pixels[3 * p + size_t(c)];
        ++sum.count;
    }
    std::vector<uint8_t> means(3 * size_t(regionCount), 0);
    for (size_t r = 0; r < sums.size(); ++r) {
        if (sums[r].count == 0) continue;
        for (int c = 0; c < 3; ++c)
            means[3 * r + size_t(c)] =
                uint8_t((2 * sums[r].channel[c] + sums[r].count) / (2 * sums[r].count));
    }
    imaging::Bitmap painted(image.Width(), image.Height());
    uint8_t* out = painted.Data();
    for (size_t p = 0; p < regionMap.size(); ++p)
        std::memcpy(out + 3 * p, means.data() + 3 * size_t(regionMap[p]), 3);
    return painted;
}

}  // namespace cut
