// The window Corvella driven with real mouse, key and wheel events (Qt Test, offscreen).
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <QtTest>
#include <cmath>
#include <memory>
#include <vector>

#include "ImageView.h"
#include "Unit1.h"
#include "io/image_dialogs.h"
#include "segmentation.h"
#include "window_fixture.h"

using namespace window_fixture;

namespace {

constexpr int kImageWidth = 120;
constexpr int kImageHeight = 90;

// What the engine answers for the window's current marks and loaded pixels.
struct EngineAnswer {
    std::vector<uint8_t> pixels;
    std::vector<uint8_t> selection;
};

EngineAnswer AskEngine(bool outlinesOnly) {
    EngineAnswer answer{LoadedPixels, std::vector<uint8_t>(MarkMap.size(), 0)};
    if (outlinesOnly) {
        ShowLines(MarkMap.data(), answer.pixels.data());
    } else {
        Lazy(MarkMap.data(), answer.pixels.data(), answer.selection.data());
    }
    return answer;
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<TForm1> form;
    QTemporaryDir dir;
    QString discFile;

    ImageView* View() const { return form->MainView(); }
    QWidget* Viewport() const { return form->MainView()->viewport(); }
    template <typename T>
    T* Control(const char* name) const {
        T* control = form->findChild<T*>(QString::fromLatin1(name));
        if (control == nullptr) qFatal("no control %s", name);
        return control;
    }
    QString Hint() const { return Control<QLabel>("Label5")->text(); }

    // The client point at the centre of image pixel (x, y).
    QPoint ClientOf(int x, int y) const {
        return View()->BmpToScr(QPointF(x + 0.5, y + 0.5)).toPoint();
    }

    // Presses at the first image point, moves through the others, releases at the last.
    void Stroke(Qt::MouseButton button, const std::vector<QPoint>& imagePoints,
                Qt::KeyboardModifiers modifiers = {}) {
        QTest::mousePress(Viewport(), button, modifiers,
                          ClientOf(imagePoints[0].x(), imagePoints[0].y()));
        for (const QPoint& point : imagePoints) {
            QTest::mouseMove(Viewport(), ClientOf(point.x(), point.y()));
        }
        const QPoint last = imagePoints.back();
        QTest::mouseRelease(Viewport(), button, modifiers, ClientOf(last.x(), last.y()));
    }

    void OpenDisc() {
        QVERIFY(form->OpenImageFile(discFile));
        QCOMPARE(ImageWidth, kImageWidth);
    }

    void Wheel(int notches) {
        const QPoint centre = Viewport()->rect().center();
        QWheelEvent event(centre, Viewport()->mapToGlobal(centre), QPoint(),
                          QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(Viewport(), &event);
    }

    // The view shows what the engine computes from the window's marks (which select something
    // unless they are all background marks).
    void VerifyShowsEngineSelection(bool selectsSomething = true) {
        const EngineAnswer answer = AskEngine(false);
        QCOMPARE(CountOf(answer.selection, 1) > 0, selectsSomething);
        QCOMPARE(SelectionMap, answer.selection);
        QVERIFY(MaskBytes(View()) == MaskOf(answer.selection));
        QVERIFY(BitmapBytes(View()) == answer.pixels);
        QCOMPARE(View()->Model().HasSelection(), selectsSomething);
        QCOMPARE(MarksChanged, 0);
        QCOMPARE(Hint(), kHintDone);
    }

    // A foreground stroke inside the disc and a background stroke above it.
    void MarkDiscAndGround() {
        Stroke(Qt::LeftButton, {{50, 45}, {60, 45}, {70, 46}});
        Stroke(Qt::RightButton, {{5, 5}, {60, 5}, {115, 6}});
    }

  private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        discFile = dir.filePath(QStringLiteral("disc.png"));
        QVERIFY(DiscImage(kImageWidth, kImageHeight).save(discFile));
    }

    void init() {
        form = std::make_unique<TForm1>();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }

    void cleanup() { form.reset(); }

    void startsWithTheDesignedWindow() {
        QCOMPARE(form->windowTitle(), QStringLiteral("Quillane"));
        QCOMPARE(form->size(), QSize(939, 570));
        QCOMPARE(form->minimumSize(), form->maximumSize());
        QVERIFY(!(form->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(!(form->windowFlags() & Qt::WindowMinimizeButtonHint));
        QCOMPARE(View()->geometry(), QRect(15, 16, 634, 521));
        QCOMPARE(form->SecondView()->size(), QSize(0, 0));
        QCOMPARE(ViewWidth, 634);
        QCOMPARE(ViewHeight, 521);
        QCOMPARE(ImageWidth, 0);
        QCOMPARE(MouseMode, 0);
        QCOMPARE(MarksChanged, 0);
        QCOMPARE(View()->Zoom(), 1e-12);
        QCOMPARE(Hint(), kHintStart);
        QCOMPARE(Control<QLabel>("Label1")->text(), QStringLiteral("显示比例："));
        QCOMPARE(View()->ViewCursor(), Qt::CrossCursor);
        QVERIFY(Control<QRadioButton>("RadioSegment")->isChecked());
        QVERIFY(!Control<QRadioButton>("RadioRect")->isChecked());
        QVERIFY(Control<QCheckBox>("CheckBox1")->isChecked());
        auto* pages = Control<QTabWidget>("PageControl1");
        QCOMPARE(pages->currentIndex(), 0);
        const QStringList titles{"填充背景", "替换背景", "模糊背景", "去背景"};
        for (int i = 0; i < titles.size(); ++i)
            QCOMPARE(pages->tabText(i), titles[i]);
    }

    void controlsHaveTheirPlacesAndCaptions_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("caption");
        const auto row = [](const char* name, QRect geometry, const char* caption) {
            QTest::newRow(name) << QString::fromLatin1(name) << geometry
                                << QString::fromUtf8(caption);
        };
        row("BtOpen", {694, 16, 75, 25}, "打开");
        row("BtSave", {816, 16, 75, 25}, "保存");
        row("GroupBox1", {664, 64, 241, 169}, "抠图");
        row("RadioGroup1", {16, 32, 209, 65}, "选择模式");
        row("RadioSegment", {48, 56, 65, 17}, "线段");
        row("RadioRect", {136, 56, 57, 17}, "矩形");
        row("CheckBox1", {24, 144, 113, 17}, "显示选区");
        row("BtReset", {688, 176, 75, 25}, "重置");
        row("BtReverse", {800, 176, 75, 25}, "反选");
        row("PageControl1", {672, 256, 257, 209}, "");
        row("Button2", {104, 16, 33, 25}, "...");
        row("Panel2", {145, 24, 65, 17}, "");
        row("TrackBar2", {80, 52, 145, 33}, "");
        row("TrackBar5", {80, 88, 150, 45}, "");
        row("Button3", {32, 136, 75, 25}, "确定");
        row("Button6", {136, 136, 75, 25}, "取消");
        row("TrackBar4", {96, 48, 150, 45}, "");
        row("Button1", {16, 144, 75, 25}, "加载背景");
        row("Button5", {104, 144, 57, 25}, "合并");
        row("Button4", {184, 144, 59, 25}, "取消");
        row("TrackBar3", {88, 48, 150, 45}, "");
        row("BtBlur", {30, 132, 75, 25}, "确定");
        row("Button8", {136, 128, 75, 25}, "取消");
        row("TrackBar6", {80, 56, 150, 45}, "");
        row("BtErase", {30, 140, 75, 25}, "确定");
        row("Button7", {136, 136, 75, 25}, "取消");
        row("TrackBar1", {736, 496, 185, 33}, "");
        row("Label2", {0, 24, 0, 0}, "选择颜色:");
        row("Label3", {0, 56, 0, 0}, "透明度:255");
        row("Label4", {16, 96, 0, 0}, "羽化:2");
        row("Label9", {8, 56, 0, 0}, "透明度:255");
        row("Label8", {8, 56, 0, 0}, "强度:1");
        row("Label6", {8, 64, 0, 0}, "羽化:2");
        row("Label1", {656, 504, 0, 0}, "显示比例：");
        row("Label5", {16, 544, 0, 0}, "提示：");
        row("Label7", {792, 536, 0, 0}, "Power by Orravine");
    }

    // Labels size themselves, so only their place is fixed; every caption fits its control.
    void controlsHaveTheirPlacesAndCaptions() {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, caption);
        QWidget* control = form->findChild<QWidget*>(name);
        QVERIFY(control != nullptr);
        if (geometry.width() == 0) {
            QCOMPARE(control->pos(), geometry.topLeft());
        } else {
            QCOMPARE(control->geometry(), geometry);
        }
        if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            QCOMPARE(button->text(), caption);
            QVERIFY2(button->sizeHint().width() <= button->width() ||
                         qobject_cast<QPushButton*>(control) != nullptr,
                     qPrintable(name));
            QVERIFY2(button->fontMetrics().horizontalAdvance(caption) + 8 <= button->width(),
                     qPrintable(name));
        } else if (auto* label = qobject_cast<QLabel*>(control)) {
            QCOMPARE(label->text(), caption);
            QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(name));
        } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
            QCOMPARE(group->title(), caption);
        }
    }

    // The longest texts the handlers put into the labels still fit, and all four pages' tabs are
    // visible at once.
    void longestCaptionsFitAndAllTabsShow() {
        const auto fits = [](QLabel* label, const QString& text) {
            return label->fontMetrics().horizontalAdvance(text) <= label->width();
        };
        QVERIFY(fits(Control<QLabel>("Label1"), QStringLiteral("显示比例 (200%)")));
        QVERIFY(fits(Control<QLabel>("Label3"), QStringLiteral("透明度：255")));
        QVERIFY(fits(Control<QLabel>("Label9"), QStringLiteral("透明度：255")));
        QVERIFY(fits(Control<QLabel>("Label4"), QStringLiteral("羽化：10")));
        QVERIFY(fits(Control<QLabel>("Label6"), QStringLiteral("羽化：10")));
        QVERIFY(fits(Control<QLabel>("Label8"), QStringLiteral("强度:10")));
        QVERIFY(fits(Control<QLabel>("Label5"), kHintMarking));
        auto* pages = Control<QTabWidget>("PageControl1");
        QTabBar* tabs = pages->tabBar();
        QVERIFY(tabs->tabRect(3).right() < pages->width());
        // The style draws a tab's caption inside the tab less its horizontal space.
        const int space = tabs->style()->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, tabs);
        for (int i = 0; i < 4; ++i) {
            QVERIFY(tabs->fontMetrics().horizontalAdvance(tabs->tabText(i)) <=
                    tabs->tabRect(i).width() - space);
        }
    }

    void slidersHaveTheirRanges_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("tick");
        QTest::newRow("TrackBar1") << "TrackBar1" << 10 << 200 << 10 << 100;
        QTest::newRow("TrackBar2") << "TrackBar2" << 0 << 255 << 255 << 30;
        QTest::newRow("TrackBar5") << "TrackBar5" << 0 << 10 << 2 << 1;
        QTest::newRow("TrackBar4") << "TrackBar4" << 0 << 255 << 255 << 25;
        QTest::newRow("TrackBar3") << "TrackBar3" << 1 << 10 << 1 << 1;
        QTest::newRow("TrackBar6") << "TrackBar6" << 1 << 10 << 2 << 1;
    }

    void slidersHaveTheirRanges() {
        QFETCH(QString, name);
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        QFETCH(int, position);
        QFETCH(int, tick);
        auto* slider = form->findChild<QSlider*>(name);
        QVERIFY(slider != nullptr);
        QCOMPARE(slider->minimum(), minimum);
        QCOMPARE(slider->maximum(), maximum);
        QCOMPARE(slider->value(), position);
        QCOMPARE(slider->tickInterval(), tick);
        QCOMPARE(slider->singleStep(), 1);
        QCOMPARE(slider->pageStep(), 2);
        QVERIFY(slider->tickPosition() != QSlider::NoTicks);
    }

    void effectSlidersUpdateTheirLabels() {
        Control<QSlider>("TrackBar2")->setValue(128);
        QCOMPARE(Control<QLabel>("Label3")->text(), QStringLiteral("透明度：128"));
        Control<QSlider>("TrackBar5")->setValue(7);
        QCOMPARE(Control<QLabel>("Label4")->text(), QStringLiteral("羽化：7"));
        Control<QSlider>("TrackBar3")->setValue(4);
        QCOMPARE(Control<QLabel>("Label8")->text(), QStringLiteral("强度:4"));
        Control<QSlider>("TrackBar6")->setValue(9);
        QCOMPARE(Control<QLabel>("Label6")->text(), QStringLiteral("羽化：9"));
    }

    void trackBarZoomsBeforeAnyImage() {
        Control<QSlider>("TrackBar1")->setValue(75);
        QCOMPARE(View()->Zoom(), 75.0);
        QCOMPARE(Control<QLabel>("Label1")->text(), QStringLiteral("显示比例 (75%)"));
        QTest::mousePress(Viewport(), Qt::LeftButton, {}, Viewport()->rect().center());
        QTest::mouseMove(Viewport(), Viewport()->rect().center() + QPoint(20, 5));
        QTest::mouseRelease(Viewport(), Qt::LeftButton, {}, Viewport()->rect().center());
        QCOMPARE(Hint(), kHintComputing);
        QCOMPARE(MarksChanged, 0);
    }

    void wheelZoomReportsToTheTrackBar_data() {
        QTest::addColumn<double>("startZoom");
        QTest::addColumn<int>("notches");
        QTest::addColumn<int>("trackBar");
        QTest::addColumn<double>("endZoom");
        QTest::newRow("12.5 rounds down to even") << 10.0 << 1 << 12 << 12.5;
        QTest::newRow("13.5 rounds up to even") << 16.875 << -1 << 14 << 13.5;
        QTest::newRow("250 stops at 200") << 200.0 << 1 << 200 << 250.0;
    }

    void wheelZoomReportsToTheTrackBar() {
        QFETCH(double, startZoom);
        QFETCH(int, notches);
        QFETCH(int, trackBar);
        QFETCH(double, endZoom);
        OpenDisc();
        Control<QSlider>("TrackBar1")->setValue(50);
        View()->SetZoom(startZoom);
        Wheel(notches);
        QCOMPARE(Control<QSlider>("TrackBar1")->value(), trackBar);
        QCOMPARE(Control<QLabel>("Label1")->text(), QStringLiteral("显示比例 (%1%)").arg(trackBar));
        QCOMPARE(View()->Zoom(), endZoom);
    }

    void openingPreparesEverything() {
        MarkMap.assign(7, 1);
        OpenDisc();
        QCOMPARE(ImageHeight, kImageHeight);
        QCOMPARE(EngineWidth, kImageWidth);
        QCOMPARE(EngineHeight, kImageHeight);
        QCOMPARE(ImageFileName, discFile);
        QCOMPARE(MarkMap, std::vector<uint8_t>(size_t(kImageWidth * kImageHeight), 0));
        QCOMPARE(SelectionMap.size(), size_t(kImageWidth * kImageHeight));
        QVERIFY(BitmapBytes(View()) == LoadedPixels);
        const QImage disc = DiscImage(kImageWidth, kImageHeight);
        const QRgb pixel = disc.pixel(7, 3);
        const size_t at = 3 * size_t(3 * kImageWidth + 7);
        QCOMPARE(LoadedPixels[at], uint8_t(qBlue(pixel)));
        QCOMPARE(LoadedPixels[at + 2], uint8_t(qRed(pixel)));
        QCOMPARE(MarksChanged, 1);
        QCOMPARE(MouseMode, 0);
        QCOMPARE(Hint(), kHintMarking);
        // The fitted zoom (over 500 %) is clamped by the track bar to 200 %.
        QCOMPARE(Control<QSlider>("TrackBar1")->value(), 200);
        QCOMPARE(View()->Zoom(), 200.0);
        QCOMPARE(Control<QLabel>("Label1")->text(), QStringLiteral("显示比例 (200%)"));
        QVERIFY(!View()->Model().HasSelection());
        QCOMPARE(View()->ViewCursor(), Qt::CrossCursor);
    }

    void strokesAndReleaseShowTheEngineSelection() {
        OpenDisc();
        QTest::mousePress(Viewport(), Qt::LeftButton, {}, ClientOf(50, 45));
        QTest::mouseMove(Viewport(), ClientOf(70, 45));
        // The stroke is marked and painted red while it is drawn.
        QCOMPARE(MarkMap[size_t(45 * kImageWidth + 60)], uint8_t(1));
        const imaging::Rgb red{255, 0, 0};
        QCOMPARE(View()->Model().CurrentBitmap().PixelAt(60, 45), red);
        QCOMPARE(MouseMode, 1);
        QTest::mouseRelease(Viewport(), Qt::LeftButton, {}, ClientOf(70, 45));
        VerifyShowsEngineSelection();

        Stroke(Qt::RightButton, {{5, 5}, {60, 5}, {115, 6}});
        QCOMPARE(MarkMap[size_t(5 * kImageWidth + 30)], uint8_t(2));
        VerifyShowsEngineSelection();
        // The engine found the disc: its centre is selected, the ground is not.
        QCOMPARE(SelectionMap[size_t(45 * kImageWidth + 60)], uint8_t(1));
        QCOMPARE(SelectionMap[size_t(80 * kImageWidth + 110)], uint8_t(0));
        QVERIFY(!View()->SelectionOutline().empty());
        QCOMPARE(MouseMode, 1);
        if (!qEnvironmentVariableIsEmpty("QUILLANE_SCREENSHOT_DIR")) {
            form->grab().save(qEnvironmentVariable("QUILLANE_SCREENSHOT_DIR") +
                              QStringLiteral("/window_with_selection.png"));
        }
    }

    void clickAfterAComputationComputesNothing() {
        OpenDisc();
        MarkDiscAndGround();
        const std::vector<uint8_t> maskBefore = MaskBytes(View());
        SelectionMap.assign(SelectionMap.size(), 7);
        QTest::mouseClick(Viewport(), Qt::LeftButton, {}, ClientOf(30, 30));
        QCOMPARE(Hint(), kHintComputing);
        QCOMPARE(SelectionMap, std::vector<uint8_t>(SelectionMap.size(), 7));
        QVERIFY(MaskBytes(View()) == maskBefore);
    }

    void releaseOverTheWindowRunsTheSameStep() {
        OpenDisc();
        QTest::mousePress(Viewport(), Qt::LeftButton, {}, ClientOf(50, 45));
        QTest::mouseMove(Viewport(), ClientOf(70, 45));
        // The stroke's own release went astray; a release over a bare part of the window
        // computes.
        QTest::mousePress(form.get(), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseRelease(form.get(), Qt::LeftButton, {}, QPoint(5, 5));
        VerifyShowsEngineSelection();
    }

    void releaseOverALabelDoesNotCompute() {
        OpenDisc();
        auto* label = Control<QLabel>("Label1");
        QTest::mousePress(label, Qt::LeftButton, {}, QPoint(2, 2));
        QTest::mouseRelease(label, Qt::LeftButton, {}, QPoint(2, 2));
        QCOMPARE(MarksChanged, 1);
        QCOMPARE(Hint(), kHintMarking);
    }

    void rectangleCommitsOnRelease_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<int>("mark");
        QTest::newRow("left, down-right")
            << int(Qt::LeftButton) << QPoint(40, 30) << QPoint(80, 60) << 1;
        QTest::newRow("left, up-left")
            << int(Qt::LeftButton) << QPoint(80, 60) << QPoint(40, 30) << 1;
        QTest::newRow("right, up-right")
            << int(Qt::RightButton) << QPoint(40, 60) << QPoint(80, 30) << 2;
    }

    void rectangleCommitsOnRelease() {
        QFETCH(int, button);
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        QFETCH(int, mark);
        OpenDisc();
        QTest::mouseClick(Control<QRadioButton>("RadioRect"), Qt::LeftButton);
        QVERIFY(Control<QRadioButton>("RadioRect")->isChecked());
        const auto mouseButton = Qt::MouseButton(button);
        QTest::mousePress(Viewport(), mouseButton, {}, ClientOf(from.x(), from.y()));
        QTest::mouseMove(Viewport(), ClientOf(60, 50));
        QTest::mouseMove(Viewport(), ClientOf(to.x(), to.y()));
        QCOMPARE(MouseMode, mark + 1);
        QCOMPARE(RectStart, (TPoint{from.x(), from.y()}));
        QCOMPARE(RectEnd, (TPoint{to.x(), to.y()}));
        // The band is an overlay: neither the marks nor the pixels hold it yet.
        QVERIFY(View()->RubberBand().has_value());
        QCOMPARE(CountOf(MarkMap, uint8_t(mark)), 0);
        QVERIFY(BitmapBytes(View()) == LoadedPixels);

        QTest::mouseRelease(Viewport(), mouseButton, {}, ClientOf(to.x(), to.y()));
        const QRect rect(QPoint(std::min(from.x(), to.x()), std::min(from.y(), to.y())),
                         QPoint(std::max(from.x(), to.x()), std::max(from.y(), to.y())));
        for (int y = 0; y < kImageHeight; ++y) {
            for (int x = 0; x < kImageWidth; ++x) {
                const uint8_t expected = rect.contains(x, y) ? uint8_t(mark) : 0;
                QCOMPARE(MarkMap[size_t(y * kImageWidth + x)], expected);
            }
        }
        QCOMPARE(MouseMode, 0);
        QCOMPARE(RectStart.X, -1);
        QCOMPARE(RectEnd.X, -1);
        QCOMPARE(RectEnd.Y, RectStart.Y);
        QVERIFY(!View()->RubberBand().has_value());
        VerifyShowsEngineSelection(mark == 1);
    }

    void ctrlDefersAndTheCtrlKeyComputes() {
        OpenDisc();
        Stroke(Qt::LeftButton, {{50, 45}, {70, 45}}, Qt::ControlModifier);
        QCOMPARE(MarksChanged, 1);
        QCOMPARE(CountOf(SelectionMap, 0), kImageWidth * kImageHeight);
        QCOMPARE(CountOf(MaskBytes(View()), 0), kImageWidth * kImageHeight);
        QVERIFY(BitmapBytes(View()) == AskEngine(true).pixels);
        QVERIFY(BitmapBytes(View()) != LoadedPixels);
        Stroke(Qt::RightButton, {{5, 5}, {115, 5}}, Qt::ControlModifier);
        QCOMPARE(MarksChanged, 1);
        QVERIFY(BitmapBytes(View()) == AskEngine(true).pixels);
        QCOMPARE(CountOf(MarkMap, 1) > 0 && CountOf(MarkMap, 2) > 0, true);

        // Another key does nothing; the Ctrl key's release computes from both strokes.
        QTest::keyRelease(View(), Qt::Key_Shift);
        QCOMPARE(MarksChanged, 1);
        QTest::keyRelease(View(), Qt::Key_Control);
        VerifyShowsEngineSelection();
    }

    void ctrlRectangleThenCtrlKeyComputesNothing() {
        OpenDisc();
        QTest::mouseClick(Control<QRadioButton>("RadioRect"), Qt::LeftButton);
        QTest::mousePress(Viewport(), Qt::LeftButton, Qt::ControlModifier, ClientOf(40, 30));
        QTest::mouseMove(Viewport(), ClientOf(80, 60));
        QTest::mouseRelease(Viewport(), Qt::LeftButton, Qt::ControlModifier, ClientOf(80, 60));
        QCOMPARE(MouseMode, 0);
        QCOMPARE(MarksChanged, 1);
        QTest::keyRelease(View(), Qt::Key_Control);
        QCOMPARE(MarksChanged, 1);
        // The next click does compute.
        QTest::mouseClick(Viewport(), Qt::LeftButton, {}, ClientOf(10, 10));
        VerifyShowsEngineSelection();
    }

    void resetThenClickComputesNothing() {
        OpenDisc();
        MarkDiscAndGround();
        QTest::mouseClick(Control<QPushButton>("BtReset"), Qt::LeftButton);
        QCOMPARE(CountOf(MarkMap, 0), kImageWidth * kImageHeight);
        QCOMPARE(MarksChanged, 0);
        QVERIFY(BitmapBytes(View()) == LoadedPixels);
        QVERIFY(!View()->Model().HasSelection());
        QVERIFY(View()->Model().Mask().IsEmpty());
        const std::vector<uint8_t> selectionBefore = SelectionMap;

        QTest::mouseClick(Viewport(), Qt::LeftButton, {}, ClientOf(30, 30));
        QCOMPARE(Hint(), kHintComputing);
        QCOMPARE(SelectionMap, selectionBefore);
        QVERIFY(View()->Model().Mask().IsEmpty());
        QVERIFY(BitmapBytes(View()) == LoadedPixels);
    }

    void reverseTwiceRestores() {
        OpenDisc();
        auto* reverse = Control<QPushButton>("BtReverse");
        // Right after opening nothing is selected, and inverting keeps it so.
        QTest::mouseClick(reverse, Qt::LeftButton);
        QVERIFY(View()->Model().Mask().IsEmpty());

        MarkDiscAndGround();
        const std::vector<uint8_t> mask = MaskBytes(View());
        const std::vector<uint8_t> selection = SelectionMap;
        QTest::mouseClick(reverse, Qt::LeftButton);
        const std::vector<uint8_t> inverted = MaskBytes(View());
        for (size_t i = 0; i < mask.size(); ++i)
            QCOMPARE(inverted[i], uint8_t(255 - mask[i]));
        QCOMPARE(SelectionMap, selection);
        QTest::mouseClick(reverse, Qt::LeftButton);
        QVERIFY(MaskBytes(View()) == mask);
        QVERIFY(View()->Model().HasSelection());
    }

    void reverseAfterACtrlReleaseSelectsEverything() {
        OpenDisc();
        MarkDiscAndGround();
        Stroke(Qt::LeftButton, {{55, 40}, {65, 40}}, Qt::ControlModifier);
        QCOMPARE(CountOf(MaskBytes(View()), 0), kImageWidth * kImageHeight);
        QTest::mouseClick(Control<QPushButton>("BtReverse"), Qt::LeftButton);
        QCOMPARE(CountOf(MaskBytes(View()), 255), kImageWidth * kImageHeight);
    }

    void pageChangeAndCancelRestoreTheImageKeepingTheSelection() {
        OpenDisc();
        MarkDiscAndGround();
        const std::vector<uint8_t> mask = MaskBytes(View());
        // An effect left the background transparent.
        View()->Model().InvertSelection();
        View()->Model().SetSelectedAlpha(0);
        View()->Model().InvertSelection();
        QVERIFY(BitmapBytes(View()) != LoadedPixels);

        Control<QTabWidget>("PageControl1")->setCurrentIndex(2);
        QVERIFY(BitmapBytes(View()) == LoadedPixels);
        const imaging::Bitmap& bitmap = View()->Model().CurrentBitmap();
        QVERIFY(!bitmap.HasAlpha() ||
                CountOf(bitmap.AlphaChannel(), 255) == kImageWidth * kImageHeight);
        QVERIFY(MaskBytes(View()) == mask);
        QCOMPARE(View()->size(), QSize(634, 521));
        QCOMPARE(form->SecondView()->size(), QSize(0, 0));

        View()->Model().SetSelectedAlpha(10);
        QTest::mouseClick(Control<QPushButton>("Button8"), Qt::LeftButton);
        QCOMPARE(CountOf(View()->Model().CurrentBitmap().AlphaChannel(), 255),
                 kImageWidth * kImageHeight);
        QVERIFY(MaskBytes(View()) == mask);
    }

    void showSelectionCheckBoxHidesTheOutline() {
        OpenDisc();
        MarkDiscAndGround();
        const std::vector<uint8_t> mask = MaskBytes(View());
        QTest::mouseClick(Control<QCheckBox>("CheckBox1"), Qt::LeftButton);
        QVERIFY(!View()->Model().SelectionShown());
        QVERIFY(!form->SecondView()->Model().SelectionShown());
        QVERIFY(MaskBytes(View()) == mask);
        QTest::mouseClick(Control<QCheckBox>("CheckBox1"), Qt::LeftButton);
        QVERIFY(View()->Model().SelectionShown());
        QVERIFY(form->SecondView()->Model().SelectionShown());
    }

    void failedOpenKeepsThePreviousImage_data() {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("missing") << "missing.png" << QByteArray();
        QTest::newRow("empty") << "empty.png" << QByteArray("");
        QTest::newRow("not an image") << "notes.jpg" << QByteArray("hello, this is text\n");
        QTest::newRow("truncated png")
            << "truncated.png" << QByteArray("\x89PNG\r\n\x1a\n\0\0", 10);
    }

    void failedOpenKeepsThePreviousImage() {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, contents);
        const QString path = dir.filePath(fileName);
        if (fileName != QStringLiteral("missing.png")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(contents);
        }
        OpenDisc();
        Stroke(Qt::LeftButton, {{50, 45}, {70, 45}});
        Stroke(Qt::RightButton, {{5, 5}, {115, 5}}, Qt::ControlModifier);
        const std::vector<uint8_t> loaded = LoadedPixels;
        const std::vector<uint8_t> marks = MarkMap;
        const std::vector<uint8_t> bitmap = BitmapBytes(View());
        const std::vector<uint8_t> mask = MaskBytes(View());
        const double zoom = View()->Zoom();

        QVERIFY(!form->OpenImageFile(path));
        QVERIFY2(Hint().contains(fileName), qPrintable(Hint()));
        QCOMPARE(ImageWidth, kImageWidth);
        QCOMPARE(ImageHeight, kImageHeight);
        QCOMPARE(ImageFileName, discFile);
        QCOMPARE(LoadedPixels, loaded);
        QCOMPARE(MarkMap, marks);
        QCOMPARE(MarksChanged, 1);
        QVERIFY(BitmapBytes(View()) == bitmap);
        QVERIFY(MaskBytes(View()) == mask);
        QCOMPARE(View()->Zoom(), zoom);
        QCOMPARE(EngineWidth, kImageWidth);
        // The engine still holds the disc: the deferred marks compute as before.
        QTest::keyRelease(View(), Qt::Key_Control);
        VerifyShowsEngineSelection();
    }

    void failedOpenBeforeAnyImageComputesNothing() {
        QVERIFY(!form->OpenImageFile(dir.filePath(QStringLiteral("nothing-here.bmp"))));
        QVERIFY(Hint().contains(QStringLiteral("nothing-here.bmp")));
        QCOMPARE(ImageWidth, 0);
        QVERIFY(LoadedPixels.empty());
        QTest::mouseClick(Viewport(), Qt::LeftButton, {}, Viewport()->rect().center());
        QCOMPARE(Hint(), kHintComputing);
    }

    void openingAnotherImageStartsAfresh() {
        OpenDisc();
        MarkDiscAndGround();
        const QString wide = dir.filePath(QStringLiteral("wide.png"));
        QVERIFY(DiscImage(1600, 400).save(wide));
        QVERIFY(form->OpenImageFile(wide));
        QCOMPARE(ImageWidth, 1600);
        QCOMPARE(ImageHeight, 400);
        QCOMPARE(EngineWidth, 1600);
        QCOMPARE(CountOf(MarkMap, 0), 1600 * 400);
        QVERIFY(!View()->Model().HasSelection());
        QCOMPARE(MouseMode, 0);
        // Fitted at 634 / 1600 = 39.625 %, which the track bar rounds to 40 and applies.
        QCOMPARE(Control<QSlider>("TrackBar1")->value(), 40);
        QCOMPARE(View()->Zoom(), 40.0);
        // Right after opening, a click computes on the empty marks.
        QTest::mouseClick(Viewport(), Qt::LeftButton, {}, ClientOf(10, 10));
        QCOMPARE(MarksChanged, 0);
        QCOMPARE(Hint(), kHintDone);
    }

    void brushFollowsTheZoom_data() {
        QTest::addColumn<double>("zoom");
        QTest::addColumn<int>("halfWidth");
        QTest::newRow("10 %") << 10.0 << 10;
        QTest::newRow("25 %") << 25.0 << 4;
        QTest::newRow("40 %, 2.5 rounds to 2") << 40.0 << 2;
        QTest::newRow("50 %") << 50.0 << 2;
        QTest::newRow("100 %") << 100.0 << 1;
        QTest::newRow("150 %") << 150.0 << 1;
        QTest::newRow("200 %, 0.5 rounds to 0") << 200.0 << 0;
    }

    void brushFollowsTheZoom() {
        QFETCH(double, zoom);
        QFETCH(int, halfWidth);
        OpenDisc();
        View()->SetZoom(zoom);
        form->Line({50, 40}, {51, 40}, 2);
        const QRect brush(QPoint(50 - halfWidth, 40 - halfWidth),
                          QPoint(51 + halfWidth, 40 + halfWidth));
        const imaging::Bitmap& bitmap = View()->Model().CurrentBitmap();
        for (int y = 0; y < kImageHeight; ++y) {
            for (int x = 0; x < kImageWidth; ++x) {
                const bool marked = brush.contains(x, y);
                QCOMPARE(MarkMap[size_t(y * kImageWidth + x)], uint8_t(marked ? 2 : 0));
                if (marked) QCOMPARE(bitmap.PixelAt(x, y), (imaging::Rgb{0, 255, 0}));
            }
        }
    }

    // Sample positions round halves to the even neighbour: (0,0)-(4,2) takes 4 steps of
    // (1, 0.5), so rows 0, 0 (0.5), 1, 2 (1.5), 2.
    void lineRoundsHalvesToEven() {
        OpenDisc();
        View()->SetZoom(200);
        form->Line({0, 0}, {4, 2}, 1);
        const std::vector<QPoint> expected{{0, 0}, {1, 0}, {2, 1}, {3, 2}, {4, 2}};
        QCOMPARE(CountOf(MarkMap, 1), int(expected.size()));
        for (const QPoint& p : expected)
            QCOMPARE(MarkMap[size_t(p.y() * kImageWidth + p.x())], 1);
        // The same pixel twice draws nothing.
        MarksChanged = 0;
        form->Line({9, 9}, {9, 9}, 1);
        QCOMPARE(MarksChanged, 0);
    }

    void marksStayInsideTheImage() {
        OpenDisc();
        // The column ImageWidth, one past the last, counts as inside; the next one does not.
        QCOMPARE(form->ClientToImage(ClientOf(kImageWidth, 10).x(), ClientOf(0, 10).y()).X,
                 kImageWidth);
        QCOMPARE(form->ClientToImage(ClientOf(kImageWidth + 1, 10).x(), ClientOf(0, 10).y()).X, -1);
        QCOMPARE(form->ClientToImage(ClientOf(0, -1).x(), ClientOf(0, -1).y()).Y, -1);
        // A stroke along that column marks only the columns that exist (a 21-pixel brush at 10 %).
        View()->SetZoom(10);
        form->Line({kImageWidth, 0}, {kImageWidth, kImageHeight}, 1);
        QCOMPARE(CountOf(MarkMap, 1), 10 * kImageHeight);
        form->setFlagRect({kImageWidth, kImageHeight}, {kImageWidth - 3, kImageHeight - 2}, 2);
        QCOMPARE(CountOf(MarkMap, 2), 3 * 2);
    }

    void bothButtonsDrawNothingButAdvance() {
        OpenDisc();
        QTest::mousePress(Viewport(), Qt::LeftButton, {}, ClientOf(20, 20));
        QTest::mousePress(Viewport(), Qt::RightButton, {}, ClientOf(20, 20));
        QTest::mouseMove(Viewport(), ClientOf(40, 20));
        QCOMPARE(CountOf(MarkMap, 0), kImageWidth * kImageHeight);
        QCOMPARE(LastPoint, (TPoint{ClientOf(40, 20).x(), ClientOf(40, 20).y()}));
        QTest::mouseRelease(Viewport(), Qt::RightButton, {}, ClientOf(40, 20));
        QTest::mouseMove(Viewport(), ClientOf(50, 20));
        QTest::mouseRelease(Viewport(), Qt::LeftButton, {}, ClientOf(50, 20));
        QCOMPARE(MarkMap[size_t(20 * kImageWidth + 45)], uint8_t(1));
        QCOMPARE(MarkMap[size_t(20 * kImageWidth + 30)], uint8_t(0));
    }

    void creditLabelBehavesLikeALink() {
        auto* label = Control<QLabel>("Label7");
        const QColor normal = label->palette().color(QPalette::WindowText);
        QEvent enter(QEvent::Enter);
        QApplication::sendEvent(label, &enter);
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(0, 0, 128));
        QVERIFY(label->font().underline());
        QVERIFY(QApplication::overrideCursor() != nullptr);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::PointingHandCursor);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(label, &leave);
        QCOMPARE(label->palette().color(QPalette::WindowText), normal);
        QVERIFY(!label->font().underline());
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }

    // The file and colour dialogs come from Qt; PrepareApplication gives them Chinese texts.
    void qtDialogsSpeakChinese() {
        io::ImageSaveDialog dialog(nullptr);
        const auto* buttons = dialog.findChild<QDialogButtonBox*>();
        QVERIFY(buttons != nullptr);
        QCOMPARE(buttons->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("取消"));
    }
};

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    PrepareApplication(application);
    WindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window.moc"
