// Damaged and forged image files opened in the window Corvella (Qt Test, offscreen): each is
// refused with its name and the reason on the hint line, and the window keeps the image it had,
// its marks, its selection and the engine's state.
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <vector>

#include "ImageView.h"
#include "Unit1.h"
#include "window_fixture.h"

namespace {

constexpr int kImageWidth = 120;
constexpr int kImageHeight = 90;

std::vector<uint8_t> BitmapBytes(const ImageView* view) {
    const imaging::Bitmap& bitmap = view->Model().CurrentBitmap();
    return {bitmap.Data(), bitmap.Data() + 3 * bitmap.PixelCount()};
}

std::vector<uint8_t> MaskBytes(const ImageView* view) {
    const imaging::SelectionMask& mask = view->Model().Mask();
    return {mask.Data(), mask.Data() + size_t(mask.Width()) * size_t(mask.Height())};
}

QString Reason(const char* text) {
    return QString::fromUtf8(text);
}

}  // namespace

class WindowBadFilesTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<TForm1> form;
    QTemporaryDir dir;
    QString discFile;

    ImageView* View() const { return form->MainView(); }
    QWidget* Viewport() const { return form->MainView()->viewport(); }
    QString Hint() const {
        auto* hint = form->findChild<QLabel*>(QStringLiteral("Label5"));
        return hint != nullptr ? hint->text() : QString();
    }
    QPoint ClientOf(int x, int y) const {
        return View()->BmpToScr(QPointF(x + 0.5, y + 0.5)).toPoint();
    }

    void Stroke(Qt::MouseButton button, QPoint from, QPoint to) {
        QTest::mousePress(Viewport(), button, {}, ClientOf(from.x(), from.y()));
        QTest::mouseMove(Viewport(), ClientOf((from.x() + to.x()) / 2, (from.y() + to.y()) / 2));
        QTest::mouseMove(Viewport(), ClientOf(to.x(), to.y()));
        QTest::mouseRelease(Viewport(), button, {}, ClientOf(to.x(), to.y()));
    }

    // The window shows the engine's selection for its marks, of the disc's size.
    void VerifyEngineSelectionShown() {
        QCOMPARE(SelectionMap.size(), size_t(kImageWidth) * kImageHeight);
        QCOMPARE(SelectionMap, stress::EngineSelection());
        QVERIFY(std::count(SelectionMap.begin(), SelectionMap.end(), uint8_t(1)) > 0);
        QCOMPARE(View()->Model().Mask().Width(), kImageWidth);
        QCOMPARE(View()->Model().Mask().Height(), kImageHeight);
        QCOMPARE(Hint(), kHintDone);
    }

  private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        discFile = dir.filePath(QStringLiteral("disc.png"));
        QVERIFY(stress::DiscImage(kImageWidth, kImageHeight).save(discFile));
    }

    void init() {
        form = std::make_unique<TForm1>();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }

    void cleanup() { form.reset(); }

    void badFileKeepsImageMarksSelectionAndEngine_data() {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("reason");
        const auto row = [](const char* name, const char* reason) {
            QTest::newRow(name) << QString::fromLatin1(name) << Reason(reason);
        };
        row("bad_truncated.png", "文件已损坏或不完整");
        row("bad_huge_header.png", "图像尺寸过大");
        row("bad_empty.png", "文件是空的");
        row("bad_text.jpg", "不是可识别的图像文件");
        row("bad_huge_header.gif", "图像尺寸过大");
        // The BMP reader itself rejects a header beyond 16384 x 16384 pixels as damaged.
        row("bad_huge_header.bmp", "文件已损坏或不完整");
        row("bad_900mp_header.png", "图像尺寸过大");
        // 50 megapixels are within the limit: the file fails only because its pixels are missing.
        row("bad_50mp_truncated.png", "文件已损坏或不完整");
    }

    void badFileKeepsImageMarksSelectionAndEngine() {
        QFETCH(QString, fileName);
        QFETCH(QString, reason);
        const QString path = QDir(QStringLiteral(QUILLANE_TEST_DATA)).filePath(fileName);
        QVERIFY2(QFileInfo::exists(path), qPrintable(path));

        QVERIFY(form->OpenImageFile(discFile));
        Stroke(Qt::LeftButton, {50, 45}, {70, 46});
        Stroke(Qt::RightButton, {5, 5}, {115, 6});
        VerifyEngineSelectionShown();
        const std::vector<uint8_t> loaded = LoadedPixels;
        const std::vector<uint8_t> marks = MarkMap;
        const std::vector<uint8_t> selection = SelectionMap;
        const std::vector<uint8_t> bitmap = BitmapBytes(View());
        const std::vector<uint8_t> mask = MaskBytes(View());
        const double zoom = View()->Zoom();

        QVERIFY(!form->OpenImageFile(path));
        QVERIFY2(Hint().contains(fileName), qPrintable(Hint()));
        QVERIFY2(Hint().contains(reason), qPrintable(Hint()));
        if (!reason.contains(Reason("过大")))
            QVERIFY2(!Hint().contains(Reason("过大")), qPrintable(Hint()));

        QCOMPARE(ImageWidth, kImageWidth);
        QCOMPARE(ImageHeight, kImageHeight);
        QCOMPARE(ImageFileName, discFile);
        QCOMPARE(EngineWidth, kImageWidth);
        QCOMPARE(EngineHeight, kImageHeight);
        QVERIFY(LoadedPixels == loaded);
        QVERIFY(MarkMap == marks);
        QVERIFY(SelectionMap == selection);
        QVERIFY(BitmapBytes(View()) == bitmap);
        QVERIFY(MaskBytes(View()) == mask);
        QVERIFY(View()->Model().HasSelection());
        QCOMPARE(View()->Zoom(), zoom);
        QCOMPARE(form->SecondView()->size(), QSize(0, 0));

        // The engine still holds the disc: one more stroke computes a selection of its size.
        Stroke(Qt::LeftButton, {40, 40}, {45, 50});
        QCOMPARE(MarkMap[size_t(45 * kImageWidth + 42)], uint8_t(1));
        VerifyEngineSelectionShown();
    }

    // The same files as the background of the composite picture: the hint names the file and
    // the reason, the composite shown before stays as it was.
    void badBackgroundKeepsTheComposite_data() { badFileKeepsImageMarksSelectionAndEngine_data(); }

    void badBackgroundKeepsTheComposite() {
        QFETCH(QString, fileName);
        QFETCH(QString, reason);
        const QString path = QDir(QStringLiteral(QUILLANE_TEST_DATA)).filePath(fileName);
        QVERIFY(form->OpenImageFile(discFile));
        Stroke(Qt::LeftButton, {50, 45}, {70, 46});
        Stroke(Qt::RightButton, {5, 5}, {115, 6});
        VerifyEngineSelectionShown();

        // Before any composite the main view stays shown.
        QVERIFY(!form->LoadBackgroundFile(path));
        QVERIFY2(Hint().contains(fileName) && Hint().contains(reason), qPrintable(Hint()));
        QCOMPARE(View()->size(), QSize(ViewWidth, ViewHeight));
        QCOMPARE(form->SecondView()->size(), QSize(0, 0));

        QVERIFY(form->LoadBackgroundFile(discFile));
        const imaging::ImageModel& composite = form->SecondView()->Model();
        QCOMPARE(composite.LayerCount(), 2);
        const imaging::Bitmap background = composite.LayerAt(0).bitmap;
        const imaging::Bitmap object = composite.LayerAt(1).bitmap;
        QVERIFY(!form->LoadBackgroundFile(path));
        QVERIFY2(Hint().contains(fileName) && Hint().contains(reason), qPrintable(Hint()));
        QCOMPARE(form->SecondView()->size(), QSize(ViewWidth, ViewHeight));
        QCOMPARE(View()->size(), QSize(0, 0));
        QCOMPARE(composite.LayerCount(), 2);
        QVERIFY(composite.LayerAt(0).bitmap == background);
        QVERIFY(composite.LayerAt(1).bitmap == object);
        QCOMPARE(ImageWidth, kImageWidth);
        QCOMPARE(EngineWidth, kImageWidth);
    }

    // Bad files before any image: nothing is opened and a release computes nothing.
    void badFileBeforeAnyImageOpensNothing() {
        const QString path =
            QDir(QStringLiteral(QUILLANE_TEST_DATA)).filePath("bad_huge_header.png");
        QVERIFY(!form->OpenImageFile(path));
        QVERIFY(Hint().contains(QStringLiteral("bad_huge_header.png")));
        QCOMPARE(ImageWidth, 0);
        QCOMPARE(ImageHeight, 0);
        QVERIFY(LoadedPixels.empty());
        QVERIFY(MarkMap.empty());
        QVERIFY(ImageFileName.isEmpty());
        QTest::mouseClick(Viewport(), Qt::LeftButton, {}, Viewport()->rect().center());
        QVERIFY(MarkMap.empty());
        QVERIFY(SelectionMap.empty());
    }
};

QTEST_MAIN(WindowBadFilesTest)
#include "test_window_bad_files.moc"
