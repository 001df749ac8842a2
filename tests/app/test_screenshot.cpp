// Starts the real program Corvella on an X server (run under xvfb-run) and checks a screenshot
// of its window: its place and size, and that the captions are drawn.
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QScreen>
#include <QtTest>

namespace {

// Client area of the window on the screen (no window manager runs under Xvfb).
const QRect kWindow(41, 89, 939, 570);

bool IsFace(QRgb pixel) {
    return qRed(pixel) > 200 && qGreen(pixel) > 200 && qBlue(pixel) > 200;
}
bool IsText(QRgb pixel) {
    return qGray(pixel) < 110;
}

int TextPixels(const QImage& shot, const QRect& clientArea) {
    int count = 0;
    const QRect area = clientArea.translated(kWindow.topLeft());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            count += IsText(shot.pixel(x, y));
    }
    return count;
}

}  // namespace

class ScreenshotTest : public QObject {
    Q_OBJECT

  private slots:
    void windowShowsItsControlsAndCaptions() {
        QProcess corvella;
        corvella.setProcessChannelMode(QProcess::ForwardedChannels);
        corvella.start(QStringLiteral(CORVELLA_PROGRAM), {});
        QVERIFY2(corvella.waitForStarted(10000), qPrintable(corvella.errorString()));

        QScreen* screen = QGuiApplication::primaryScreen();
        QVERIFY(screen != nullptr);
        QImage shot;
        // Wait until the window is mapped and its hint line is drawn.
        for (int attempt = 0; attempt < 150; ++attempt) {
            QTest::qWait(200);
            shot = screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
            if (IsFace(shot.pixel(kWindow.topLeft())) &&
                TextPixels(shot, QRect(16, 544, 40, 16)) > 0) {
                break;
            }
        }
        corvella.terminate();
        if (!corvella.waitForFinished(10000)) corvella.kill();
        shot.save(QStringLiteral("corvella_screenshot.png"));

        // The window covers exactly its client rectangle: face colour on its inner edges, the
        // black root window just outside.
        const QRect w = kWindow;
        const int midX = w.left() + 500;
        const int midY = w.top() + 300;
        QVERIFY(IsFace(shot.pixel(w.left(), midY)));
        QVERIFY(IsFace(shot.pixel(w.right(), midY)));
        QVERIFY(IsFace(shot.pixel(midX, w.top())));
        QVERIFY(IsFace(shot.pixel(midX, w.bottom())));
        QCOMPARE(qGray(shot.pixel(w.left() - 1, midY)), 0);
        QCOMPARE(qGray(shot.pixel(w.right() + 1, midY)), 0);
        QCOMPARE(qGray(shot.pixel(midX, w.top() - 1)), 0);
        QCOMPARE(qGray(shot.pixel(midX, w.bottom() + 1)), 0);

        // The empty main view shows only its background.
        QCOMPARE(TextPixels(shot, QRect(25, 26, 614, 501)), 0);

        // Every caption leaves text-coloured pixels inside its control.
        const std::pair<const char*, QRect> captions[] = {
            {"打开", {694, 16, 75, 25}},
            {"保存", {816, 16, 75, 25}},
            {"抠图", {664, 64, 60, 16}},
            {"选择模式", {680, 90, 80, 14}},
            {"线段", {664 + 48, 64 + 56, 65, 17}},
            {"矩形", {664 + 136, 64 + 56, 57, 17}},
            {"显示选区", {664 + 24, 64 + 144, 113, 17}},
            {"重置", {688, 176, 75, 25}},
            {"反选", {800, 176, 75, 25}},
            {"tabs", {672, 256, 257, 22}},
            {"选择颜色:", {672, 280, 100, 40}},
            {"确定 取消", {672, 380, 257, 50}},
            {"显示比例：", {656, 504, 80, 16}},
            {"提示：", {16, 544, 60, 16}},
            {"Power by Orravine", {792, 536, 140, 16}},
        };
        for (const auto& [caption, area] : captions) {
            QVERIFY2(TextPixels(shot, area) > 10, caption);
        }
        // The four tabs share the bar: text in each quarter of it.
        for (int quarter = 0; quarter < 4; ++quarter) {
            QVERIFY2(TextPixels(shot, QRect(672 + quarter * 60 + 4, 258, 50, 18)) > 10,
                     qPrintable(QString::number(quarter)));
        }
    }
};

QTEST_MAIN(ScreenshotTest)
#include "test_screenshot.moc"
