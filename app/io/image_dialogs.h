// The image file dialogs: open with a preview pane, save by file type.
#ifndef QUILLANE_IO_IMAGE_DIALOGS_H
#define QUILLANE_IO_IMAGE_DIALOGS_H

#include <QFileDialog>
#include <QString>

class QLabel;

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

// A non-native file-save dialog for images; the chosen type's extension is added when the typed
// name has none.
class ImageSaveDialog : public QFileDialog {
    Q_OBJECT
  public:
    explicit ImageSaveDialog(QWidget* parent = nullptr);
};

// Runs the open dialog modally, with no initial folder, file name or title of its own; returns
// the chosen file, or an empty string when cancelled.
QString GetOpenImageFileName(QWidget* parent);
// Runs the save dialog modally the same way; returns the chosen file name (with an extension),
// or an empty string when cancelled.
QString GetSaveImageFileName(QWidget* parent);

}  // namespace io

#endif  // QUILLANE_IO_IMAGE_DIALOGS_H
