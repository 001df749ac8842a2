#include "io/image_dialogs.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QImageIOHandler>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QRegularExpression>

#include "io/image_file.h"

namespace io {

namespace {

constexpr int kPreviewSide = 220;

QString PatternsFor(const QStringList& extensions) {
    QStringList patterns;
    for (const QString& extension : extensions)
        patterns << QStringLiteral("*.") + extension;
    return patterns.join(QLatin1Char(' '));
}

}  // namespace

QString OpenImageFilters() {
    QStringList extensions;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        extensions << QString::fromLatin1(format).toLower();
    extensions.removeDuplicates();
    QStringList filters{QStringLiteral("所有图像 (%1)").arg(PatternsFor(extensions))};
    for (const QString& extension : extensions)
        filters << QStringLiteral("%1 (*.%2)").arg(extension.toUpper(), extension);
    filters << QStringLiteral("所有文件 (*)");
    return filters.join(QStringLiteral(";;"));
}

QString SaveImageFilters() {
    const QStringList preferred{"png", "jpg", "bmp", "tif", "tga", "webp"};
    QStringList filters;
    for (const QString& extension : preferred) {
        if (!WritableExtensions().contains(extension)) continue;
        QString patterns = QStringLiteral("*.") + extension;
        if (extension == QLatin1String("jpg")) patterns += QStringLiteral(" *.jpeg");
        if (extension == QLatin1String("tif")) patterns += QStringLiteral(" *.tiff");
        filters << QStringLiteral("%1 (%2)").arg(extension.toUpper(), patterns);
    }
    return filters.join(QStringLiteral(";;"));
}

ImageOpenDialog::ImageOpenDialog(QWidget* parent) : QFileDialog(parent) {
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(QFileDialog::AcceptOpen);
    setFileMode(QFileDialog::ExistingFile);
    setNameFilter(OpenImageFilters());

    preview_ = new QLabel(this);
    preview_->setObjectName(QStringLiteral("preview"));
    preview_->setFixedSize(kPreviewSide, kPreviewSide);
    preview_->setAlignment(Qt::AlignCenter);
    preview_->setFrameShape(QFrame::StyledPanel);
    preview_->setWordWrap(true);
    // The non-native dialog lays itself out on a grid; the preview takes a column at its right.
    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(preview_, 0, grid->columnCount(), grid->rowCount(), 1);
    connect(this, &QFileDialog::currentChanged, this, &ImageOpenDialog::ShowPreview);
}

void ImageOpenDialog::ShowPreview(const QString& path) {
    preview_->clear();
    if (path.isEmpty() || !QFileInfo(path).isFile()) return;
    QImageReader reader(path);
    const QSize size = reader.size();
    if (!reader.canRead() || !size.isValid() || size.isEmpty() || size.width() > kMaxImageSide ||
        size.height() > kMaxImageSide ||
        int64_t(size.width()) * int64_t(size.height()) > kMaxImagePixels) {
        preview_->setText(QStringLiteral("无法预览"));
        return;
    }
    // Decoding at the preview's size keeps large photos quick (JPEG scales while decoding); the
    // thumbnail is then turned as the EXIF orientation says, as the opened picture will be.
    reader.setAutoTransform(true);
    reader.setScaledSize(
        size.scaled(kPreviewSide, kPreviewSide, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    const QImage thumbnail = reader.read();
    if (thumbnail.isNull()) {
        preview_->setText(QStringLiteral("无法预览"));
        return;
    }
    preview_->setPixmap(QPixmap::fromImage(thumbnail));
    // The size as the picture will open: turned by its EXIF orientation, if any.
    const QSize shown = reader.transformation() & QImageIOHandler::TransformationRotate90
                            ? size.transposed()
                            : size;
    preview_->setToolTip(QStringLiteral("%1 x %2").arg(shown.width()).arg(shown.height()));
}

ImageSaveDialog::ImageSaveDialog(QWidget* parent) : QFileDialog(parent) {
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setNameFilter(SaveImageFilters());
    setDefaultSuffix(QStringLiteral("png"));
    connect(this, &QFileDialog::filterSelected, this, [this](const QString& filter) {
        static const QRegularExpression firstExtension(QStringLiteral("\\*\\.(\\w+)"));
        const QRegularExpressionMatch match = firstExtension.match(filter);
        if (match.hasMatch()) setDefaultSuffix(match.captured(1));
    });
}

QString GetOpenImageFileName(QWidget* parent) {
    ImageOpenDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles().value(0);
}

QString GetSaveImageFileName(QWidget* parent) {
    ImageSaveDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles().value(0);
}

}  // namespace io
