// Each background effect applied to a real photo in the window on an X server (run under
// xvfb-run): the window is grabbed from the screen after each effect and the shots are written to
// the build tree's artefacts folder for people to look at. The checks only ask that each shot
// shows what its effect must put on screen.
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTabWidget>
#include <QtTest>
#include <memory>

#include "ImageView.h"
#include "Unit1.h"
#include "window_fixture.h"

using namespace window_fixture;

namespace {

const QString kPhoto = QStringLiteral(QUILLANE_PHOTOS "/skimage_astronaut.png");
const QString kBackgroundPhoto = QStringLiteral(QUILLANE_PHOTOS "/mate_Garden.jpg");
const QString kArtefacts = QStringLiteral(QUILLANE_ARTEFACTS);

// The main view's place on the window.
const QRect kViewArea(15, 16, 634, 521);

int CountPixels(const QImage& shot, const QRect& area, const std::function<bool(QRgb)>& test) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            count += test(shot.pixel(x, y));
    }
    return count;
}

bool Near(QRgb pixel, int red, int green, int blue, int tolerance) {
    return std::abs(qRed(pixel) - red) <= tolerance &&
           std::abs(qGreen(pixel) - green) <= tolerance &&
           std::abs(qBlue(pixel) - blue) <= tolerance;
}

}  // namespace

class EffectScreensTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<TForm1> form;

    template <typename T>
    T* Control(const char* name) const {
        T* control = form->findChild<T*>(QString::fromLatin1(name));
        if (control == nullptr) qFatal("no control %s", name);
        return control;
    }
    // Shows an effect page, as the user would before applying its effect.
    void ShowPage(int index) { Control<QTabWidget>("PageControl1")->setCurrentIndex(index); }
    void Click(const char* button) {
        QTest::mouseClick(Control<QPushButton>(button), Qt::LeftButton);
    }

    // The window as the screen shows it, also written to the artefacts folder.
    QImage Shoot(const QString& name) {
        QTest::qWait(300);
        QImage shot = QGuiApplication::primaryScreen()
                          ->grabWindow(form->winId())
                          .toImage()
                          .convertToFormat(QImage::Format_RGB32);
        const QString file = QDir(kArtefacts).filePath(name + QStringLiteral(".png"));
        if (!shot.save(file)) qWarning("could not write %s", qPrintable(file));
        return shot;
    }

  private slots:
    void initTestCase() {
        // The photos live beside the repository, not in it; without them there is nothing to show.
        if (!QFileInfo::exists(kPhoto) || !QFileInfo::exists(kBackgroundPhoto))
            QSKIP("the shared photos are not beside the repository");
        QVERIFY(QDir().mkpath(kArtefacts));
        form = std::make_unique<TForm1>();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QVERIFY(form->OpenImageFile(kPhoto));
        ImageView* view = form->MainView();
        // The astronaut in the foreground; the flag, the wall and the model behind her.
        Stroke(view, Qt::LeftButton, {{225, 60}, {225, 140}, {200, 250}, {150, 400}, {100, 480}});
        Stroke(view, Qt::LeftButton, {{300, 300}, {330, 380}, {250, 470}});
        Stroke(view, Qt::RightButton, {{330, 30}, {500, 30}, {500, 300}});
        Stroke(view, Qt::RightButton, {{20, 60}, {40, 200}, {10, 400}});
        Stroke(view, Qt::RightButton, {{340, 150}, {350, 260}});
        QCOMPARE(Control<QLabel>("Label5")->text(), kHintDone);
        QVERIFY(std::count(SelectionMap.begin(), SelectionMap.end(), uint8_t(1)) > 30000);
    }

    void cleanupTestCase() { form.reset(); }

    void selection() {
        const QImage shot = Shoot(QStringLiteral("selection"));
        QCOMPARE(shot.size(), QSize(939, 570));
        // The photo fills the view.
        QVERIFY(CountPixels(shot, kViewArea,
                            [](QRgb p) { return qRed(p) > 150 && qBlue(p) < 100; }) > 10000);
    }

    void fill() {
        Control<QSlider>("TrackBar5")->setValue(2);
        // The fill colour is Panel2's red; the background of the photo turns red on screen.
        Click("Button3");
        const QImage shot = Shoot(QStringLiteral("fill"));
        QVERIFY(CountPixels(shot, kViewArea, [](QRgb p) { return Near(p, 255, 0, 0, 2); }) > 50000);
    }

    void blur() {
        Click("Button6");
        const QImage before = Shoot(QStringLiteral("cancel"));
        QCOMPARE(CountPixels(before, kViewArea, [](QRgb p) { return Near(p, 255, 0, 0, 2); }), 0);
        ShowPage(2);
        Control<QSlider>("TrackBar3")->setValue(8);
        Click("BtBlur");
        const QImage shot = Shoot(QStringLiteral("blur"));
        int differing = 0;
        for (int y = kViewArea.top(); y <= kViewArea.bottom(); ++y) {
            for (int x = kViewArea.left(); x <= kViewArea.right(); ++x)
                differing += !Near(shot.pixel(x, y), qRed(before.pixel(x, y)),
                                   qGreen(before.pixel(x, y)), qBlue(before.pixel(x, y)), 8);
        }
        QVERIFY(differing > 10000);
    }

    void remove() {
        ShowPage(3);
        Click("BtErase");
        const QImage shot = Shoot(QStringLiteral("remove"));
        // The removed background lets the view's own background colour through.
        const imaging::Rgb ground = imaging::kViewBackground;
        QVERIFY(CountPixels(shot, kViewArea, [&](QRgb p) {
                    return Near(p, ground.red, ground.green, ground.blue, 1);
                }) > 50000);
    }

    void replace() {
        ShowPage(1);
        QVERIFY(form->LoadBackgroundFile(kBackgroundPhoto));
        Control<QSlider>("TrackBar4")->setValue(200);
        const QImage shot = Shoot(QStringLiteral("replace"));
        QCOMPARE(form->SecondView()->Model().LayerCount(), 2);
        // Both the garden and the orange suit show.
        QVERIFY(CountPixels(shot, kViewArea, [](QRgb p) { return qGreen(p) > qRed(p) + 20; }) >
                10000);
        QVERIFY(CountPixels(shot, kViewArea, [](QRgb p) {
                    return qRed(p) > 150 && qRed(p) > qGreen(p) + 60;
                }) > 2000);
        Click("Button5");
        Shoot(QStringLiteral("replace_merged"));
        QCOMPARE(form->SecondView()->Model().LayerCount(), 1);
    }
};

QTEST_MAIN(EffectScreensTest)
#include "test_effect_screens.moc"
