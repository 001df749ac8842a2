// The image view widget and its pieces: outline tracing, the composed picture, coordinates and
// the wheel.
#include <QSignalSpy>
#include <QWheelEvent>
#include <QtTest>
#include <vector>

#include "ImageView.h"
#include "view/picture_cache.h"
#include "view/selection_outline.h"

namespace {

imaging::SelectionMask MaskFrom(const std::vector<const char*>& rows) {
    imaging::SelectionMask mask(int(std::strlen(rows[0])), int(rows.size()));
    for (int y = 0; y < int(rows.size()); ++y) {
        for (int x = 0; rows[size_t(y)][x] != 0; ++x) {
            if (rows[size_t(y)][x] == '#') mask.SetPixel(x, y, 255);
        }
    }
    return mask;
}

imaging::Bitmap Gradient(int width, int height) {
    imaging::Bitmap bitmap(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            bitmap.SetPixel(x, y, {uint8_t(x * 7), uint8_t(y * 5), uint8_t(x + y)});
        }
    }
    return bitmap;
}

using Segments = std::vector<view::OutlineSegment>;

}  // namespace

Q_DECLARE_METATYPE(Segments)

class ViewTest : public QObject {
    Q_OBJECT

  private slots:
    void outlineFollowsTheMaskBorder_data() {
        QTest::addColumn<std::vector<const char*>>("rows");
        QTest::addColumn<Segments>("expected");
        QTest::newRow("nothing selected") << std::vector<const char*>{"...", "..."} << Segments{};
        QTest::newRow("one pixel")
            << std::vector<const char*>{"...", ".#.", "..."}
            << Segments{{1, 1, 2, 1}, {1, 2, 2, 2}, {1, 1, 1, 2}, {2, 1, 2, 2}};
        QTest::newRow("whole mask, border at the edges")
            << std::vector<const char*>{"##", "##"}
            << Segments{{0, 0, 2, 0}, {0, 2, 2, 2}, {0, 0, 0, 2}, {2, 0, 2, 2}};
        QTest::newRow("L shape joins straight runs")
            << std::vector<const char*>{"#..", "#..", "###"}
            << Segments{{0, 0, 1, 0}, {1, 2, 3, 2}, {0, 3, 3, 3},
                        {0, 0, 0, 3}, {1, 0, 1, 2}, {3, 2, 3, 3}};
        QTest::newRow("hole") << std::vector<const char*>{"###", "#.#", "###"}
                              << Segments{{0, 0, 3, 0}, {1, 1, 2, 1}, {1, 2, 2, 2}, {0, 3, 3, 3},
                                          {0, 0, 0, 3}, {1, 1, 1, 2}, {2, 1, 2, 2}, {3, 0, 3, 3}};
    }

    void outlineFollowsTheMaskBorder() {
        QFETCH(std::vector<const char*>, rows);
        QFETCH(Segments, expected);
        QCOMPARE(view::TraceSelectionOutline(MaskFrom(rows)), expected);
    }

    void pictureShowsAlphaOverTheBackground() {
        imaging::ImageModel model;
        imaging::Bitmap bitmap(2, 1, {200, 100, 0});
        bitmap.AlphaForWriting()[1] = 51;  // 20 % opaque
        model.LoadIntoCurrentLayer(std::move(bitmap));
        const QImage picture = view::ComposePicture(model);
        QCOMPARE(picture.size(), QSize(2, 1));
        QCOMPARE(picture.pixel(0, 0), qRgb(200, 100, 0));
        // 0.2 * colour + 0.8 * 240, rounded.
        QCOMPARE(picture.pixel(1, 0), qRgb(232, 212, 192));
    }

    void layersAreComposedAtTheirPlaces() {
        imaging::ImageModel model;
        model.LoadIntoCurrentLayer(imaging::Bitmap(4, 3, {0, 0, 255}));
        model.AddLayer();
        model.CurrentLayer() = imaging::Layer::FromBitmap(imaging::Bitmap(1, 1, {255, 0, 0}));
        model.CurrentLayer().x = 2;
        model.CurrentLayer().y = 1;
        model.CurrentLayer().displayWidth = 3;
        model.CurrentLayer().displayHeight = 1;
        const QImage picture = view::ComposePicture(model);
        QCOMPARE(picture.size(), QSize(5, 3));
        QCOMPARE(picture.pixel(1, 1), qRgb(0, 0, 255));
        QCOMPARE(picture.pixel(2, 1), qRgb(255, 0, 0));
        QCOMPARE(picture.pixel(4, 1), qRgb(255, 0, 0));
        QCOMPARE(picture.pixel(4, 0), qRgb(240, 240, 240));
    }

    void recomposingAnAreaMatchesComposingAll() {
        imaging::ImageModel model;
        model.LoadIntoCurrentLayer(Gradient(30, 20));
        QImage picture = view::ComposePicture(model);
        for (int y = 5; y < 9; ++y)
            model.CurrentBitmap().SetPixel(12, y, {1, 2, 3});
        model.CurrentBitmap().SetPixel(0, 0, {9, 9, 9});  // outside the area: stays stale
        view::RecomposeArea(picture, model, QRect(10, 5, 4, 4));
        QCOMPARE(picture.pixel(12, 7), qRgb(1, 2, 3));
        QCOMPARE(picture.pixel(0, 0), qRgb(0, 0, 0));
        model.CurrentBitmap().SetPixel(0, 0, {0, 0, 0});
        QCOMPARE(picture, view::ComposePicture(model));
    }

    void coordinatesFollowZoomScrollAndCentring() {
        ImageView view;
        view.resize(200, 100);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.Model().LoadIntoCurrentLayer(Gradient(50, 40));
        view.Update();
        view.SetZoom(100);
        // 50 x 40 centred in 200 x 100: origin (75, 30).
        QCOMPARE(view.XScr2Bmp(75), 0);
        QCOMPARE(view.XScr2Bmp(74), -1);
        QCOMPARE(view.YScr2Bmp(30 + 39), 39);
        QCOMPARE(view.YScr2Bmp(30 + 40), 40);
        view.SetZoom(400);
        const QPointF corner = view.BmpToScr(QPointF(10, 10));
        QCOMPARE(view.XScr2Bmp(int(corner.x())), 10);
        QCOMPARE(view.XScr2Bmp(int(corner.x()) + 3), 10);
        QCOMPARE(view.XScr2Bmp(int(corner.x()) + 4), 11);
        // Extreme zooms stay in range.
        view.SetZoom(1e-12);
        QVERIFY(view.XScr2Bmp(0) < -1000);
        view.Fit();
        QCOMPARE(view.Zoom(), 250.0);  // min(200 / 50, 100 / 40)
    }

    void wheelReportsTheZoomBeforeApplyingIt() {
        ImageView view;
        view.resize(200, 100);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.Model().LoadIntoCurrentLayer(Gradient(400, 300));
        view.Update();
        view.SetZoom(100);
        std::vector<std::pair<double, double>> reports;  // reported zoom, zoom at that moment
        connect(&view, &ImageView::zoomIn, &view,
                [&](double zoom) { reports.emplace_back(zoom, view.Zoom()); });
        connect(&view, &ImageView::zoomOut, &view,
                [&](double zoom) { reports.emplace_back(-zoom, view.Zoom()); });
        const QPoint at(120, 50);
        const int pictureX = view.XScr2Bmp(at.x());
        const auto wheel = [&](int delta) {
            QWheelEvent event(at, view.viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(view.viewport(), &event);
        };
        wheel(240);
        wheel(60);  // half a notch: nothing yet
        wheel(-60 - 120);
        const std::vector<std::pair<double, double>> expected{
            {125.0, 100.0}, {156.25, 125.0}, {-125.0, 156.25}};
        QCOMPARE(reports, expected);
        QCOMPARE(view.Zoom(), 125.0);
        // The picture point under the mouse stays under it.
        QCOMPARE(view.XScr2Bmp(at.x()), pictureX);
    }

    void rubberBandIsOnlyAnOverlay() {
        ImageView view;
        view.resize(100, 100);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.Model().LoadIntoCurrentLayer(imaging::Bitmap(20, 20, {10, 20, 30}));
        view.Update();
        view.SetZoom(500);
        const imaging::Bitmap before = view.Model().CurrentBitmap();
        view.SetRubberBand({2, 2}, {8, 6});
        QCOMPARE(view.RubberBand(), std::optional<QRect>(QRect(QPoint(2, 2), QPoint(8, 6))));
        const QImage shown = view.viewport()->grab().toImage();
        const QPointF edge = view.BmpToScr(QPointF(2, 4));
        // Inverted on screen, untouched in the model.
        QCOMPARE(QColor(shown.pixel(edge.toPoint())).red(), 255 - 10);
        QVERIFY(view.Model().CurrentBitmap() == before);
        view.SetRubberBand({3, 3}, {3, 3});
        QVERIFY(!view.RubberBand().has_value());
    }

    void pictureGrowsWithLayersMovedLeftOrUp() {
        imaging::ImageModel model;
        model.LoadIntoCurrentLayer(imaging::Bitmap(4, 3, {0, 0, 255}));
        model.AddLayer();
        model.CurrentLayer().x = -2;
        model.CurrentLayer().y = 1;
        QCOMPARE(view::PictureRect(model), QRect(-2, 0, 6, 4));
        const QImage picture = view::ComposePicture(model);
        QCOMPARE(picture.size(), QSize(6, 4));
        QCOMPARE(picture.pixel(0, 0), qRgb(240, 240, 240));  // uncovered
        QCOMPARE(picture.pixel(0, 1), qRgb(0, 0, 0));        // the added black layer
        QCOMPARE(picture.pixel(5, 0), qRgb(0, 0, 255));      // layer 0's right column
    }

    // With layer interaction on, the left button drags the current layer, and its grips resize
    // it (keeping the bitmap's aspect ratio when locked); the picture follows.
    void layersMoveAndResizeWithTheMouse() {
        ImageView view;
        view.resize(300, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        imaging::ImageModel& model = view.Model();
        model.LoadIntoCurrentLayer(imaging::Bitmap(100, 100, {0, 0, 255}));
        model.AddLayer();
        model.CurrentLayer() = imaging::Layer::FromBitmap(imaging::Bitmap(20, 10, {255, 0, 0}));
        model.CurrentLayer().x = 10;
        model.CurrentLayer().y = 10;
        model.SetAspectLock(true);
        model.SetLayerInteractionFlags(imaging::kMoveLayers | imaging::kResizeLayers);
        view.Update();
        view.SetZoom(200);
        QCOMPARE(view.LayerGrips().size(), size_t(8));

        QWidget* viewport = view.viewport();
        const QPoint inside = view.BmpToScr(QPointF(15, 15)).toPoint();
        QTest::mousePress(viewport, Qt::LeftButton, {}, inside);
        QTest::mouseMove(viewport, inside + QPoint(30, 20));  // 15, 10 picture pixels
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, inside + QPoint(30, 20));
        QCOMPARE(model.CurrentLayer().x, 25);
        QCOMPARE(model.CurrentLayer().y, 20);
        QCOMPARE(view.Picture().pixel(26, 21), qRgb(255, 0, 0));

        QRect corner;
        for (const auto& [grip, area] : view.LayerGrips()) {
            if (grip == imaging::Grip::BottomRight) corner = area;
        }
        QTest::mousePress(viewport, Qt::LeftButton, {}, corner.center());
        QTest::mouseMove(viewport, corner.center() + QPoint(40, 0));  // 20 pixels wider
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, corner.center() + QPoint(40, 0));
        QCOMPARE(model.CurrentLayer().displayWidth, 40);
        QCOMPARE(model.CurrentLayer().displayHeight, 20);
        QCOMPARE(model.CurrentLayer().x, 25);
        QCOMPARE(view.Picture().pixel(25 + 39, 20 + 19), qRgb(255, 0, 0));

        // Outside the layer nothing moves.
        model.SetLayerInteractionFlags(imaging::kMoveLayers);
        const QPoint outside = view.BmpToScr(QPointF(90, 90)).toPoint();
        QTest::mousePress(viewport, Qt::LeftButton, {}, outside);
        QTest::mouseMove(viewport, outside + QPoint(10, 10));
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, outside + QPoint(10, 10));
        QCOMPARE(model.CurrentLayer().x, 25);
        QVERIFY(view.LayerGrips().empty());
    }

    void forwardsTheMouseAndKeys() {
        ImageView view;
        view.resize(100, 100);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QSignalSpy downs(&view, &ImageView::mouseDown);
        QSignalSpy moves(&view, &ImageView::mouseMove);
        QSignalSpy ups(&view, &ImageView::mouseUp);
        QSignalSpy keys(&view, &ImageView::keyUp);
        QTest::mousePress(view.viewport(), Qt::RightButton, Qt::ControlModifier, QPoint(10, 20));
        QTest::mouseMove(view.viewport(), QPoint(30, 40));
        QTest::mouseRelease(view.viewport(), Qt::RightButton, Qt::ControlModifier, QPoint(30, 41));
        QTest::keyRelease(&view, Qt::Key_Control);
        QCOMPARE(downs.size(), 1);
        QCOMPARE(downs[0][0].value<Qt::MouseButton>(), Qt::RightButton);
        QCOMPARE(downs[0][2].value<Qt::KeyboardModifiers>(), Qt::ControlModifier);
        QCOMPARE(downs[0][3].toPoint(), QPoint(10, 20));
        QCOMPARE(moves.size(), 1);
        QCOMPARE(moves[0][0].value<Qt::MouseButtons>(), Qt::RightButton);
        QCOMPARE(ups.size(), 1);
        QCOMPARE(ups[0][3].toPoint(), QPoint(30, 41));
        QCOMPARE(keys.size(), 1);
        QCOMPARE(keys[0][0].toInt(), int(Qt::Key_Control));
        view.SetViewCursor(Qt::WaitCursor);
        QCOMPARE(view.ViewCursor(), Qt::WaitCursor);
    }
};

QTEST_MAIN(ViewTest)
#include "test_view.moc"
