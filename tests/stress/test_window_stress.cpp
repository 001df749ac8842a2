// The window Corvella under thousands of random events from a seeded generator (Qt Test,
// offscreen): mouse presses, moves and releases with one or two buttons over the main view and
// the rest of the window, wheel turns, Ctrl, button clicks, slider changes, page changes, and now
// and then a file opened, a background loaded or the picture saved. After every event the
// window's invariants must hold. QUILLANE_STRESS_SEED and QUILLANE_STRESS_EVENTS override the
// seed and the event count for longer runs.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QDir>
#include <QHash>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QWheelEvent>
#include <QWindow>
#include <QtTest>
#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "ImageView.h"
#include "Unit1.h"
#include "window_fixture.h"

namespace {

constexpr uint64_t kDefaultSeed = 20261211;
constexpr int kDefaultEventCount = 3000;
constexpr int kImageWidth = 120;
constexpr int kImageHeight = 90;
constexpr int kSmallImageWidth = 64;
constexpr int kSmallImageHeight = 48;
constexpr int kTinyImageWidth = 3;
constexpr int kTinyImageHeight = 2;
// How many of the last events a failure report lists.
constexpr size_t kLoggedEvents = 40;

// splitmix64: the same numbers on every machine and standard library.
class Random {
  public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, n).
    int Below(int n) { return int(Next() % uint64_t(n)); }
    int Between(int low, int high) { return low + Below(high - low + 1); }
    bool Chance(int percent) { return Below(100) < percent; }
    template <typename T, size_t N>
    const T& Pick(const std::array<T, N>& items) {
        return items[size_t(Below(int(N)))];
    }

  private:
    uint64_t state_;
};

QString ButtonName(Qt::MouseButton button) {
    switch (button) {
        case Qt::LeftButton:
            return QStringLiteral("left");
        case Qt::RightButton:
            return QStringLiteral("right");
        default:
            return QStringLiteral("middle");
    }
}

QString PointText(QPoint point) {
    return QStringLiteral("(%1, %2)").arg(point.x()).arg(point.y());
}

// The first index where a value is above `highest`, or -1.
ptrdiff_t FirstAbove(const std::vector<uint8_t>& values, uint8_t highest) {
    const auto at = std::find_if(values.begin(), values.end(),
                                 [highest](uint8_t value) { return value > highest; });
    return at == values.end() ? -1 : at - values.begin();
}

// The pixels an opaque image opens with: blue, green, red per pixel, rows from the top.
std::vector<uint8_t> BgrOf(const QImage& image) {
    std::vector<uint8_t> bytes;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            bytes.insert(bytes.end(),
                         {uint8_t(qBlue(pixel)), uint8_t(qGreen(pixel)), uint8_t(qRed(pixel))});
        }
    }
    return bytes;
}

bool Shown(const QWidget* widget) {
    return widget->width() != 0 || widget->height() != 0;
}

}  // namespace

class WindowStressTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<TForm1> form;
    QTemporaryDir dir;
    QString discFile;
    QString smallFile;
    QString tinyFile;
    QString backgroundFile;
    QStringList badFiles;
    // The pixels each good file opens with; LoadedPixels must keep them while it is open.
    QHash<QString, std::vector<uint8_t>> openedPixels;

    Qt::MouseButtons held;
    bool ctrlHeld = false;
    QPoint lastPoint;
    std::deque<QString> recentEvents;
    QStringList modalDialogs;

    // What the run reached, so that a run whose events went nowhere fails.
    int selectionsSeen = 0;
    int strokesMarked = 0;
    int secondViewShown = 0;

    ImageView* View() const { return form->MainView(); }
    QWindow* Window() const { return form->windowHandle(); }
    template <typename T>
    T* Control(const char* name) const {
        T* control = form->findChild<T*>(QString::fromLatin1(name));
        if (control == nullptr) qFatal("no control %s", name);
        return control;
    }

    void Log(const QString& event) {
        recentEvents.push_back(event);
        if (recentEvents.size() > kLoggedEvents) recentEvents.pop_front();
    }

    QString RecentEvents() const {
        QString text;
        for (const QString& event : recentEvents)
            text += QStringLiteral("\n    ") + event;
        return text;
    }

    // Window rectangles never pressed: the buttons that open modal dialogs, and the credit label,
    // which opens a browser.
    bool Forbidden(QPoint point) const {
        for (const char* name : {"BtOpen", "BtSave", "Button1", "Button2", "Label7"}) {
            const QWidget* control = Control<QWidget>(name);
            const QRect area(control->mapTo(form.get(), QPoint(0, 0)), control->size());
            if (area.adjusted(-2, -2, 2, 2).contains(point)) return true;
        }
        return false;
    }

    // Mostly over the main view's place, sometimes anywhere in the window (and a little beyond).
    QPoint RandomPoint(Random& random) const {
        for (;;) {
            QPoint point;
            if (random.Chance(70)) {
                const QRect view(15, 16, 634, 521);
                point = QPoint(random.Between(view.left() - 5, view.right() + 5),
                               random.Between(view.top() - 5, view.bottom() + 5));
            } else {
                point = QPoint(random.Below(form->width()), random.Below(form->height()));
            }
            if (!Forbidden(point)) return point;
        }
    }

    QPoint NearbyPoint(Random& random) const {
        if (random.Chance(15)) return RandomPoint(random);
        QPoint point = lastPoint + QPoint(random.Between(-25, 25), random.Between(-25, 25));
        point.setX(std::clamp(point.x(), 0, form->width() - 1));
        point.setY(std::clamp(point.y(), 0, form->height() - 1));
        return Forbidden(point) ? lastPoint : point;
    }

    Qt::KeyboardModifiers Modifiers() const {
        return ctrlHeld ? Qt::ControlModifier : Qt::NoModifier;
    }

    void Press(Qt::MouseButton button, QPoint point) {
        Log(QStringLiteral("press %1 at %2%3")
                .arg(ButtonName(button), PointText(point), ctrlHeld ? " with Ctrl" : ""));
        QTest::mousePress(Window(), button, Modifiers(), point);
        held |= button;
        lastPoint = point;
    }

    void Release(Qt::MouseButton button, QPoint point) {
        Log(QStringLiteral("release %1 at %2%3")
                .arg(ButtonName(button), PointText(point), ctrlHeld ? " with Ctrl" : ""));
        QTest::mouseRelease(Window(), button, Modifiers(), point);
        held &= ~Qt::MouseButtons(button);
        lastPoint = point;
    }

    void Move(QPoint point) {
        Log(QStringLiteral("move to %1").arg(PointText(point)));
        QTest::mouseMove(Window(), point);
        lastPoint = point;
    }

    // Presses and releases the left button over a visible control, through the window as a user
    // would (a button already held keeps its grab on whatever it pressed).
    void Click(QWidget* control, QPoint local) {
        const QPoint point = control->mapTo(form.get(), local);
        if (held & Qt::LeftButton) Release(Qt::LeftButton, point);
        Log(QStringLiteral("click %1").arg(control->objectName()));
        Press(Qt::LeftButton, point);
        Release(Qt::LeftButton, point);
    }

    void MouseButtonEvent(Random& random) {
        static constexpr std::array<Qt::MouseButton, 5> buttons{
            Qt::LeftButton, Qt::LeftButton, Qt::RightButton, Qt::RightButton, Qt::MiddleButton};
        const Qt::MouseButton button = random.Pick(buttons);
        if (!held && random.Chance(5)) {
            const QPoint point = RandomPoint(random);
            Log(QStringLiteral("double-click %1 at %2").arg(ButtonName(button), PointText(point)));
            QTest::mouseDClick(Window(), button, Modifiers(), point);
            lastPoint = point;
        } else if (held & button) {
            Release(button, NearbyPoint(random));
        } else {
            Press(button, held ? NearbyPoint(random) : RandomPoint(random));
        }
    }

    void MoveEvent(Random& random) {
        const int steps = random.Between(1, 6);
        for (int i = 0; i < steps; ++i)
            Move(NearbyPoint(random));
    }

    void WheelEvent(Random& random) {
        QWidget* target = View()->viewport();
        QPoint local = QPoint(random.Below(std::max(1, target->width())),
                              random.Below(std::max(1, target->height())));
        if (random.Chance(25)) {
            // Over whatever lies under a random point of the window.
            const QPoint point = RandomPoint(random);
            if (QWidget* child = form->childAt(point)) {
                target = child;
                local = child->mapFrom(form.get(), point);
            }
        }
        const int notches = random.Chance(50) ? random.Between(1, 3) : -random.Between(1, 3);
        Log(QStringLiteral("wheel %1 over %2 at %3")
                .arg(notches)
                .arg(target->objectName().isEmpty() ? target->metaObject()->className()
                                                    : target->objectName())
                .arg(PointText(local)));
        QWheelEvent event(local, target->mapToGlobal(local), QPoint(), QPoint(0, 120 * notches),
                          held, Modifiers(), Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
    }

    void KeyEvent(Random& random) {
        if (random.Chance(70)) {
            ctrlHeld = !ctrlHeld;
            Log(ctrlHeld ? QStringLiteral("Ctrl down") : QStringLiteral("Ctrl up"));
            if (ctrlHeld) {
                QTest::keyPress(View(), Qt::Key_Control, Qt::ControlModifier);
            } else {
                QTest::keyRelease(View(), Qt::Key_Control, Qt::NoModifier);
            }
            return;
        }
        static constexpr std::array<Qt::Key, 8> keys{Qt::Key_Left, Qt::Key_Right,  Qt::Key_Up,
                                                     Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown,
                                                     Qt::Key_Home, Qt::Key_A};
        const Qt::Key key = random.Pick(keys);
        Log(QStringLiteral("key %1 on the view").arg(int(key)));
        QTest::keyClick(View(), key, Modifiers());
    }

    void ButtonEvent(Random& random) {
        static constexpr std::array<const char*, 13> names{
            "BtReset", "BtReverse", "RadioSegment", "RadioRect", "CheckBox1", "Button3", "Button6",
            "Button4", "Button5",   "BtBlur",       "Button8",   "BtErase",   "Button7"};
        auto* button = Control<QAbstractButton>(random.Pick(names));
        if (!button->isVisible()) {
            // Its page is not shown: show it first, as a user would.
            auto* pages = Control<QTabWidget>("PageControl1");
            for (int i = 0; i < pages->count(); ++i) {
                if (pages->widget(i)->isAncestorOf(button)) {
                    Log(QStringLiteral("page %1 for %2").arg(i).arg(button->objectName()));
                    pages->setCurrentIndex(i);
                }
            }
        }
        Click(button, button->rect().center());
    }

    void SliderEvent(Random& random) {
        static constexpr std::array<const char*, 6> names{"TrackBar1", "TrackBar2", "TrackBar3",
                                                          "TrackBar4", "TrackBar5", "TrackBar6"};
        auto* slider = Control<QSlider>(random.Pick(names));
        if (random.Chance(50)) {
            const int value = random.Between(slider->minimum(), slider->maximum());
            Log(QStringLiteral("%1 set to %2").arg(slider->objectName()).arg(value));
            slider->setValue(value);
        } else {
            static constexpr std::array<Qt::Key, 8> keys{
                Qt::Key_Left,     Qt::Key_Right,  Qt::Key_Up,   Qt::Key_Down,
                Qt::Key_PageDown, Qt::Key_PageUp, Qt::Key_Home, Qt::Key_End};
            const Qt::Key key = random.Pick(keys);
            Log(QStringLiteral("%1 key %2").arg(slider->objectName()).arg(int(key)));
            QTest::keyClick(slider, key);
        }
    }

    void PageEvent(Random& random) {
        auto* pages = Control<QTabWidget>("PageControl1");
        const int index = random.Below(pages->count());
        if (random.Chance(50)) {
            Log(QStringLiteral("page %1 chosen").arg(index));
            pages->setCurrentIndex(index);
        } else {
            QTabBar* tabs = pages->tabBar();
            Log(QStringLiteral("tab %1 clicked").arg(index));
            Click(tabs, tabs->tabRect(index).center());
        }
    }

    void FileEvent(Random& random) {
        const int choice = random.Below(10);
        if (choice < 2) {
            Log(QStringLiteral("open the disc"));
            form->OpenImageFile(discFile);
        } else if (choice < 3) {
            const QString& file = random.Chance(50) ? smallFile : tinyFile;
            Log(QStringLiteral("open %1").arg(file));
            form->OpenImageFile(file);
        } else if (choice < 5) {
            const QString bad = badFiles[random.Below(int(badFiles.size()))];
            Log(QStringLiteral("open %1").arg(bad));
            form->OpenImageFile(bad);
        } else if (choice < 8) {
            Log(QStringLiteral("load the background"));
            form->LoadBackgroundFile(backgroundFile);
        } else {
            Log(QStringLiteral("save"));
            form->SaveToFile(dir.filePath(QStringLiteral("saved.png")));
        }
    }

    void RandomEvent(Random& random) {
        const int kind = random.Below(100);
        if (kind < 25) {
            MouseButtonEvent(random);
        } else if (kind < 55) {
            MoveEvent(random);
        } else if (kind < 60) {
            WheelEvent(random);
        } else if (kind < 68) {
            KeyEvent(random);
        } else if (kind < 80) {
            ButtonEvent(random);
        } else if (kind < 90) {
            SliderEvent(random);
        } else if (kind < 96) {
            PageEvent(random);
        } else {
            FileEvent(random);
        }
    }

    // Empty when the window's state is consistent, else what is wrong.
    QString Problem() const {
        if (!modalDialogs.isEmpty())
            return QStringLiteral("a modal dialog opened: ") + modalDialogs.join(", ");
        const ImageView* second = form->SecondView();
        if (Shown(View()) && Shown(second)) {
            return QStringLiteral("both views shown: %1 x %2 and %3 x %4")
                .arg(View()->width())
                .arg(View()->height())
                .arg(second->width())
                .arg(second->height());
        }
        const size_t pixelCount = size_t(ImageWidth) * size_t(ImageHeight);
        if (MarkMap.size() != pixelCount || SelectionMap.size() != pixelCount ||
            LoadedPixels.size() != 3 * pixelCount) {
            return QStringLiteral("maps of %1 x %2: marks %3, selection %4, pixels %5")
                .arg(ImageWidth)
                .arg(ImageHeight)
                .arg(MarkMap.size())
                .arg(SelectionMap.size())
                .arg(LoadedPixels.size());
        }
        if (const ptrdiff_t at = FirstAbove(MarkMap, 2); at >= 0)
            return QStringLiteral("mark %1 at %2").arg(MarkMap[size_t(at)]).arg(at);
        if (const ptrdiff_t at = FirstAbove(SelectionMap, 1); at >= 0)
            return QStringLiteral("selection %1 at %2").arg(SelectionMap[size_t(at)]).arg(at);
        // The engine is process-wide: before this window opens an image it may hold another.
        if (!ImageFileName.isEmpty() &&
            (EngineWidth != ImageWidth || EngineHeight != ImageHeight)) {
            return QStringLiteral("engine holds %1 x %2, window %3 x %4")
                .arg(EngineWidth)
                .arg(EngineHeight)
                .arg(ImageWidth)
                .arg(ImageHeight);
        }
        if (MouseMode < 0 || MouseMode > 3) return QStringLiteral("MouseMode %1").arg(MouseMode);
        for (const ImageView* view : {static_cast<const ImageView*>(View()), second}) {
            if (view->Model().SelectionStackDepth() != 0)
                return QStringLiteral("%1 keeps %2 pushed selections")
                    .arg(view->objectName())
                    .arg(view->Model().SelectionStackDepth());
        }
        if (const QCursor* cursor = QApplication::overrideCursor();
            cursor != nullptr && cursor->shape() != Qt::PointingHandCursor)
            return QStringLiteral("override cursor %1 left on").arg(int(cursor->shape()));
        if (Shown(View())) {
            const imaging::SelectionMask& mask = View()->Model().Mask();
            if (!(mask.Width() == 0 && mask.Height() == 0) &&
                (mask.Width() != ImageWidth || mask.Height() != ImageHeight))
                return QStringLiteral("main view mask %1 x %2")
                    .arg(mask.Width())
                    .arg(mask.Height());
        }
        if (LoadedPixels != openedPixels.value(ImageFileName))
            return QStringLiteral("the loaded pixels of %1 changed").arg(ImageFileName);
        if (Shown(View())) {
            const imaging::Bitmap& bitmap = View()->Model().CurrentBitmap();
            if (bitmap.Width() != ImageWidth || bitmap.Height() != ImageHeight) {
                return QStringLiteral("main view shows %1 x %2 for an image of %3 x %4")
                    .arg(bitmap.Width())
                    .arg(bitmap.Height())
                    .arg(ImageWidth)
                    .arg(ImageHeight);
            }
        }
        return {};
    }

    void Tally() {
        if (std::find(SelectionMap.begin(), SelectionMap.end(), uint8_t(1)) != SelectionMap.end())
            ++selectionsSeen;
        if (std::find(MarkMap.begin(), MarkMap.end(), uint8_t(1)) != MarkMap.end()) ++strokesMarked;
        if (Shown(form->SecondView())) ++secondViewShown;
    }

    // Lets go of every button and Ctrl, so that the next test starts from rest.
    void LetGo() {
        for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
            if (held & button) Release(button, lastPoint);
        }
        if (ctrlHeld) {
            ctrlHeld = false;
            Log(QStringLiteral("Ctrl up"));
            QTest::keyRelease(View(), Qt::Key_Control, Qt::NoModifier);
        }
    }

    // Sends `eventCount` random events from `seed`, checking the invariants after each.
    void RunRandomEvents(uint64_t seed, int eventCount) {
        Random random(seed);

        // A modal dialog would block the run: note it and close it. Popup menus (a scroll
        // bar's context menu) are fine and are only closed.
        QTimer dialogWatch;
        connect(&dialogWatch, &QTimer::timeout, this, [this] {
            if (QWidget* popup = QApplication::activePopupWidget()) {
                Log(QStringLiteral("popup %1 closed").arg(popup->metaObject()->className()));
                popup->close();
            }
            if (QWidget* modal = QApplication::activeModalWidget()) {
                modalDialogs << modal->metaObject()->className();
                modal->close();
            }
        });
        dialogWatch.start(50);

        lastPoint = QPoint(300, 250);
        for (int event = 0; event < eventCount; ++event) {
            RandomEvent(random);
            const QString problem = Problem();
            if (!problem.isEmpty()) {
                QFAIL(qPrintable(QStringLiteral("seed %1, event %2: %3; last events:%4")
                                     .arg(seed)
                                     .arg(event)
                                     .arg(problem, RecentEvents())));
            }
            Tally();
        }
        LetGo();
        QVERIFY2(Problem().isEmpty(), qPrintable(Problem() + RecentEvents()));
        qInfo("seed %llu, %d events: marks after %d, a selection after %d, the composite after %d",
              static_cast<unsigned long long>(seed), eventCount, strokesMarked, selectionsSeen,
              secondViewShown);
    }

  private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        discFile = dir.filePath(QStringLiteral("disc.png"));
        QVERIFY(stress::DiscImage(kImageWidth, kImageHeight).save(discFile));
        smallFile = dir.filePath(QStringLiteral("small.png"));
        QVERIFY(stress::DiscImage(kSmallImageWidth, kSmallImageHeight).save(smallFile));
        tinyFile = dir.filePath(QStringLiteral("tiny.png"));
        QVERIFY(stress::DiscImage(kTinyImageWidth, kTinyImageHeight).save(tinyFile));
        for (const QString& file : {discFile, smallFile, tinyFile})
            openedPixels.insert(file, BgrOf(QImage(file)));
        // Nothing opened yet: no pixels.
        openedPixels.insert(QString(), {});
        backgroundFile = dir.filePath(QStringLiteral("background.png"));
        QImage background(80, 60, QImage::Format_RGB32);
        for (int y = 0; y < background.height(); ++y)
            for (int x = 0; x < background.width(); ++x)
                background.setPixel(x, y, qRgb(3 * x, 4 * y, 90));
        QVERIFY(background.save(backgroundFile));
        const QDir data(QStringLiteral(QUILLANE_TEST_DATA));
        for (const QString& name : data.entryList({QStringLiteral("bad_*")}, QDir::Files))
            badFiles << data.filePath(name);
        QVERIFY(!badFiles.isEmpty());
    }

    void init() {
        form = std::make_unique<TForm1>();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        held = {};
        ctrlHeld = false;
        recentEvents.clear();
        modalDialogs.clear();
        selectionsSeen = strokesMarked = secondViewShown = 0;
    }

    void cleanup() {
        LetGo();
        form.reset();
    }

    void invariantsHoldUnderRandomEvents() {
        const uint64_t seed = qEnvironmentVariableIsSet("QUILLANE_STRESS_SEED")
                                  ? qEnvironmentVariable("QUILLANE_STRESS_SEED").toULongLong()
                                  : kDefaultSeed;
        const int eventCount = qEnvironmentVariableIsSet("QUILLANE_STRESS_EVENTS")
                                   ? qEnvironmentVariableIntValue("QUILLANE_STRESS_EVENTS")
                                   : kDefaultEventCount;
        QVERIFY(form->OpenImageFile(discFile));
        RunRandomEvents(seed, eventCount);
        if (QTest::currentTestFailed()) return;
        // The events reached the window: strokes marked, the engine selected, the composite
        // picture showed.
        QVERIFY(strokesMarked > 0);
        QVERIFY(selectionsSeen > 0);
        QVERIFY(secondViewShown > 0);
    }

    // The same from a window that has no image yet: effects, clicks and keys on nothing, until
    // the random file events open one.
    void invariantsHoldFromAnEmptyWindow() {
        QCOMPARE(ImageWidth, 0);
        RunRandomEvents(kDefaultSeed + 2, kDefaultEventCount / 2);
    }

    void controlsBeforeAnyImageChangeNothing_data() {
        QTest::addColumn<QString>("control");
        for (const char* name : {"BtReset", "BtReverse", "Button6", "Button3", "Button5", "Button4",
                                 "BtBlur", "Button8", "BtErase", "Button7", "CheckBox1"})
            QTest::newRow(name) << QString::fromLatin1(name);
        QTest::newRow("page change") << QString();
    }

    // Before any image each control finds nothing to work on: the window stays empty and the
    // main view shown.
    void controlsBeforeAnyImageChangeNothing() {
        QFETCH(QString, control);
        auto* pages = Control<QTabWidget>("PageControl1");
        if (control.isEmpty()) {
            pages->setCurrentIndex(2);
        } else {
            auto* button = form->findChild<QAbstractButton*>(control);
            QVERIFY(button != nullptr);
            for (int i = 0; i < pages->count(); ++i) {
                if (pages->widget(i)->isAncestorOf(button)) pages->setCurrentIndex(i);
            }
            QTest::mouseClick(button, Qt::LeftButton);
        }
        QCOMPARE(ImageWidth, 0);
        QCOMPARE(ImageHeight, 0);
        QVERIFY(LoadedPixels.empty());
        QVERIFY(MarkMap.empty());
        QVERIFY(SelectionMap.empty());
        QCOMPARE(View()->size(), QSize(ViewWidth, ViewHeight));
        QCOMPARE(form->SecondView()->size(), QSize(0, 0));
        QVERIFY(View()->Model().CurrentBitmap().IsEmpty());
    }

    // After the storm the window still works: a fresh image, strokes and a release give the
    // engine's selection.
    void windowStillSelectsAfterRandomEvents() {
        Random random(kDefaultSeed + 1);
        QVERIFY(form->OpenImageFile(discFile));
        lastPoint = QPoint(300, 250);
        for (int event = 0; event < 300; ++event)
            RandomEvent(random);
        LetGo();

        QVERIFY(form->OpenImageFile(discFile));
        Control<QRadioButton>("RadioSegment")->setChecked(true);
        QWidget* viewport = View()->viewport();
        const auto client = [this](int x, int y) {
            return View()->BmpToScr(QPointF(x + 0.5, y + 0.5)).toPoint();
        };
        QTest::mousePress(viewport, Qt::LeftButton, {}, client(50, 45));
        QTest::mouseMove(viewport, client(70, 46));
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, client(70, 46));
        QTest::mousePress(viewport, Qt::RightButton, {}, client(5, 5));
        QTest::mouseMove(viewport, client(115, 6));
        QTest::mouseRelease(viewport, Qt::RightButton, {}, client(115, 6));
        QCOMPARE(SelectionMap.size(), size_t(kImageWidth) * kImageHeight);
        QCOMPARE(SelectionMap, stress::EngineSelection());
        QCOMPARE(SelectionMap[size_t(45 * kImageWidth + 60)], uint8_t(1));
        QCOMPARE(SelectionMap[size_t(80 * kImageWidth + 110)], uint8_t(0));
        QCOMPARE(Control<QLabel>("Label5")->text(), kHintDone);
    }
};

QTEST_MAIN(WindowStressTest)
#include "test_window_stress.moc"
