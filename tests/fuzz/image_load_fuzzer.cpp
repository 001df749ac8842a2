// Fuzz target: arbitrary bytes as an image file. Loading must fail cleanly or give a consistent
// bitmap; it must never crash, hang or allocate beyond the size limits.
//
// Input: the first byte picks the file name's extension, the rest are the file's bytes.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>

#include "fuzz_check.h"
#include "io/image_file.h"

namespace {

const QTemporaryDir& ScratchDir() {
    static const QTemporaryDir dir;
    return dir;
}

QCoreApplication& Application() {
    static int argc = 1;
    static char name[] = "image_load_fuzzer";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Application();
    static const char* const extensions[] = {"png", "jpg",  "bmp", "gif",
                                             "tif", "webp", "tga", "ppm"};
    const char* extension = size > 0 ? extensions[data[0] % 8] : "png";
    const QString path = ScratchDir().filePath(QStringLiteral("input.") + extension);
    {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        if (size > 1)
            file.write(reinterpret_cast<const char*>(data + 1), static_cast<qint64>(size - 1));
    }
    const io::LoadedImage loaded = io::LoadImageFile(path);
    if (!loaded.result.ok) {
        FUZZ_CHECK(!loaded.result.message.isEmpty());
        return 0;
    }
    const imaging::Bitmap& bitmap = loaded.bitmap;
    FUZZ_CHECK(!bitmap.IsEmpty());
    FUZZ_CHECK(int64_t(bitmap.PixelCount()) <= io::kMaxImagePixels);
    FUZZ_CHECK(bitmap.Width() <= io::kMaxImageSide && bitmap.Height() <= io::kMaxImageSide);
    FUZZ_CHECK(!bitmap.HasAlpha() || bitmap.AlphaChannel().size() == bitmap.PixelCount());
    return 0;
}
