#include "io/image_file.h"

#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>
#include <exception>
#include <new>
#include <stdexcept>

#include "io/qimage_bitmap.h"
#include "io/tga_writer.h"

namespace io {

namespace {

// Large enough for the decoder's own buffer of the largest image kMaxImagePixels lets through
// (4 bytes per pixel); Qt's default of 256 MB would refuse ordinary 50-megapixel photos in
// 16-bit formats.
constexpr int kReaderAllocationLimitMb = 1024;

// Extensions that keep an alpha channel when written.
const QStringList& AlphaExtensions() {
    static const QStringList extensions{"png", "tif", "tiff", "tga", "webp"};
    return extensions;
}

FileResult Failure(const QString& message, const QString& reason) {
    return FileResult{false, message, reason};
}

LoadedImage LoadFailure(const QString& message, const QString& reason) {
    return LoadedImage{Failure(message, reason), {}};
}

bool SizeAcceptable(const QSize& size) {
    return size.width() > 0 && size.height() > 0 && size.width() <= kMaxImageSide &&
           size.height() <= kMaxImageSide &&
           int64_t(size.width()) * int64_t(size.height()) <= kMaxImagePixels;
}

QString SizeText(const QSize& size) {
    return QStringLiteral("%1 x %2").arg(size.width()).arg(size.height());
}

// The Qt writer format for a lower-case extension; empty when none writes it.
QByteArray WriterFormat(const QString& extension) {
    if (extension.isEmpty()) return {};
    const QByteArray format = extension.toLatin1();
    return QImageWriter::supportedImageFormats().contains(format) ? format : QByteArray{};
}

LoadedImage Load(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        return LoadFailure(QStringLiteral("无法打开图像：文件不存在。"),
                           QStringLiteral("%1: no such file").arg(path));
    if (info.size() == 0)
        return LoadFailure(QStringLiteral("无法打开图像：文件是空的。"),
                           QStringLiteral("%1: empty file").arg(path));

    QImageReader reader(path);
    // The name's extension picks the reader first (TGA has no signature to recognise it by);
    // when that reader cannot read the contents, Qt tries the others, so a misnamed photo still
    // opens.
    reader.setAllocationLimit(kReaderAllocationLimitMb);
    // Phones and cameras store a portrait photo sideways and say in its EXIF orientation how to
    // turn it; the picture is used (and saved) the way other viewers show it.
    reader.setAutoTransform(true);
    if (!reader.canRead())
        return LoadFailure(
            QStringLiteral("无法打开图像：不是可识别的图像文件。"),
            QStringLiteral("%1: unknown image format (%2)").arg(path, reader.errorString()));

    // Refuse forged or absurd sizes from the header, before anything is decoded.
    const QSize claimed = reader.size();
    if (claimed.isValid() && !SizeAcceptable(claimed))
        return LoadFailure(QStringLiteral("无法打开图像：图像尺寸过大。"),
                           QStringLiteral("%1: header claims %2 pixels, more than allowed")
                               .arg(path, SizeText(claimed)));

    const QImage image = reader.read();
    if (image.isNull())
        return LoadFailure(
            QStringLiteral("无法打开图像：文件已损坏或不完整。"),
            QStringLiteral("%1: cannot decode (%2)").arg(path, reader.errorString()));
    if (!SizeAcceptable(image.size()))
        return LoadFailure(
            QStringLiteral("无法打开图像：图像尺寸过大。"),
            QStringLiteral("%1: %2 pixels, more than allowed").arg(path, SizeText(image.size())));
    return LoadedImage{FileResult{true, {}, {}}, BitmapFromQImage(image)};
}

FileResult Save(const QString& path, const imaging::Bitmap& bitmap,
                const OutputSettings& settings) {
    const QString extension = QFileInfo(path).suffix().toLower();
    const bool tga = extension == QLatin1String("tga");
    const QByteArray format = tga ? QByteArray("tga") : WriterFormat(extension);
    if (format.isEmpty())
        return Failure(QStringLiteral("无法保存：不支持的文件类型。"),
                       QStringLiteral("%1: no writer for extension \"%2\"").arg(path, extension));
    if (bitmap.IsEmpty())
        return Failure(QStringLiteral("无法保存：没有可保存的图像。"),
                       QStringLiteral("%1: the image is empty").arg(path));

    // QSaveFile writes a temporary file beside the target and renames it over the target only
    // on commit, so an existing file survives every failure below.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Failure(QStringLiteral("无法保存：无法写入该文件。"),
                       QStringLiteral("%1: cannot create (%2)").arg(path, file.errorString()));
    const bool withAlpha = ExtensionKeepsAlpha(extension);
    bool written = false;
    QString writeError;
    if (tga) {
        written = WriteTga(file, bitmap, withAlpha);
        writeError = file.errorString();
    } else {
        QImageWriter writer(&file, format);
        QImage image = QImageFromBitmap(bitmap, withAlpha);
        if (format == "tif" || format == "tiff") {
            // Qt reads 8-bit TIFF alpha back premultiplied, which loses the colours of
            // transparent pixels; 16 bits per channel keep unassociated alpha, and every 8-bit
            // value v is stored exactly as v * 257.
            if (image.hasAlphaChannel()) image = image.convertToFormat(QImage::Format_RGBA64);
            writer.setCompression(settings.tiffCompressed ? 1 : 0);  // 1: LZW, lossless
        } else if (format == "jpg" || format == "jpeg") {
            writer.setQuality(settings.jpegQuality);
        } else if (format == "webp") {
            writer.setQuality(settings.webpQuality);
        } else if (format == "png" && settings.pngCompression >= 0) {
            // Qt's PNG writer takes 0 to 100 and uses value * 9 / 100 as the zlib level.
            writer.setCompression((settings.pngCompression * 100 + 8) / 9);
        }
        written = !image.isNull() && writer.write(image);
        writeError = image.isNull() ? QStringLiteral("out of memory") : writer.errorString();
    }
    if (!written) {
        file.cancelWriting();
        return Failure(QStringLiteral("无法保存：写入文件失败。"),
                       QStringLiteral("%1: write failed (%2)").arg(path, writeError));
    }
    if (!file.commit())
        return Failure(QStringLiteral("无法保存：写入文件失败。"),
                       QStringLiteral("%1: cannot complete (%2)").arg(path, file.errorString()));
    return FileResult{true, {}, {}};
}

}  // namespace

LoadedImage LoadImageFile(const QString& path) {
    try {
        return Load(path);
    } catch (const std::bad_alloc&) {
        return LoadFailure(QStringLiteral("无法打开图像：内存不足。"),
                           QStringLiteral("%1: out of memory").arg(path));
    } catch (const std::exception& error) {
        return LoadFailure(QStringLiteral("无法打开图像：图像尺寸过大。"),
                           QStringLiteral("%1: %2").arg(path, QString::fromUtf8(error.what())));
    }
}

FileResult SaveImageFile(const QString& path, const imaging::Bitmap& bitmap,
                         const OutputSettings& settings) {
    try {
        return Save(path, bitmap, settings);
    } catch (const std::bad_alloc&) {
        return Failure(QStringLiteral("无法保存：内存不足。"),
                       QStringLiteral("%1: out of memory").arg(path));
    }
}

QStringList WritableExtensions() {
    QStringList extensions{"png", "jpg", "jpeg", "bmp", "tif", "tiff", "tga", "webp"};
    for (const QByteArray& format : QImageWriter::supportedImageFormats()) {
        const QString name = QString::fromLatin1(format).toLower();
        if (!extensions.contains(name)) extensions.append(name);
    }
    return extensions;
}

bool ExtensionKeepsAlpha(const QString& extension) {
    return AlphaExtensions().contains(extension.toLower());
}

}  // namespace io
