// Unit1: the window Form1 of class TForm1, its state and its handlers.
#ifndef QUILLANE_APP_UNIT1_H
#define QUILLANE_APP_UNIT1_H

#include <QColor>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "io/image_file.h"

class QApplication;
class QLabel;
class QStyle;
class ImageView;
namespace imaging {
class ImageModel;
}

namespace Ui {
class TForm1;
}

// The keys and buttons held during a mouse or key event, as a set of these bits.
enum TShiftFlag : unsigned {
    ssShift = 1,
    ssAlt = 2,
    ssCtrl = 4,
    ssLeft = 8,
    ssRight = 16,
    ssMiddle = 32,
};
using TShiftState = unsigned;

enum TMouseButton { mbLeft, mbRight, mbMiddle };

struct TPoint {
    int32_t X = 0;
    int32_t Y = 0;

    friend bool operator==(const TPoint&, const TPoint&) = default;
};

// ---- Window state ------------------------------------------------------------------------
// Shared by every handler of the window; all zero or empty at start.

// The opened image's pixels as loaded: blue, green, red per pixel, rows from the top.
extern std::vector<uint8_t> LoadedPixels;
// The user's marks, one byte per pixel: 0 none, 1 foreground, 2 background.
extern std::vector<uint8_t> MarkMap;
// The last selection the engine computed, one byte per pixel: 1 selected, 0 not.
extern std::vector<uint8_t> SelectionMap;
extern int32_t ImageWidth;
extern int32_t ImageHeight;
// Last mouse position of the current stroke, in the main view's client coordinates.
extern TPoint LastPoint;
// 0 idle, 1 pressed or stroking, 2 foreground rectangle, 3 background rectangle.
extern int32_t MouseMode;
// Corners of the rectangle being dragged, in image coordinates.
extern TPoint RectStart;
extern TPoint RectEnd;
extern QString ImageFileName;
// The main view's designed size.
extern int32_t ViewWidth;
extern int32_t ViewHeight;
// 1 when the marks or the image changed since the last selection computation.
extern int32_t MarksChanged;
// Size of the last image the engine accepted (0 x 0 when it holds none). The engine may only be
// called with buffers of exactly this size.
extern int32_t EngineWidth;
extern int32_t EngineHeight;

// Hint-line texts.
inline const QString kHintStart = QStringLiteral("提示：");
inline const QString kHintPreprocessing =
    QStringLiteral("正在进行预处理，可能需要几秒钟，请耐心等待。。。。");
inline const QString kHintMarking = QStringLiteral(
    "按住左键拖动选择前景，按住右键拖动选择背景，按住Ctrl键盘再选择可防止立即计算。");
inline const QString kHintComputing = QStringLiteral("正在计算选区，请耐心等待。。。。");
inline const QString kHintDone = QStringLiteral("处理完成");
// Shown while a background effect or the composite picture is being computed.
inline const QString kHintWorking = QStringLiteral("正在处理，请耐心等待。。。。");

// The project's home page, opened by the credit label.
inline constexpr char kHomePageUrl[] = "https://quillane.example.org";

// The application-wide look the window's layout is designed for: the Fusion style, and Qt's own
// dialogs in Simplified Chinese. Call once before creating the window.
void PrepareApplication(QApplication& application);

// The window's font: a sans font covering Chinese, sized so that every caption fits.
QFont WindowFont();

class TForm1 : public QWidget {
    Q_OBJECT

  public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // Opens the image file as "打开" does after its dialog: loads it into the main view and
    // pre-segments it. A file that cannot be read or has no pixels changes nothing but the hint
    // line, which names the file. Returns whether the image was opened.
    bool OpenImageFile(const QString& fileName);

    // Saves the picture on screen as "保存" does after its dialog: the main view's image, or,
    // while the second view is shown, its two layers merged. The format follows the extension.
    // The hint line says where the file went, or why nothing was written (an existing file is
    // then left as it was). Returns whether the file was written.
    bool SaveToFile(const QString& fileName);
    // Builds the composite picture as "加载背景" does after its dialog, with `fileName` as the
    // background. A background that cannot be read changes nothing but the hint line. Returns
    // whether the composite was built.
    bool LoadBackgroundFile(const QString& fileName);
    // The fill colour shown by Panel2.
    QColor FillColour() const;

    ImageView* MainView() const;
    ImageView* SecondView() const;
    // The main view's writer options, edited with the save dialog's advanced button. The second
    // view keeps the writers' defaults: nothing in the window changes its options.
    io::OutputSettings& MainViewOutputSettings() { return mainViewOutputSettings_; }

  public slots:
    void FormCreate();
    void BtOpenClick();
    void TrackBar1Change(int position);
    void ImageEnView1MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    void ImageEnView1MouseMove(TShiftState Shift, int X, int Y);
    void ImageEnView1MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    void ImageEnView1KeyUp(int Key, TShiftState Shift);
    void FormMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    void ImageEnView1ZoomIn(double NewZoom);
    void ImageEnView1ZoomOut(double NewZoom);
    void ImageEnView2ZoomIn(double NewZoom);
    void ImageEnView2ZoomOut(double NewZoom);
    void Label7Click();
    void Label7MouseEnter();
    void Label7MouseLeave();
    void BtResetClick();
    void BtReverseClick();
    void CheckBox1Click();
    void PageControl1Change(int index);
    void Button6Click();
    void TrackBar2Change(int position);
    void TrackBar5Change(int position);
    void TrackBar3Change(int position);
    void TrackBar6Change(int position);
    void Button2Click();
    void Button3Click();
    void Button1Click();
    void TrackBar4Change(int position);
    void Button5Click();
    void Button4Click();
    void BtBlurClick();
    void BtEraseClick();
    void BtSaveClick();

  public:
    // The selection step run by every release: commits a dragged rectangle, then computes the
    // selection (or, with Ctrl held, only the outlines of the marks) and shows it.
    void MouseUp(QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    // Restores the opened image in the main view, fully opaque, keeping the selection.
    void ResetWithSelect();
    // Main view client coordinates to the image point, or (-1, -1) outside the image. The
    // column ImageWidth and the row ImageHeight count as inside.
    TPoint ClientToImage(int X, int Y) const;
    // One stroke step: a square brush along the segment P1-P2 (image coordinates), sized from
    // the main view's zoom, marks MarkMap and paints the view's bitmap.
    void Line(TPoint P1, TPoint P2, uint8_t mark);
    // Fills the closed rectangle between A and B (image coordinates), clipped to the image, into
    // MarkMap.
    void setFlagRect(TPoint A, TPoint B, uint8_t mark);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ConnectHandlers();
    void SetHint(const QString& text);
    // Whether the engine holds the image the window shows, so that it may be called.
    bool EngineHoldsImage() const;
    // Copies LoadedPixels into the main view's bitmap (alpha and selection untouched).
    void RestoreLoadedPixels();
    // How one background effect differs in the frame around it.
    struct EffectFrame {
        bool busyBeforeRestore = false;  // the blur's busy cursor comes first
        bool alwaysShowOutline = false;  // removing shows the outline whatever "显示选区" says
    };
    // The frame of every effect on the main view: restore the opened pixels, hide the outline,
    // run the effect on the background, show the outline again, refresh.
    void RunBackgroundEffect(EffectFrame frame,
                             const std::function<void(imaging::ImageModel&)>& effect);
    void SetFillColour(const QColor& colour);
    // LoadBackgroundFile after its checks, once the busy cursor shows.
    bool BuildComposite(const QString& fileName);

    std::unique_ptr<Ui::TForm1> ui;
    // Narrower tabs, so that all four effect pages show in the page control.
    std::unique_ptr<QStyle> tabStyle_;
    bool pressStartedOnForm_ = false;
    bool handCursorShown_ = false;
    io::OutputSettings mainViewOutputSettings_;
};

#endif  // QUILLANE_APP_UNIT1_H
