#include "io/image_dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>

namespace io {
namespace {

TEST(ImageOpenDialog, IsANonNativeOpenDialogWithAPreview) {
    ImageOpenDialog dialog;
    EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
    ASSERT_NE(dialog.Preview(), nullptr);
    EXPECT_TRUE(dialog.isAncestorOf(dialog.Preview()));
    EXPECT_TRUE(dialog.nameFilters().first().contains(QStringLiteral("*.png")));
}

TEST(ImageOpenDialog, PreviewsTheFileUnderTheCursor) {
    QTemporaryDir dir;
    const QString image = dir.filePath(QStringLiteral("big.png"));
    QImage picture(800, 400, QImage::Format_RGB32);
    picture.fill(qRgb(0, 200, 0));
    ASSERT_TRUE(picture.save(image));
    const QString text = dir.filePath(QStringLiteral("note.png"));
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not an image");
    file.close();

    ImageOpenDialog dialog;
    emit dialog.currentChanged(image);
    const QPixmap preview = dialog.Preview()->pixmap();
    ASSERT_FALSE(preview.isNull());
    EXPECT_LE(preview.width(), 220);
    EXPECT_EQ(preview.width(), 2 * preview.height());
    EXPECT_EQ(preview.toImage().pixel(10, 10), qRgb(0, 200, 0));

    emit dialog.currentChanged(text);
    EXPECT_TRUE(dialog.Preview()->pixmap().isNull());
    EXPECT_FALSE(dialog.Preview()->text().isEmpty());
}

TEST(ImageSaveDialog, IsANonNativeSaveDialogAddingTheTypesExtension) {
    ImageSaveDialog dialog;
    EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(dialog.defaultSuffix(), QStringLiteral("png"));
    const QStringList filters = dialog.nameFilters();
    ASSERT_GE(filters.size(), 6);
    EXPECT_TRUE(filters.first().startsWith(QStringLiteral("PNG")));
    dialog.selectNameFilter(filters.at(1));
    emit dialog.filterSelected(filters.at(1));
    EXPECT_EQ(dialog.defaultSuffix(), QStringLiteral("jpg"));
}

TEST(ImageSaveDialog, AdvancedButtonEditsTheSettingsOnlyWhenAccepted) {
    EXPECT_EQ(ImageSaveDialog().AdvancedButton(), nullptr);
    for (const bool accepted : {true, false}) {
        SCOPED_TRACE(accepted ? "accepted" : "cancelled");
        OutputSettings settings;
        ImageSaveDialog dialog(nullptr, &settings);
        ASSERT_NE(dialog.AdvancedButton(), nullptr);
        EXPECT_TRUE(dialog.isAncestorOf(dialog.AdvancedButton()));
        EXPECT_EQ(dialog.AdvancedButton()->text(), QStringLiteral("高级…"));
        // The options dialog is modal: answer it once it shows.
        QTimer::singleShot(0, [accepted] {
            auto* options = qobject_cast<OutputSettingsDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(options, nullptr);
            options->findChild<QSpinBox*>(QStringLiteral("jpegQuality"))->setValue(40);
            options->findChild<QCheckBox*>(QStringLiteral("tiffCompressed"))->setChecked(false);
            accepted ? options->accept() : options->reject();
        });
        dialog.AdvancedButton()->click();
        const OutputSettings expected = accepted ? OutputSettings{.jpegQuality = 40,
                                                                  .webpQuality = 75,
                                                                  .pngCompression = 6,
                                                                  .tiffCompressed = false}
                                                 : OutputSettings{};
        EXPECT_EQ(settings, expected);
    }
}

TEST(OutputSettingsDialog, ShowsTheSettingsAndTheWritersDefaults) {
    const OutputSettings chosen{
        .jpegQuality = 90, .webpQuality = 20, .pngCompression = 1, .tiffCompressed = false};
    EXPECT_EQ(OutputSettingsDialog(chosen).Settings(), chosen);
    EXPECT_EQ(
        OutputSettingsDialog(OutputSettings{}).Settings(),
        (OutputSettings{
            .jpegQuality = 75, .webpQuality = 75, .pngCompression = 6, .tiffCompressed = true}));
}

}  // namespace
}  // namespace io
