// The image file dialogs: open with a preview pane, save by file type.
#ifndef QUILLANE_IO_IMAGE_DIALOGS_H
#define QUILLANE_IO_IMAGE_DIALOGS_H

#include <QDialog>
#include <QFileDialog>
#include <QString>

#include "io/image_file.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace io {

// Name filter of every image format the installed readers know, followed by one filter per
// format and "所有文件 (*)".
QString OpenImageFilters();
// One filter per format SaveImageFile writes (PNG first).
QString SaveImageFilters();

// A non-native file-open dialog for one existing image file, with a preview pane at its right
// showing a thumbnail of the file under the cursor (read at reduced size, so large photos
// preview quickly; damaged files show a short note instead).
class ImageOpenDialog : public QFileDialog {
    Q_OBJECT
  public:
    explicit ImageOpenDialog(QWidget* parent = nullptr);

    // The preview pane (for tests).
    QLabel* Preview() const { return preview_; }

  private:
    void ShowPreview(const QString& path);

    QLabel* preview_ = nullptr;
};

// Edits the writers' per-format options: JPEG and WebP quality, PNG compression level, TIFF
// compression. Settings() holds what the controls show.
class OutputSettingsDialog : public QDialog {
    Q_OBJECT
  public:
    explicit OutputSettingsDialog(const OutputSettings& settings, QWidget* parent = nullptr);

    OutputSettings Settings() const;

  private:
    QSpinBox* jpegQuality_ = nullptr;
    QSpinBox* webpQuality_ = nullptr;
    QSpinBox* pngCompression_ = nullptr;
    QCheckBox* tiffCompressed_ = nullptr;
};

// A non-native file-save dialog for images; the chosen type's extension is added when the typed
// name has none. Given settings, it has an advanced button ("高级…") that edits them with an
// OutputSettingsDialog; they change only when that dialog is accepted, even if the save dialog
// is then cancelled.
class ImageSaveDialog : public QFileDialog {
    Q_OBJECT
  public:
    explicit ImageSaveDialog(QWidget* parent = nullptr, OutputSettings* settings = nullptr);

    // The advanced button, or nullptr without settings (for tests).
    QPushButton* AdvancedButton() const { return advancedButton_; }

  private:
    QPushButton* advancedButton_ = nullptr;
};

// Runs the open dialog modally, with no initial folder, file name or title of its own; returns
// the chosen file, or an empty string when cancelled.
QString GetOpenImageFileName(QWidget* parent);
// Runs the save dialog modally the same way, its advanced button editing settings (none without
// them); returns the chosen file name (with an extension), or an empty string when cancelled.
QString GetSaveImageFileName(QWidget* parent, OutputSettings* settings = nullptr);

}  // namespace io

#endif  // QUILLANE_IO_IMAGE_DIALOGS_H
