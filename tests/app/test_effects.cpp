// The background effects, the composite picture and saving, driven through the window with a
// selection the engine computed from real mouse strokes (Qt Test, offscreen).
#include <QCheckBox>
#include <QColorDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>
#include <vector>

#include "ImageView.h"
#include "Unit1.h"
#include "imaging/blur.h"
#include "window_fixture.h"

using namespace window_fixture;

namespace {

constexpr int kImageWidth = 120;
constexpr int kImageHeight = 90;
constexpr int kPixelCount = kImageWidth * kImageHeight;
constexpr int kBackgroundWidth = 100;
constexpr int kBackgroundHeight = 80;

// A smooth, opaque gradient used as the new background.
QImage GradientImage(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(2 * x, 250 - 3 * y, 90));
    }
    return image;
}

// Whether every pixel within `reach` of (x, y) has the same label in SelectionMap: such pixels
// lie far enough from the object's border that feathering does not touch them.
bool DeepInside(int x, int y, int reach) {
    const uint8_t label = SelectionMap[size_t(y) * kImageWidth + size_t(x)];
    for (int v = std::max(0, y - reach); v <= std::min(kImageHeight - 1, y + reach); ++v) {
        for (int u = std::max(0, x - reach); u <= std::min(kImageWidth - 1, x + reach); ++u)
            if (SelectionMap[size_t(v) * kImageWidth + size_t(u)] != label) return false;
    }
    return true;
}

// Same colours and the same alpha at every pixel (an absent alpha channel counting 255).
bool SamePicture(const imaging::Bitmap& a, const imaging::Bitmap& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    for (size_t i = 0; i < a.PixelCount(); ++i) {
        const uint8_t alphaA = a.HasAlpha() ? a.AlphaChannel()[i] : 255;
        const uint8_t alphaB = b.HasAlpha() ? b.AlphaChannel()[i] : 255;
        if (alphaA != alphaB ||
            !std::equal(a.Data() + 3 * i, a.Data() + 3 * i + 3, b.Data() + 3 * i))
            return false;
    }
    return true;
}

bool IsObject(size_t pixel) {
    return SelectionMap[pixel] == 1;
}

// Alpha of pixel i of a bitmap (255 without an alpha channel).
uint8_t AlphaOf(const imaging::Bitmap& bitmap, size_t pixel) {
    return bitmap.HasAlpha() ? bitmap.AlphaChannel()[pixel] : 255;
}

// Runs `action` (which opens a modal dialog) and, once the colour chooser shows, sets its colour
// and confirms or cancels it. Returns the colour the chooser started with.
QColor AnswerColourChooser(const std::function<void()>& action, const QColor& colour,
                           bool confirm) {
    QColor startColour;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) qFatal("no colour chooser");
        startColour = dialog->currentColor();
        dialog->setCurrentColor(colour);
        if (confirm) {
            dialog->accept();
        } else {
            dialog->reject();
        }
    });
    action();
    return startColour;
}

// Runs `action` (which opens a file dialog) and, once the dialog shows, chooses `file` and
// confirms, or cancels when `file` is empty.
void AnswerFileDialog(const std::function<void()>& action, const QString& file) {
    bool answered = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) qFatal("no file dialog");
        answered = true;
        if (file.isEmpty()) {
            dialog->reject();
        } else {
            dialog->selectFile(file);
            // QFileDialog::accept is protected; through QDialog it still checks the choice.
            static_cast<QDialog*>(dialog)->accept();
        }
    });
    action();
    if (!answered) qFatal("the file dialog was not shown");
}

// Records the texts a label showed each time it was painted.
class PaintedTexts : public QObject {
  public:
    explicit PaintedTexts(QLabel* label) : label_(label) { label_->installEventFilter(this); }
    ~PaintedTexts() override { label_->removeEventFilter(this); }
    const QStringList& Texts() const { return texts_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == label_ && event->type() == QEvent::Paint) texts_ << label_->text();
        return false;
    }

  private:
    QLabel* label_;
    QStringList texts_;
};

}  // namespace

class EffectsTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<TForm1> form;
    QTemporaryDir dir;
    QString discFile;
    QString backgroundFile;

    ImageView* View() const { return form->MainView(); }
    ImageView* Second() const { return form->SecondView(); }
    template <typename T>
    T* Control(const char* name) const {
        T* control = form->findChild<T*>(QString::fromLatin1(name));
        if (control == nullptr) qFatal("no control %s", name);
        return control;
    }
    QString Hint() const { return Control<QLabel>("Label5")->text(); }
    void Click(const char* button) {
        QTest::mouseClick(Control<QPushButton>(button), Qt::LeftButton);
    }
    void SetSlider(const char* name, int value) { Control<QSlider>(name)->setValue(value); }
    const imaging::Bitmap& Picture() const { return View()->Model().CurrentBitmap(); }

    // Opens `file` and computes a selection of the disc with a foreground stroke inside it and a
    // background stroke above it.
    void OpenAndSelect(const QString& file) {
        QVERIFY(form->OpenImageFile(file));
        QCOMPARE(ImageWidth, kImageWidth);
        Stroke(View(), Qt::LeftButton, {{50, 45}, {60, 45}, {70, 46}});
        Stroke(View(), Qt::RightButton, {{5, 5}, {60, 5}, {115, 6}});
        QCOMPARE(Hint(), kHintDone);
        const int objectPixels = CountOf(SelectionMap, 1);
        QVERIFY(objectPixels > 1000 && objectPixels < kPixelCount / 2);
        QVERIFY(MaskBytes(View()) == MaskOf(SelectionMap));
    }

    void ChooseFillColour(const QColor& colour) {
        AnswerColourChooser([this] { Click("Button2"); }, colour, true);
        QCOMPARE(form->FillColour(), colour);
    }

    // The selection after an effect is the computed one, and nothing is left busy.
    void VerifySelectionKept() {
        QVERIFY(MaskBytes(View()) == MaskOf(SelectionMap));
        QVERIFY(View()->Model().HasSelection());
        QCOMPARE(View()->Model().SelectionStackDepth(), size_t(0));
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QCOMPARE(Hint(), kHintDone);
    }

    void VerifyOpenedImageOpaque() {
        QVERIFY(BitmapBytes(View()) == LoadedPixels);
        for (size_t i = 0; i < size_t(kPixelCount); ++i)
            QCOMPARE(AlphaOf(Picture(), i), uint8_t(255));
    }

    // The composite's object layer holds exactly the selected pixels, opaque, and nothing else.
    void VerifyObjectLayer() {
        const imaging::ImageModel& model = Second()->Model();
        QCOMPARE(model.LayerCount(), 2);
        QCOMPARE(model.CurrentLayerIndex(), 1);
        int x1 = kImageWidth, y1 = kImageHeight, x2 = -1, y2 = -1;
        for (int y = 0; y < kImageHeight; ++y) {
            for (int x = 0; x < kImageWidth; ++x) {
                if (!IsObject(size_t(y) * kImageWidth + size_t(x))) continue;
                x1 = std::min(x1, x), y1 = std::min(y1, y), x2 = std::max(x2, x),
                y2 = std::max(y2, y);
            }
        }
        const imaging::Layer& object = model.LayerAt(1);
        QCOMPARE(object.bitmap.Width(), x2 - x1 + 1);
        QCOMPARE(object.bitmap.Height(), y2 - y1 + 1);
        QCOMPARE(object.x, 0);
        QCOMPARE(object.y, 0);
        const imaging::SelectionMask& mask = model.Mask();
        QCOMPARE(mask.Width(), object.bitmap.Width());
        for (int y = 0; y < object.bitmap.Height(); ++y) {
            for (int x = 0; x < object.bitmap.Width(); ++x) {
                const size_t source = size_t(y + y1) * kImageWidth + size_t(x + x1);
                const size_t pixel = size_t(y) * size_t(object.bitmap.Width()) + size_t(x);
                if (IsObject(source)) {
                    QCOMPARE(AlphaOf(object.bitmap, pixel), uint8_t(255));
                    // The disc's channels all lie below the view's background colour, so they
                    // come through the crop unchanged.
                    QVERIFY(std::equal(LoadedPixels.begin() + 3 * source,
                                       LoadedPixels.begin() + 3 * source + 3,
                                       object.bitmap.Data() + 3 * pixel));
                    QCOMPARE(mask.At(x, y), uint8_t(255));
                } else {
                    QCOMPARE(AlphaOf(object.bitmap, pixel), uint8_t(0));
                    QCOMPARE(mask.At(x, y), uint8_t(0));
                }
            }
        }
        QVERIFY(model.HasSelection());
        QVERIFY(model.AspectLocked());
        QCOMPARE(model.LayerInteractionFlags(),
                 unsigned(imaging::kMoveLayers | imaging::kResizeLayers));
        const QImage background = GradientImage(kBackgroundWidth, kBackgroundHeight);
        const imaging::Bitmap& ground = model.LayerAt(0).bitmap;
        QCOMPARE(ground.Width(), kBackgroundWidth);
        QCOMPARE(ground.PixelAt(37, 21),
                 (imaging::Rgb{uint8_t(qRed(background.pixel(37, 21))),
                               uint8_t(qGreen(background.pixel(37, 21))), 90}));
        QCOMPARE(Second()->size(), QSize(634, 521));
        QCOMPARE(View()->size(), QSize(0, 0));
    }

  private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        discFile = dir.filePath(QStringLiteral("disc.png"));
        QVERIFY(DiscImage(kImageWidth, kImageHeight).save(discFile));
        backgroundFile = dir.filePath(QStringLiteral("ground.png"));
        QVERIFY(GradientImage(kBackgroundWidth, kBackgroundHeight).save(backgroundFile));
    }

    void init() {
        form = std::make_unique<TForm1>();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }

    void cleanup() { form.reset(); }

    // ---- Fill ------------------------------------------------------------------------------

    void colourChooserChangesTheColourOnlyOnConfirm_data() {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("confirmed") << true;
        QTest::newRow("cancelled") << false;
    }

    void colourChooserChangesTheColourOnlyOnConfirm() {
        QFETCH(bool, confirm);
        OpenAndSelect(discFile);
        const std::vector<uint8_t> before = BitmapBytes(View());
        const QColor chosen(10, 200, 30);
        const QColor start = AnswerColourChooser([this] { Click("Button2"); }, chosen, confirm);
        QCOMPARE(start, QColor(255, 0, 0));
        QCOMPARE(form->FillColour(), confirm ? chosen : QColor(255, 0, 0));
        QVERIFY(BitmapBytes(View()) == before);
    }

    void fillGivesTheColourAndOpacityToTheBackground_data() {
        QTest::addColumn<int>("opacity");
        QTest::newRow("opaque") << 255;
        QTest::newRow("half") << 128;
        QTest::newRow("transparent") << 0;
    }

    void fillGivesTheColourAndOpacityToTheBackground() {
        QFETCH(int, opacity);
        OpenAndSelect(discFile);
        const QColor colour(20, 200, 90);
        ChooseFillColour(colour);
        SetSlider("TrackBar2", opacity);
        SetSlider("TrackBar5", 0);
        Click("Button3");

        const uint8_t fill[3] = {90, 200, 20};  // blue, green, red
        const imaging::Bitmap& picture = Picture();
        for (size_t i = 0; i < size_t(kPixelCount); ++i) {
            const uint8_t* pixel = picture.Data() + 3 * i;
            if (IsObject(i)) {
                QVERIFY(std::equal(pixel, pixel + 3, LoadedPixels.begin() + 3 * i));
                QCOMPARE(AlphaOf(picture, i), uint8_t(255));
            } else {
                for (int c = 0; c < 3; ++c)
                    QVERIFY(pixel[c] == fill[c] || pixel[c] + 1 == fill[c]);
                QCOMPARE(AlphaOf(picture, i), uint8_t(opacity));
            }
        }
        QVERIFY(View()->Model().SelectionShown());
        VerifySelectionKept();
    }

    void featheringSoftensTheColourButNotTheAlpha() {
        OpenAndSelect(discFile);
        SetSlider("TrackBar2", 100);
        SetSlider("TrackBar5", 2);
        Click("Button3");
        const imaging::Bitmap& picture = Picture();
        int blendedObjectPixels = 0;
        int keptBackgroundPixels = 0;
        for (int y = 0; y < kImageHeight; ++y) {
            for (int x = 0; x < kImageWidth; ++x) {
                const size_t i = size_t(y) * kImageWidth + size_t(x);
                const bool changed = !std::equal(picture.Data() + 3 * i, picture.Data() + 3 * i + 3,
                                                 LoadedPixels.begin() + 3 * i);
                QCOMPARE(AlphaOf(picture, i), uint8_t(IsObject(i) ? 255 : 100));
                if (IsObject(i) && changed) ++blendedObjectPixels;
                if (!IsObject(i) && picture.PixelAt(x, y) != imaging::Rgb{255, 0, 0} &&
                    picture.PixelAt(x, y) != imaging::Rgb{254, 0, 0}) {
                    ++keptBackgroundPixels;
                }
                // Far from the border the fill is as without feathering.
                if (DeepInside(x, y, 12)) {
                    QCOMPARE(changed, !IsObject(i));
                }
            }
        }
        QVERIFY(blendedObjectPixels > 0);
        QVERIFY(keptBackgroundPixels > 0);
        VerifySelectionKept();
    }

    void fillWithTheSelectionHiddenKeepsItHidden() {
        OpenAndSelect(discFile);
        Control<QCheckBox>("CheckBox1")->setChecked(false);
        Click("Button3");
        QVERIFY(!View()->Model().SelectionShown());
        VerifySelectionKept();
    }

    // ---- Blur and remove -------------------------------------------------------------------

    void blurChangesOnlyTheBackground() {
        OpenAndSelect(discFile);
        SetSlider("TrackBar3", 3);
        Click("BtBlur");

        // The background blurred as a whole through the inverted mask, the object as opened.
        imaging::Bitmap expected(kImageWidth, kImageHeight);
        std::copy(LoadedPixels.begin(), LoadedPixels.end(), expected.Data());
        imaging::SelectionMask background(kImageWidth, kImageHeight);
        for (int y = 0; y < kImageHeight; ++y) {
            for (int x = 0; x < kImageWidth; ++x)
                if (!IsObject(size_t(y) * kImageWidth + size_t(x))) background.SetPixel(x, y, 255);
        }
        imaging::BlurThroughMask(expected, background, 3.0);
        QVERIFY(BitmapBytes(View()) ==
                std::vector<uint8_t>(expected.Data(), expected.Data() + 3 * kPixelCount));
        int changed = 0;
        for (size_t i = 0; i < size_t(kPixelCount); ++i) {
            const bool same = std::equal(Picture().Data() + 3 * i, Picture().Data() + 3 * i + 3,
                                         LoadedPixels.begin() + 3 * i);
            if (IsObject(i)) QVERIFY(same);
            changed += !same;
            QCOMPARE(AlphaOf(Picture(), i), uint8_t(255));
        }
        QVERIFY(changed > (kPixelCount - CountOf(SelectionMap, 1)) / 2);
        VerifySelectionKept();
    }

    void removeLeavesTheObjectOnTransparentWhite_data() {
        QTest::addColumn<bool>("outlineChecked");
        QTest::newRow("outline shown") << true;
        QTest::newRow("outline hidden") << false;
    }

    void removeLeavesTheObjectOnTransparentWhite() {
        QFETCH(bool, outlineChecked);
        OpenAndSelect(discFile);
        Control<QCheckBox>("CheckBox1")->setChecked(outlineChecked);
        Click("BtErase");
        const imaging::Bitmap& picture = Picture();
        for (int y = 0; y < kImageHeight; ++y) {
            for (int x = 0; x < kImageWidth; ++x) {
                const size_t i = size_t(y) * kImageWidth + size_t(x);
                const uint8_t* pixel = picture.Data() + 3 * i;
                QCOMPARE(AlphaOf(picture, i), uint8_t(IsObject(i) ? 255 : 0));
                if (!DeepInside(x, y, 12)) continue;
                if (IsObject(i)) {
                    QVERIFY(std::equal(pixel, pixel + 3, LoadedPixels.begin() + 3 * i));
                } else {
                    for (int c = 0; c < 3; ++c)
                        QVERIFY(pixel[c] >= 254);
                }
            }
        }
        // Removing always shows the outline, whatever the check box says.
        QVERIFY(View()->Model().SelectionShown());
        VerifySelectionKept();
    }

    // ---- Every effect: cancel, repeat ------------------------------------------------------

    void cancelRestoresTheOpenedImageKeepingTheSelection_data() {
        QTest::addColumn<QString>("effect");
        QTest::addColumn<QString>("cancel");
        QTest::newRow("fill") << "Button3"
                              << "Button6";
        QTest::newRow("blur") << "BtBlur"
                              << "Button8";
        QTest::newRow("remove") << "BtErase"
                                << "Button7";
    }

    void cancelRestoresTheOpenedImageKeepingTheSelection() {
        QFETCH(QString, effect);
        QFETCH(QString, cancel);
        OpenAndSelect(discFile);
        SetSlider("TrackBar2", 40);
        Click(qPrintable(effect));
        QVERIFY(BitmapBytes(View()) != LoadedPixels);
        Click(qPrintable(cancel));
        VerifyOpenedImageOpaque();
        VerifySelectionKept();
    }

    void secondApplicationReplacesTheFirst_data() {
        QTest::addColumn<QString>("effect");
        QTest::addColumn<QString>("slider");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("second");
        QTest::newRow("fill opacity") << "Button3"
                                      << "TrackBar2" << 60 << 200;
        QTest::newRow("fill feather") << "Button3"
                                      << "TrackBar5" << 7 << 1;
        QTest::newRow("blur") << "BtBlur"
                              << "TrackBar3" << 8 << 2;
        QTest::newRow("remove") << "BtErase"
                                << "TrackBar6" << 9 << 1;
    }

    void secondApplicationReplacesTheFirst() {
        QFETCH(QString, effect);
        QFETCH(QString, slider);
        QFETCH(int, first);
        QFETCH(int, second);
        OpenAndSelect(discFile);
        SetSlider(qPrintable(slider), first);
        Click(qPrintable(effect));
        const imaging::Bitmap once = Picture();
        SetSlider(qPrintable(slider), second);
        Click(qPrintable(effect));
        const imaging::Bitmap twice = Picture();
        QVERIFY(!SamePicture(twice, once));

        Click("Button6");
        Click(qPrintable(effect));
        QVERIFY(SamePicture(Picture(), twice));
        VerifySelectionKept();
    }

    void effectsShowTheWaitTextWhileWorking_data() {
        QTest::addColumn<QString>("button");
        QTest::newRow("fill") << "Button3";
        QTest::newRow("blur") << "BtBlur";
        QTest::newRow("remove") << "BtErase";
    }

    void effectsShowTheWaitTextWhileWorking() {
        QFETCH(QString, button);
        OpenAndSelect(discFile);
        const PaintedTexts painted(Control<QLabel>("Label5"));
        Click(qPrintable(button));
        QVERIFY(painted.Texts().contains(kHintWorking));
        QCOMPARE(Hint(), kHintDone);
    }

    void savingShowsTheWaitTextThenTheOutcome() {
        OpenAndSelect(discFile);
        const PaintedTexts painted(Control<QLabel>("Label5"));
        const QString file = dir.filePath(QStringLiteral("waited.png"));
        QVERIFY(form->SaveToFile(file));
        QVERIFY(painted.Texts().contains(kHintWorking));
        QCOMPARE(Hint(), QStringLiteral("已保存到 ") + QDir::toNativeSeparators(file));
    }

    void pageChangeAfterAnEffectRestoresTheImage() {
        OpenAndSelect(discFile);
        Click("BtErase");
        Control<QTabWidget>("PageControl1")->setCurrentIndex(2);
        VerifyOpenedImageOpaque();
        VerifySelectionKept();
    }

    // ---- Replace background ----------------------------------------------------------------

    void loadingABackgroundBuildsTheComposite_data() {
        QTest::addColumn<QString>("openedFileAfterwards");
        QTest::newRow("file as opened") << "kept";
        QTest::newRow("file deleted") << "deleted";
        QTest::newRow("file now another size") << "resized";
    }

    void loadingABackgroundBuildsTheComposite() {
        QFETCH(QString, openedFileAfterwards);
        const QString opened = dir.filePath(QStringLiteral("opened.png"));
        QFile::remove(opened);
        QVERIFY(QFile::copy(discFile, opened));
        OpenAndSelect(opened);
        if (openedFileAfterwards == "deleted") QVERIFY(QFile::remove(opened));
        if (openedFileAfterwards == "resized") QVERIFY(GradientImage(30, 20).save(opened));
        // The object comes from the file (or the pixels kept from opening), not from the main
        // view, which shows the marks' outlines.
        QVERIFY(BitmapBytes(View()) != LoadedPixels);

        QVERIFY(form->LoadBackgroundFile(backgroundFile));
        VerifyObjectLayer();
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QCOMPARE(Hint(), kHintDone);
    }

    void unreadableBackgroundChangesNothing_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("not an image") << QByteArray("this is no picture at all");
    }

    void unreadableBackgroundChangesNothing() {
        QFETCH(QByteArray, contents);
        OpenAndSelect(discFile);
        QVERIFY(form->LoadBackgroundFile(backgroundFile));
        Click("Button4");
        const std::vector<imaging::Layer> layers = Second()->Model().Layers();

        const QString broken = dir.filePath(QStringLiteral("broken.png"));
        QFile::remove(broken);
        if (!contents.isEmpty()) {
            QFile file(broken);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(contents);
        }
        QVERIFY(!form->LoadBackgroundFile(broken));
        QVERIFY(Hint().startsWith(QStringLiteral("无法加载背景“broken.png”：")));
        QCOMPARE(View()->size(), QSize(634, 521));
        QCOMPARE(Second()->size(), QSize(0, 0));
        QCOMPARE(Second()->Model().LayerCount(), 2);
        QVERIFY(Second()->Model().LayerAt(0).bitmap == layers[0].bitmap);
        QVERIFY(Second()->Model().LayerAt(1).bitmap == layers[1].bitmap);
    }

    void loadingBeforeAnyImageDoesNothing() {
        QVERIFY(!form->LoadBackgroundFile(backgroundFile));
        QCOMPARE(Second()->size(), QSize(0, 0));
        QCOMPARE(Second()->Model().LayerCount(), 1);
    }

    void opacitySliderSetsTheObjectsAlpha() {
        OpenAndSelect(discFile);
        QVERIFY(form->LoadBackgroundFile(backgroundFile));
        SetSlider("TrackBar4", 100);
        QCOMPARE(Control<QLabel>("Label9")->text(), QStringLiteral("透明度：100"));
        const imaging::ImageModel& model = Second()->Model();
        const imaging::Bitmap& object = model.LayerAt(1).bitmap;
        const imaging::SelectionMask& mask = model.Mask();
        for (int y = 0; y < object.Height(); ++y) {
            for (int x = 0; x < object.Width(); ++x)
                QCOMPARE(object.AlphaAt(x, y), uint8_t(mask.At(x, y) == 255 ? 100 : 0));
        }
        QVERIFY(!model.LayerAt(0).bitmap.HasAlpha());
    }

    void mergingGrowsThePictureOverTheRightAndBottomEdges() {
        OpenAndSelect(discFile);
        QVERIFY(form->LoadBackgroundFile(backgroundFile));
        const imaging::Layer object = Second()->Model().LayerAt(1);
        // Drag the object with the mouse towards the bottom-right corner of the background.
        const int dx = kBackgroundWidth - object.bitmap.Width() / 2;
        const int dy = kBackgroundHeight - object.bitmap.Height() / 2;
        const int cx = object.bitmap.Width() / 2;
        const int cy = object.bitmap.Height() / 2;
        Stroke(Second(), Qt::LeftButton,
               {{cx, cy}, {cx + dx / 2, cy + dy / 2}, {cx + dx, cy + dy}});
        const imaging::Layer moved = Second()->Model().LayerAt(1);
        QVERIFY(moved.x + moved.displayWidth > kBackgroundWidth);
        QVERIFY(moved.y + moved.displayHeight > kBackgroundHeight);
        QCOMPARE(moved.displayWidth, object.displayWidth);

        Click("Button5");
        const imaging::ImageModel& model = Second()->Model();
        QCOMPARE(model.LayerCount(), 1);
        const imaging::Bitmap& merged = model.CurrentBitmap();
        QCOMPARE(merged.Width(), moved.x + moved.displayWidth);
        QCOMPARE(merged.Height(), moved.y + moved.displayHeight);
        // Covered by neither layer: the view's background colour, transparent.
        QCOMPARE(merged.PixelAt(merged.Width() - 1, 0), imaging::kViewBackground);
        QCOMPARE(merged.AlphaAt(merged.Width() - 1, 0), uint8_t(0));
        // The background itself, and the object over it, opaque.
        const QImage background = GradientImage(kBackgroundWidth, kBackgroundHeight);
        QCOMPARE(merged.PixelAt(3, 4), (imaging::Rgb{6, uint8_t(250 - 12), 90}));
        QCOMPARE(merged.AlphaAt(3, 4), uint8_t(255));
        const int ox = moved.x + cx;
        const int oy = moved.y + cy;
        QCOMPARE(merged.PixelAt(ox, oy), object.bitmap.PixelAt(cx, cy));
        QCOMPARE(merged.AlphaAt(ox, oy), uint8_t(255));
        QVERIFY(!model.HasSelection());

        // A second merge does nothing.
        const imaging::Bitmap once = merged;
        Click("Button5");
        QCOMPARE(model.LayerCount(), 1);
        QVERIFY(model.CurrentBitmap() == once);
    }

    void cancelOnTheReplacePageShowsTheMainViewAgain() {
        OpenAndSelect(discFile);
        QVERIFY(form->LoadBackgroundFile(backgroundFile));
        Click("Button4");
        QCOMPARE(View()->size(), QSize(634, 521));
        QCOMPARE(Second()->size(), QSize(0, 0));
        QCOMPARE(Second()->Model().LayerCount(), 2);
    }

    // ---- Saving ----------------------------------------------------------------------------

    void removedBackgroundSavesTransparentOrWhite_data() {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<bool>("keepsAlpha");
        QTest::newRow("png") << "png" << true;
        QTest::newRow("jpg") << "jpg" << false;
    }

    void removedBackgroundSavesTransparentOrWhite() {
        QFETCH(QString, extension);
        QFETCH(bool, keepsAlpha);
        OpenAndSelect(discFile);
        Click("BtErase");
        const QString file = dir.filePath(QStringLiteral("cutout.") + extension);
        QVERIFY(form->SaveToFile(file));
        QCOMPARE(Hint(), QStringLiteral("已保存到 ") + QDir::toNativeSeparators(file));

        const QImage saved(file);
        QCOMPARE(saved.size(), QSize(kImageWidth, kImageHeight));
        QCOMPARE(saved.hasAlphaChannel(), keepsAlpha);
        for (int y = 0; y < kImageHeight; ++y) {
            for (int x = 0; x < kImageWidth; ++x) {
                const QRgb pixel = saved.pixel(x, y);
                const bool object = IsObject(size_t(y) * kImageWidth + size_t(x));
                if (keepsAlpha) QCOMPARE(qAlpha(pixel), object ? 255 : 0);
                if (!keepsAlpha && !object && DeepInside(x, y, 12)) {
                    QVERIFY(qRed(pixel) > 245 && qGreen(pixel) > 245 && qBlue(pixel) > 245);
                }
                if (keepsAlpha && DeepInside(x, y, 12)) {
                    const uint8_t* loaded = LoadedPixels.data() + 3 * (y * kImageWidth + x);
                    const QRgb expected =
                        object ? qRgb(loaded[2], loaded[1], loaded[0]) : qRgb(255, 255, 255);
                    QVERIFY(std::abs(qRed(pixel) - qRed(expected)) <= 1);
                    QVERIFY(std::abs(qGreen(pixel) - qGreen(expected)) <= 1);
                    QVERIFY(std::abs(qBlue(pixel) - qBlue(expected)) <= 1);
                }
            }
        }
    }

    void failedSaveKeepsTheOldFileAndSaysWhy_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown extension") << "old.xyz"
                                           << "无法保存：不支持的文件类型。";
        QTest::newRow("missing folder") << "missing/picture.png"
                                        << "";
        QTest::newRow("a folder in the way") << "folder.png"
                                             << "";
    }

    void failedSaveKeepsTheOldFileAndSaysWhy() {
        QFETCH(QString, name);
        QFETCH(QString, message);
        OpenAndSelect(discFile);
        Click("BtErase");
        const QString target = dir.filePath(name);
        const QByteArray old("the old file");
        if (name == "folder.png") {
            QVERIFY(QDir(dir.path()).mkpath(name));
        } else if (!name.startsWith("missing")) {
            QFile file(target);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(old);
        }
        const QStringList before =
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

        QVERIFY(!form->SaveToFile(target));
        QVERIFY(Hint().startsWith(QStringLiteral("无法保存：")));
        if (!message.isEmpty()) QCOMPARE(Hint(), message);
        if (name == "old.xyz") {
            QFile file(target);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), old);
        }
        if (name == "folder.png") QVERIFY(QFileInfo(target).isDir());
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
        if (name == "folder.png") {
            QVERIFY(QDir(dir.path()).rmdir(name));
        } else {
            QFile::remove(target);
        }
    }

    void savingTheCompositeMergesItFirst() {
        OpenAndSelect(discFile);
        QVERIFY(form->LoadBackgroundFile(backgroundFile));
        const QString file = dir.filePath(QStringLiteral("composite.png"));
        QVERIFY(form->SaveToFile(file));
        const imaging::ImageModel& model = Second()->Model();
        QCOMPARE(model.LayerCount(), 1);
        const imaging::Bitmap& merged = model.CurrentBitmap();
        QCOMPARE(merged.Width(), kBackgroundWidth);
        QCOMPARE(merged.Height(), kBackgroundHeight);
        const QImage saved(file);
        QCOMPARE(saved.size(), QSize(kBackgroundWidth, kBackgroundHeight));
        for (int y = 0; y < kBackgroundHeight; y += 7) {
            for (int x = 0; x < kBackgroundWidth; x += 5) {
                const imaging::Rgb pixel = merged.PixelAt(x, y);
                QCOMPARE(saved.pixel(x, y), qRgb(pixel.red, pixel.green, pixel.blue));
            }
        }
        // The second view is merged now: "合并" does nothing more.
        const imaging::Bitmap once = merged;
        Click("Button5");
        QVERIFY(model.CurrentBitmap() == once);
    }

    // The main view writes with the options of the save dialog's advanced button; the composite
    // keeps the writers' defaults whatever they say.
    void eachViewWritesWithItsOwnOptions() {
        OpenAndSelect(discFile);
        Click("BtErase");
        const auto savedBytes = [this](const QString& name) {
            const QString file = dir.filePath(name);
            if (!form->SaveToFile(file)) return QByteArray();
            QFile saved(file);
            return saved.open(QIODevice::ReadOnly) ? saved.readAll() : QByteArray();
        };
        form->MainViewOutputSettings().jpegQuality = 95;
        const QByteArray fine = savedBytes(QStringLiteral("fine.jpg"));
        form->MainViewOutputSettings().jpegQuality = 5;
        const QByteArray coarse = savedBytes(QStringLiteral("coarse.jpg"));
        QVERIFY(!coarse.isEmpty());
        QVERIFY(fine.size() > 2 * coarse.size());

        form->MainViewOutputSettings() = io::OutputSettings{};
        Click("Button4");
        QVERIFY(form->LoadBackgroundFile(backgroundFile));
        const QByteArray byDefault = savedBytes(QStringLiteral("composite-default.jpg"));
        form->MainViewOutputSettings().jpegQuality = 5;
        const QByteArray withMainOptions = savedBytes(QStringLiteral("composite-main.jpg"));
        QVERIFY(!byDefault.isEmpty());
        QCOMPARE(withMainOptions, byDefault);
    }

    void buttonsTakeTheirFilesFromTheDialogs() {
        OpenAndSelect(discFile);
        AnswerFileDialog([this] { Click("Button1"); }, backgroundFile);
        VerifyObjectLayer();
        // Cancelled, the dialog still costs the object layer; the background stays shown.
        AnswerFileDialog([this] { Click("Button1"); }, QString());
        QCOMPARE(Second()->Model().LayerCount(), 1);
        QCOMPARE(Second()->Model().CurrentBitmap().Width(), kBackgroundWidth);
        QCOMPARE(Second()->size(), QSize(634, 521));

        Click("Button4");
        const QString file = dir.filePath(QStringLiteral("chosen.png"));
        QFile::remove(file);
        AnswerFileDialog([this] { Click("BtSave"); }, QString());
        QVERIFY(!QFileInfo::exists(file));
        QCOMPARE(Hint(), kHintDone);
        AnswerFileDialog([this] { Click("BtSave"); }, file);
        QCOMPARE(QImage(file).size(), QSize(kImageWidth, kImageHeight));
        QCOMPARE(Hint(), QStringLiteral("已保存到 ") + QDir::toNativeSeparators(file));
    }

    void savingAfterCancelOnTheReplacePageWritesTheMainView() {
        OpenAndSelect(discFile);
        QVERIFY(form->LoadBackgroundFile(backgroundFile));
        Click("Button4");
        const QString file = dir.filePath(QStringLiteral("main.bmp"));
        QVERIFY(form->SaveToFile(file));
        QCOMPARE(QImage(file).size(), QSize(kImageWidth, kImageHeight));
        QCOMPARE(Second()->Model().LayerCount(), 2);
    }
};

QTEST_MAIN(EffectsTest)
#include "test_effects.moc"
