#include "io/image_dialogs.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QImageIOHandler>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>

#include "io/image_file.h"

namespace io {

namespace {

constexpr int kPreviewSide = 220;
// What the writers use when left to themselves, shown in place of "default".
constexpr int kDefaultQuality = 75;
constexpr int kDefaultPngCompression = 6;

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

OutputSettingsDialog::OutputSettingsDialog(const OutputSettings& settings, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("高级选项"));
    const auto spinBox = [this](int minimum, int maximum, int value, int writerDefault) {
        auto* box = new QSpinBox(this);
        box->setRange(minimum, maximum);
        box->setValue(value >= 0 ? value : writerDefault);
        return box;
    };
    jpegQuality_ = spinBox(0, 100, settings.jpegQuality, kDefaultQuality);
    jpegQuality_->setObjectName(QStringLiteral("jpegQuality"));
    webpQuality_ = spinBox(0, 100, settings.webpQuality, kDefaultQuality);
    webpQuality_->setObjectName(QStringLiteral("webpQuality"));
    pngCompression_ = spinBox(0, 9, settings.pngCompression, kDefaultPngCompression);
    pngCompression_->setObjectName(QStringLiteral("pngCompression"));
    tiffCompressed_ = new QCheckBox(QStringLiteral("LZW 无损压缩"), this);
    tiffCompressed_->setObjectName(QStringLiteral("tiffCompressed"));
    tiffCompressed_->setChecked(settings.tiffCompressed);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("JPEG 质量（0–100）："), jpegQuality_);
    form->addRow(QStringLiteral("WebP 质量（0–100）："), webpQuality_);
    form->addRow(QStringLiteral("PNG 压缩级别（0–9）："), pngCompression_);
    form->addRow(QStringLiteral("TIFF："), tiffCompressed_);
    form->addRow(buttons);
}

OutputSettings OutputSettingsDialog::Settings() const {
    return OutputSettings{jpegQuality_->value(), webpQuality_->value(), pngCompression_->value(),
                          tiffCompressed_->isChecked()};
}

ImageSaveDialog::ImageSaveDialog(QWidget* parent, OutputSettings* settings) : QFileDialog(parent) {
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
    if (settings == nullptr) return;
    advancedButton_ = new QPushButton(QStringLiteral("高级…"), this);
    advancedButton_->setObjectName(QStringLiteral("advancedButton"));
    connect(advancedButton_, &QPushButton::clicked, this, [this, settings] {
        OutputSettingsDialog options(*settings, this);
        if (options.exec() == QDialog::Accepted) *settings = options.Settings();
    });
    // The non-native dialog lays itself out on a grid: the button goes below it, at the left.
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        grid->addWidget(advancedButton_, grid->rowCount(), 0);
    }
}

QString GetOpenImageFileName(QWidget* parent) {
    ImageOpenDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles().value(0);
}

QString GetSaveImageFileName(QWidget* parent, OutputSettings* settings) {
    ImageSaveDialog dialog(parent, settings);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles().value(0);
}

}  // namespace io
