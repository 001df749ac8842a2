#include "Unit1.h"

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QTabBar>
#include <QTranslator>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <new>
#include <optional>

#include "ImageView.h"
#include "imaging/background_effects.h"
#include "imaging/image_model.h"
#include "io/image_dialogs.h"
#include "io/image_file.h"
#include "segmentation.h"
#include "ui_Unit1.h"

// ---- Window state --------------------------------------------------------------------------

std::vector<uint8_t> LoadedPixels;
std::vector<uint8_t> MarkMap;
std::vector<uint8_t> SelectionMap;
int32_t ImageWidth = 0;
int32_t ImageHeight = 0;
TPoint LastPoint;
int32_t MouseMode = 0;
TPoint RectStart;
TPoint RectEnd;
QString ImageFileName;
int32_t ViewWidth = 0;
int32_t ViewHeight = 0;
int32_t MarksChanged = 0;
int32_t EngineWidth = 0;
int32_t EngineHeight = 0;

namespace {

constexpr uint8_t kForegroundMark = 1;
constexpr uint8_t kBackgroundMark = 2;
// Stroke colours in the bitmap's byte order blue, green, red.
constexpr uint8_t kForegroundBgr[3] = {0, 0, 255};
constexpr uint8_t kBackgroundBgr[3] = {0, 255, 0};
// The main view's zoom before any image is opened: positive, next to 0.
constexpr double kStartZoom = 1e-12;
// The window's font size in pixels (the designed font is 11 pixels high).
constexpr int kFontPixelSize = 11;

// QUILLANE_TIMING=1 prints how long opening and computing take to stderr.
bool TimingEnabled() {
    static const bool enabled = qEnvironmentVariableIntValue("QUILLANE_TIMING") != 0;
    return enabled;
}

void ReportTiming(const char* what, const QElapsedTimer& timer) {
    if (TimingEnabled()) std::fprintf(stderr, "quillane: %s: %lld ms\n", what, timer.elapsed());
}

// Rounded to the nearest integer, halves to the even neighbour, kept inside the int range.
int RoundHalfEven(double value) {
    constexpr double limit = std::numeric_limits<int>::max() / 2;
    if (std::isnan(value)) return 0;
    return int(std::nearbyint(std::clamp(value, -limit, limit)));
}

TShiftState ShiftStateOf(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
    TShiftState shift = 0;
    if (modifiers & Qt::ShiftModifier) shift |= ssShift;
    if (modifiers & Qt::AltModifier) shift |= ssAlt;
    if (modifiers & Qt::ControlModifier) shift |= ssCtrl;
    if (buttons & Qt::LeftButton) shift |= ssLeft;
    if (buttons & Qt::RightButton) shift |= ssRight;
    if (buttons & Qt::MiddleButton) shift |= ssMiddle;
    return shift;
}

TMouseButton MouseButtonOf(Qt::MouseButton button) {
    switch (button) {
        case Qt::RightButton:
            return mbRight;
        case Qt::MiddleButton:
            return mbMiddle;
        default:
            return mbLeft;
    }
}

QString ZoomCaption(int position) {
    return QStringLiteral("显示比例 (%1%)").arg(position);
}

// "无法打开图像：<cause>" with the file named after the verb.
QString OpenFailureText(const QString& fileName, const QString& message) {
    const QString name = QFileInfo(fileName).fileName();
    const QString prefix = QStringLiteral("无法打开图像：");
    if (message.startsWith(prefix)) {
        return QStringLiteral("无法打开图像“%1”：%2").arg(name, message.mid(prefix.size()));
    }
    return QStringLiteral("无法打开图像“%1”：%2").arg(name, message);
}

// The application-wide busy cursor for the lifetime of the object, also when a step throws.
class BusyCursor {
  public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// Puts the wait text on the hint line and draws it at once, so that it shows while an effect
// blocks the window; the previous hint comes back afterwards.
class WorkingHint {
  public:
    explicit WorkingHint(QLabel* hintLine) : hintLine_(hintLine), previous_(hintLine->text()) {
        hintLine_->setText(kHintWorking);
        hintLine_->repaint();
    }
    // A message put there meanwhile (a failure) stays.
    ~WorkingHint() {
        if (hintLine_->text() == kHintWorking) hintLine_->setText(previous_);
    }
    WorkingHint(const WorkingHint&) = delete;
    WorkingHint& operator=(const WorkingHint&) = delete;

  private:
    QLabel* hintLine_;
    QString previous_;
};

// Runs a step that may run out of memory on a huge picture. When it does, the selection stack
// goes back to its depth before the step and the hint line says so, rather than the error
// leaving the handler. Returns whether the step completed.
bool RunWithinMemory(imaging::ImageModel& model, QLabel* hintLine,
                     const std::function<void()>& step) {
    const size_t depth = model.SelectionStackDepth();
    try {
        step();
        return true;
    } catch (const std::bad_alloc&) {
        while (model.SelectionStackDepth() > depth)
            model.PopSelection();
        hintLine->setText(QStringLiteral("内存不足，无法完成处理。"));
        return false;
    }
}

imaging::Rgb RgbOf(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return {uint8_t(rgb.red()), uint8_t(rgb.green()), uint8_t(rgb.blue())};
}

// The style's tabs with less padding: the page control is 257 pixels wide and must show the
// tabs of all four pages without scroll arrows.
class CompactTabStyle : public QProxyStyle {
  public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        if (metric == PM_TabBarTabHSpace) return kTabHorizontalSpace;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

  private:
    static constexpr int kTabHorizontalSpace = 12;
};

}  // namespace

void PrepareApplication(QApplication& application) {
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) {
        application.setStyle(fusion);
    }
    // Qt's own dialogs (files, colours) speak Simplified Chinese like the window, where Qt's
    // translations are installed; otherwise they stay in English. The application owns it.
    auto* translator = new QTranslator(&application);
    if (translator->load(QStringLiteral("qtbase_zh_CN"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        application.installTranslator(translator);
    }
}

QFont WindowFont() {
    QFont font(QStringLiteral("Noto Sans CJK SC"));
    font.setPixelSize(kFontPixelSize);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

// ---- Start-up ------------------------------------------------------------------------------

TForm1::TForm1(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::TForm1>()) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(939, 570);
    move(41, 89);
    setFont(WindowFont());
    ui->PageControl1->setUsesScrollButtons(false);
    tabStyle_ = std::make_unique<CompactTabStyle>();
    ui->PageControl1->tabBar()->setStyle(tabStyle_.get());
    ui->Label7->installEventFilter(this);
    ConnectHandlers();
    FormCreate();
    ui->ImageEnView1->setFocus();
}

TForm1::~TForm1() {
    // The tab bar outlives this object's members: give it back the application's style first.
    ui->PageControl1->tabBar()->setStyle(nullptr);
    if (handCursorShown_) QApplication::restoreOverrideCursor();
}

ImageView* TForm1::MainView() const {
    return ui->ImageEnView1;
}
ImageView* TForm1::SecondView() const {
    return ui->ImageEnView2;
}

void TForm1::ConnectHandlers() {
    ImageView* view1 = ui->ImageEnView1;
    connect(view1, &ImageView::mouseDown, this,
            [this](Qt::MouseButton button, Qt::MouseButtons buttons,
                   Qt::KeyboardModifiers modifiers, QPoint position) {
                ImageEnView1MouseDown(MouseButtonOf(button), ShiftStateOf(buttons, modifiers),
                                      position.x(), position.y());
            });
    connect(view1, &ImageView::mouseMove, this,
            [this](Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, QPoint position) {
                ImageEnView1MouseMove(ShiftStateOf(buttons, modifiers), position.x(), position.y());
            });
    connect(view1, &ImageView::mouseUp, this,
            [this](Qt::MouseButton button, Qt::MouseButtons buttons,
                   Qt::KeyboardModifiers modifiers, QPoint position) {
                ImageEnView1MouseUp(MouseButtonOf(button), ShiftStateOf(buttons, modifiers),
                                    position.x(), position.y());
            });
    connect(view1, &ImageView::keyUp, this, [this](int key, Qt::KeyboardModifiers modifiers) {
        // The released key is up by now, whatever the event's modifiers still say.
        Qt::KeyboardModifiers held = modifiers;
        if (key == Qt::Key_Control) held &= ~Qt::ControlModifier;
        ImageEnView1KeyUp(key, ShiftStateOf(QApplication::mouseButtons(), held));
    });
    connect(view1, &ImageView::zoomIn, this, &TForm1::ImageEnView1ZoomIn);
    connect(view1, &ImageView::zoomOut, this, &TForm1::ImageEnView1ZoomOut);
    connect(ui->ImageEnView2, &ImageView::zoomIn, this, &TForm1::ImageEnView2ZoomIn);
    connect(ui->ImageEnView2, &ImageView::zoomOut, this, &TForm1::ImageEnView2ZoomOut);

    connect(ui->BtOpen, &QPushButton::clicked, this, &TForm1::BtOpenClick);
    connect(ui->BtReset, &QPushButton::clicked, this, &TForm1::BtResetClick);
    connect(ui->BtReverse, &QPushButton::clicked, this, &TForm1::BtReverseClick);
    connect(ui->CheckBox1, &QCheckBox::toggled, this, &TForm1::CheckBox1Click);
    connect(ui->PageControl1, &QTabWidget::currentChanged, this, &TForm1::PageControl1Change);
    connect(ui->Button6, &QPushButton::clicked, this, &TForm1::Button6Click);
    connect(ui->Button7, &QPushButton::clicked, this, &TForm1::Button6Click);
    connect(ui->Button8, &QPushButton::clicked, this, &TForm1::Button6Click);
    connect(ui->TrackBar1, &QSlider::valueChanged, this, &TForm1::TrackBar1Change);
    connect(ui->TrackBar2, &QSlider::valueChanged, this, &TForm1::TrackBar2Change);
    connect(ui->TrackBar5, &QSlider::valueChanged, this, &TForm1::TrackBar5Change);
    connect(ui->TrackBar3, &QSlider::valueChanged, this, &TForm1::TrackBar3Change);
    connect(ui->TrackBar6, &QSlider::valueChanged, this, &TForm1::TrackBar6Change);
    connect(ui->Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(ui->Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
    connect(ui->Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(ui->TrackBar4, &QSlider::valueChanged, this, &TForm1::TrackBar4Change);
    connect(ui->Button5, &QPushButton::clicked, this, &TForm1::Button5Click);
    connect(ui->Button4, &QPushButton::clicked, this, &TForm1::Button4Click);
    connect(ui->BtBlur, &QPushButton::clicked, this, &TForm1::BtBlurClick);
    connect(ui->BtErase, &QPushButton::clicked, this, &TForm1::BtEraseClick);
    connect(ui->BtSave, &QPushButton::clicked, this, &TForm1::BtSaveClick);
}

void TForm1::FormCreate() {
    // Every piece of window state starts empty, also when a window is created a second time in
    // one process. The engine's image is process-wide and outlives the window: EngineWidth and
    // EngineHeight keep describing it.
    LoadedPixels.clear();
    MarkMap.clear();
    SelectionMap.clear();
    ImageWidth = 0;
    ImageHeight = 0;
    LastPoint = {};
    RectStart = {};
    RectEnd = {};
    ImageFileName.clear();

    ui->ImageEnView1->SetZoom(kStartZoom);
    MouseMode = 0;
    ui->ImageEnView2->resize(0, 0);
    ViewWidth = ui->ImageEnView1->width();
    ViewHeight = ui->ImageEnView1->height();
    MarksChanged = 0;
}

void TForm1::SetHint(const QString& text) {
    ui->Label5->setText(text);
}

bool TForm1::EngineHoldsImage() const {
    const size_t pixelCount = size_t(ImageWidth) * size_t(ImageHeight);
    return ImageWidth > 0 && ImageHeight > 0 && ImageWidth == EngineWidth &&
           ImageHeight == EngineHeight && LoadedPixels.size() == 3 * pixelCount &&
           MarkMap.size() == pixelCount && SelectionMap.size() == pixelCount;
}

// ---- Zoom ----------------------------------------------------------------------------------

void TForm1::TrackBar1Change(int position) {
    if (ui->ImageEnView1->width() > 0) {
        ui->ImageEnView1->SetZoom(position);
    } else if (ui->ImageEnView2->width() > 0) {
        ui->ImageEnView2->SetZoom(position);
    }
    ui->Label1->setText(ZoomCaption(position));
}

void TForm1::ImageEnView1ZoomIn(double NewZoom) {
    ui->TrackBar1->setValue(RoundHalfEven(NewZoom));
}
void TForm1::ImageEnView1ZoomOut(double NewZoom) {
    ui->TrackBar1->setValue(RoundHalfEven(NewZoom));
}
void TForm1::ImageEnView2ZoomIn(double NewZoom) {
    ui->TrackBar1->setValue(RoundHalfEven(NewZoom));
}
void TForm1::ImageEnView2ZoomOut(double NewZoom) {
    ui->TrackBar1->setValue(RoundHalfEven(NewZoom));
}

// ---- Credit label --------------------------------------------------------------------------

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->Label7) {
        switch (event->type()) {
            case QEvent::Enter:
                Label7MouseEnter();
                break;
            case QEvent::Leave:
                Label7MouseLeave();
                break;
            case QEvent::MouseButtonRelease: {
                const auto* mouse = static_cast<QMouseEvent*>(event);
                if (mouse->button() == Qt::LeftButton &&
                    ui->Label7->rect().contains(mouse->position().toPoint())) {
                    Label7Click();
                }
                return true;
            }
            case QEvent::MouseButtonPress:
                return true;
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::Label7MouseEnter() {
    QPalette palette = ui->Label7->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 128));
    ui->Label7->setPalette(palette);
    QFont font = ui->Label7->font();
    font.setUnderline(true);
    ui->Label7->setFont(font);
    if (!handCursorShown_) {
        QApplication::setOverrideCursor(Qt::PointingHandCursor);
        handCursorShown_ = true;
    }
}

void TForm1::Label7MouseLeave() {
    QPalette palette = ui->Label7->palette();
    palette.setColor(QPalette::WindowText, this->palette().color(QPalette::WindowText));
    ui->Label7->setPalette(palette);
    QFont font = ui->Label7->font();
    font.setUnderline(false);
    ui->Label7->setFont(font);
    if (handCursorShown_) {
        QApplication::restoreOverrideCursor();
        handCursorShown_ = false;
    }
}

void TForm1::Label7Click() {
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(kHomePageUrl)));
}

// ---- Opening -------------------------------------------------------------------------------

void TForm1::BtOpenClick() {
    const QString fileName = io::GetOpenImageFileName(this);
    if (fileName.isEmpty()) return;
    OpenImageFile(fileName);
}

bool TForm1::OpenImageFile(const QString& fileName) {
    QElapsedTimer timer;
    timer.start();
    SetHint(kHintPreprocessing);
    repaint();

    QElapsedTimer stepTimer;
    stepTimer.start();
    io::LoadedImage loaded = io::LoadImageFile(fileName);
    ReportTiming("reading the file", stepTimer);
    if (!loaded.result.ok || loaded.bitmap.IsEmpty()) {
        SetHint(OpenFailureText(
            fileName, loaded.result.ok ? QStringLiteral("图像没有像素。") : loaded.result.message));
        return false;
    }
    imaging::Bitmap& bitmap = loaded.bitmap;
    const int32_t width = bitmap.Width();
    const int32_t height = bitmap.Height();
    const size_t pixelCount = bitmap.PixelCount();

    // Every buffer of the new image is allocated before anything changes, so that running out
    // of memory leaves the previous image, its marks and the engine as they were.
    std::vector<uint8_t> loadedPixels;
    std::vector<uint8_t> markMap;
    std::vector<uint8_t> selectionMap;
    try {
        loadedPixels.assign(bitmap.Data(), bitmap.Data() + 3 * pixelCount);
        markMap.assign(pixelCount, 0);
        selectionMap.assign(pixelCount, 0);
    } catch (const std::bad_alloc&) {
        SetHint(OpenFailureText(fileName, QStringLiteral("内存不足。")));
        return false;
    }

    ReportTiming("reading and copying the pixels", stepTimer);

    ImageView* view = ui->ImageEnView1;
    imaging::ImageModel& model = view->Model();
    try {
        // Loading needs a mask of the new size; if memory for it runs out, the model keeps the
        // previous image and its selection.
        model.LoadIntoCurrentLayer(std::move(bitmap));
    } catch (const std::bad_alloc&) {
        SetHint(OpenFailureText(fileName, QStringLiteral("内存不足。")));
        return false;
    }
    model.Deselect();
    model.SetMaskDepthTo8Bits();
    ImageFileName = fileName;
    view->resize(ViewWidth, ViewHeight);
    ui->ImageEnView2->resize(0, 0);
    view->Fit();
    ui->TrackBar1->setValue(RoundHalfEven(view->Zoom()));
    ui->Label1->setText(ZoomCaption(ui->TrackBar1->value()));

    ImageWidth = width;
    ImageHeight = height;
    LoadedPixels = std::move(loadedPixels);
    MarkMap = std::move(markMap);
    SelectionMap = std::move(selectionMap);
    MarksChanged = 1;

    // Show the new image and the wait text while the engine works.
    view->SetViewCursor(Qt::WaitCursor);
    view->Update();
    repaint();
    ReportTiming("reading, copying and showing the image", stepTimer);
    QElapsedTimer engineTimer;
    engineTimer.start();
    // Watershed only reads its buffer, so it may read LoadedPixels itself, and the view's
    // bitmap keeps the same pixels without a copy back.
    const int32_t result = Watershed(LoadedPixels.data(), ImageWidth, ImageHeight);
    ReportTiming("Watershed", engineTimer);
    view->SetViewCursor(Qt::CrossCursor);
    if (result == 0) {
        EngineWidth = ImageWidth;
        EngineHeight = ImageHeight;
        SetHint(kHintMarking);
    } else {
        EngineWidth = 0;
        EngineHeight = 0;
        SetHint(QStringLiteral("无法预处理图像“%1”，不能计算选区。")
                    .arg(QFileInfo(fileName).fileName()));
    }
    MouseMode = 0;
    if (TimingEnabled()) {
        repaint();
        ReportTiming("open, from the chosen file to the marking hint on screen", timer);
    }
    return result == 0;
}

// ---- Marking -------------------------------------------------------------------------------

TPoint TForm1::ClientToImage(int X, int Y) const {
    const int ix = ui->ImageEnView1->XScr2Bmp(X);
    const int iy = ui->ImageEnView1->YScr2Bmp(Y);
    if (ix >= 0 && ix <= ImageWidth && iy >= 0 && iy <= ImageHeight) return {ix, iy};
    return {-1, -1};
}

void TForm1::ImageEnView1MouseDown(TMouseButton, TShiftState, int X, int Y) {
    MouseMode = 1;
    if (ClientToImage(X, Y).X != -1) LastPoint = {X, Y};
}

void TForm1::ImageEnView1MouseMove(TShiftState Shift, int X, int Y) {
    SetHint(kHintMarking);
    if (ClientToImage(LastPoint.X, LastPoint.Y).X == -1 || ClientToImage(X, Y).X == -1 ||
        (Shift & (ssLeft | ssRight)) == 0 || MouseMode == 0) {
        return;
    }
    const TPoint P1 = ClientToImage(LastPoint.X, LastPoint.Y);
    const TPoint P2 = ClientToImage(X, Y);
    const bool left = (Shift & ssLeft) != 0;
    const bool right = (Shift & ssRight) != 0;
    if (ui->RadioSegment->isChecked()) {
        if (left && !right) Line(P1, P2, kForegroundMark);
        if (right && !left) Line(P1, P2, kBackgroundMark);
        LastPoint = {X, Y};
        MouseMode = 1;
    }
    if (ui->RadioRect->isChecked() && left != right) {
        RectStart = P1;
        RectEnd = P2;
        ui->ImageEnView1->SetRubberBand(QPoint(RectStart.X, RectStart.Y),
                                        QPoint(RectEnd.X, RectEnd.Y));
        MouseMode = left ? 2 : 3;
    }
}

void TForm1::Line(TPoint P1, TPoint P2, uint8_t mark) {
    // The brush is about three screen pixels wide at any zoom; a brush wider than the image
    // covers it whole, so its half-width needs no more than the image's larger side.
    const double halfWidth = std::nearbyint(100.0 / ui->ImageEnView1->Zoom());
    const int h = int(std::clamp(halfWidth, 0.0, double(std::max(ImageWidth, ImageHeight))));

    const int64_t dx = int64_t(P1.X) - P2.X;
    const int64_t dy = int64_t(P1.Y) - P2.Y;
    const int64_t n = int64_t(std::nearbyint(std::sqrt(double(dx * dx + dy * dy))));
    if (n <= 0) return;

    imaging::Bitmap& bitmap = ui->ImageEnView1->Model().CurrentBitmap();
    const bool paintBitmap = bitmap.Width() == ImageWidth && bitmap.Height() == ImageHeight;
    const uint8_t* colour = mark == kForegroundMark ? kForegroundBgr : kBackgroundBgr;
    QRect touched;
    for (int64_t i = 0; i <= n; ++i) {
        const long double sx = (static_cast<long double>(P2.X - P1.X) / n) * i + P1.X;
        const long double sy = (static_cast<long double>(P2.Y - P1.Y) / n) * i + P1.Y;
        const int x = int(std::nearbyint(sx));
        const int y = int(std::nearbyint(sy));
        const int left = std::max(x - h, 0);
        const int right = std::min(x + h, ImageWidth - 1);
        const int top = std::max(y - h, 0);
        const int bottom = std::min(y + h, ImageHeight - 1);
        if (left > right || top > bottom) continue;
        for (int r = top; r <= bottom; ++r) {
            std::memset(MarkMap.data() + size_t(r) * size_t(ImageWidth) + size_t(left), mark,
                        size_t(right - left + 1));
            if (!paintBitmap) continue;
            uint8_t* row = bitmap.Row(r);
            for (int c = left; c <= right; ++c)
                std::memcpy(row + 3 * size_t(c), colour, 3);
        }
        MarksChanged = 1;
        touched |= QRect(QPoint(left, top), QPoint(right, bottom));
    }
    if (!touched.isEmpty()) ui->ImageEnView1->UpdateArea(touched);
}

void TForm1::setFlagRect(TPoint A, TPoint B, uint8_t mark) {
    if (A.Y >= B.Y) std::swap(A, B);
    const int left = std::max(std::min(A.X, B.X), 0);
    const int right = std::min(std::max(A.X, B.X), ImageWidth - 1);
    const int top = std::max(A.Y, 0);
    const int bottom = std::min(B.Y, ImageHeight - 1);
    if (left > right || top > bottom) return;
    for (int y = top; y <= bottom; ++y) {
        std::memset(MarkMap.data() + size_t(y) * size_t(ImageWidth) + size_t(left), mark,
                    size_t(right - left + 1));
    }
    MarksChanged = 1;
}

// ---- The selection -------------------------------------------------------------------------

void TForm1::ImageEnView1MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    MouseUp(ui->ImageEnView1, Button, Shift, X, Y);
}

void TForm1::FormMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    MouseUp(this, Button, Shift, X, Y);
}

void TForm1::ImageEnView1KeyUp(int Key, TShiftState Shift) {
    if (Key == Qt::Key_Control) MouseUp(ui->ImageEnView1, mbLeft, Shift, 0, 0);
}

void TForm1::mousePressEvent(QMouseEvent* event) {
    // Presses that children pass on (labels, pages, frames) do not start a release here.
    pressStartedOnForm_ = childAt(event->position().toPoint()) == nullptr;
    QWidget::mousePressEvent(event);
}

void TForm1::mouseReleaseEvent(QMouseEvent* event) {
    if (pressStartedOnForm_) {
        pressStartedOnForm_ = false;
        FormMouseUp(MouseButtonOf(event->button()),
                    ShiftStateOf(event->buttons(), event->modifiers()),
                    event->position().toPoint().x(), event->position().toPoint().y());
    }
    QWidget::mouseReleaseEvent(event);
}

void TForm1::MouseUp(QObject*, TMouseButton, TShiftState Shift, int, int) {
    if (MouseMode == 0) return;
    QElapsedTimer timer;
    timer.start();
    SetHint(kHintComputing);
    repaint();

    if (MouseMode == 2 || MouseMode == 3) {
        setFlagRect(RectStart, RectEnd, uint8_t(MouseMode - 1));
        MouseMode = 0;
        RectStart.X = -1;
        RectEnd.X = -1;
        RectEnd.Y = RectStart.Y;
        ui->ImageEnView1->ClearRubberBand();
    }
    if (MarksChanged == 0) return;
    if (!EngineHoldsImage()) {
        // Without an image the engine accepted, its buffers would not match: compute nothing.
        if (ImageWidth > 0) SetHint(QStringLiteral("图像未经预处理，无法计算选区。"));
        return;
    }

    // The engine draws the outlines into a fresh copy of the loaded pixels, which the view then
    // shows. The view's bitmap itself serves as that copy when it has the image's size.
    ImageView* view = ui->ImageEnView1;
    imaging::ImageModel& model = view->Model();
    imaging::Bitmap& bitmap = model.CurrentBitmap();
    const bool bitmapIsImage = bitmap.Width() == ImageWidth && bitmap.Height() == ImageHeight;
    std::vector<uint8_t> separateCopy;
    uint8_t* pixels = bitmap.Data();
    if (!bitmapIsImage) {
        try {
            separateCopy.resize(LoadedPixels.size());
        } catch (const std::bad_alloc&) {
            SetHint(QStringLiteral("内存不足，无法计算选区。"));
            return;
        }
        pixels = separateCopy.data();
    }
    std::copy(LoadedPixels.begin(), LoadedPixels.end(), pixels);
    std::fill(SelectionMap.begin(), SelectionMap.end(), uint8_t(0));

    view->SetViewCursor(Qt::WaitCursor);
    ui->Label5->repaint();
    QElapsedTimer engineTimer;
    engineTimer.start();
    if ((Shift & ssCtrl) == 0) {
        Lazy(MarkMap.data(), pixels, SelectionMap.data());
        MarksChanged = 0;
        ReportTiming("Lazy", engineTimer);
    } else {
        ShowLines(MarkMap.data(), pixels);
        ReportTiming("ShowLines", engineTimer);
    }
    view->SetViewCursor(Qt::CrossCursor);

    QElapsedTimer showTimer;
    showTimer.start();
    imaging::SelectionMask& mask = model.Mask();
    if (mask.Width() == ImageWidth && mask.Height() == ImageHeight) {
        // Each mask value is set as one pixel at a time would set it: 1 gives 255, 0 gives 0,
        // and the bounding box only grows.
        const imaging::BoundingBox before = mask.Box();
        uint8_t* values = mask.MutableData();
        const size_t pixelCount = SelectionMap.size();
        for (size_t i = 0; i < pixelCount; ++i) {
            const uint8_t selected = SelectionMap[i];
            if (selected == 1) {
                values[i] = 255;
            } else if (selected == 0) {
                values[i] = 0;
            }
        }
        mask.RecomputeBoundingBox();
        if (!before.IsEmpty()) {
            for (const auto& [x, y] : {std::pair{before.x1, before.y1}, {before.x2, before.y2}}) {
                const uint8_t value = mask.At(x, y);
                mask.SetPixel(x, y, 255);
                mask.SetPixel(x, y, value);
            }
        }
    }
    ReportTiming("pixels and mask into the view", showTimer);
    model.AdoptMask();
    view->Update();
    ReportTiming("pixels and mask into the view, display rebuilt", showTimer);
    SetHint(kHintDone);
    if (TimingEnabled()) {
        repaint();
        ReportTiming("release, to the selection on screen", timer);
    }
}

void TForm1::ResetWithSelect() {
    ImageView* view = ui->ImageEnView1;
    imaging::ImageModel& model = view->Model();
    view->resize(ViewWidth, ViewHeight);
    ui->ImageEnView2->resize(0, 0);
    model.ShowSelection(false);
    RestoreLoadedPixels();
    model.SetSelectedAlpha(255);
    model.InvertSelection();
    model.SetSelectedAlpha(255);
    model.InvertSelection();
    model.ShowSelection(ui->CheckBox1->isChecked());
    view->Update();
}

void TForm1::BtResetClick() {
    ImageView* view = ui->ImageEnView1;
    imaging::ImageModel& model = view->Model();
    std::fill(MarkMap.begin(), MarkMap.end(), uint8_t(0));
    MarksChanged = 0;
    RestoreLoadedPixels();
    model.SetSelectedAlpha(255);
    model.InvertSelection();
    model.SetSelectedAlpha(255);
    model.Deselect();
    view->Update();
}

void TForm1::BtReverseClick() {
    ImageView* view = ui->ImageEnView1;
    view->Model().InvertSelection();
    view->Update();
}

void TForm1::CheckBox1Click() {
    const bool shown = ui->CheckBox1->isChecked();
    ui->ImageEnView1->ShowSelection(shown);
    ui->ImageEnView2->ShowSelection(shown);
}

void TForm1::PageControl1Change(int) {
    ResetWithSelect();
}

void TForm1::Button6Click() {
    ResetWithSelect();
}

// ---- Effect page labels --------------------------------------------------------------------

void TForm1::TrackBar2Change(int position) {
    ui->Label3->setText(QStringLiteral("透明度：%1").arg(position));
}

void TForm1::TrackBar5Change(int position) {
    ui->Label4->setText(QStringLiteral("羽化：%1").arg(position));
}

void TForm1::TrackBar3Change(int position) {
    ui->Label8->setText(QStringLiteral("强度:%1").arg(position));
}

void TForm1::TrackBar6Change(int position) {
    ui->Label6->setText(QStringLiteral("羽化：%1").arg(position));
}

// ---- Background effects of the main view ---------------------------------------------------
// Each effect starts again from the opened image and works on the inverted selection between a
// push and a pop, so the selection afterwards is the one before.

void TForm1::RestoreLoadedPixels() {
    imaging::Bitmap& bitmap = ui->ImageEnView1->Model().CurrentBitmap();
    // std::copy, not memcpy: before any image both buffers are empty and their pointers null.
    if (bitmap.Width() == ImageWidth && bitmap.Height() == ImageHeight &&
        LoadedPixels.size() == 3 * bitmap.PixelCount()) {
        std::copy(LoadedPixels.begin(), LoadedPixels.end(), bitmap.Data());
    }
}

QColor TForm1::FillColour() const {
    return ui->Panel2->palette().color(QPalette::Window);
}

void TForm1::SetFillColour(const QColor& colour) {
    QPalette palette = ui->Panel2->palette();
    palette.setColor(QPalette::Window, colour);
    ui->Panel2->setPalette(palette);
}

void TForm1::Button2Click() {
    QColorDialog dialog(FillColour(), this);
    dialog.setObjectName(QStringLiteral("ColorDialog1"));
    if (dialog.exec() == QDialog::Accepted) SetFillColour(dialog.selectedColor());
}

void TForm1::RunBackgroundEffect(EffectFrame frame,
                                 const std::function<void(imaging::ImageModel&)>& effect) {
    ImageView* view = ui->ImageEnView1;
    imaging::ImageModel& model = view->Model();
    const WorkingHint hint(ui->Label5);
    RunWithinMemory(model, ui->Label5, [&] {
        std::optional<BusyCursor> busy;
        if (frame.busyBeforeRestore) busy.emplace();
        RestoreLoadedPixels();
        if (!busy) busy.emplace();
        model.ShowSelection(false);
        effect(model);
        model.ShowSelection(frame.alwaysShowOutline || ui->CheckBox1->isChecked());
        view->Update();
    });
}

void TForm1::Button3Click() {
    RunBackgroundEffect({}, [&](imaging::ImageModel& model) {
        imaging::FillBackground(model, uint8_t(ui->TrackBar2->value()),
                                double(ui->TrackBar5->value()), RgbOf(FillColour()));
    });
}

void TForm1::BtBlurClick() {
    RunBackgroundEffect({.busyBeforeRestore = true}, [&](imaging::ImageModel& model) {
        imaging::BlurBackground(model, double(ui->TrackBar3->value()));
    });
}

void TForm1::BtEraseClick() {
    RunBackgroundEffect({.alwaysShowOutline = true}, [&](imaging::ImageModel& model) {
        imaging::RemoveBackground(model, double(ui->TrackBar6->value()));
    });
}

// ---- Replace background --------------------------------------------------------------------

void TForm1::Button1Click() {
    // The object layer goes before the dialog, also when the user cancels it.
    ui->ImageEnView2->Model().RemoveAllLayersButFirst();
    ui->ImageEnView2->Update();
    const QString fileName = io::GetOpenImageFileName(this);
    if (fileName.isEmpty()) return;
    LoadBackgroundFile(fileName);
}

bool TForm1::LoadBackgroundFile(const QString& fileName) {
    if (fileName.isEmpty() || ImageFileName.isEmpty()) return false;
    imaging::ImageModel& model = ui->ImageEnView2->Model();
    const size_t pixelCount = size_t(ImageWidth) * size_t(ImageHeight);
    if (ImageWidth <= 0 || ImageHeight <= 0 || SelectionMap.size() != pixelCount ||
        LoadedPixels.size() != 3 * pixelCount) {
        return false;
    }

    const WorkingHint wait(ui->Label5);
    const BusyCursor busy;
    bool built = false;
    RunWithinMemory(model, ui->Label5, [&] { built = BuildComposite(fileName); });
    return built;
}

bool TForm1::BuildComposite(const QString& fileName) {
    ImageView* second = ui->ImageEnView2;
    imaging::ImageModel& model = second->Model();
    const size_t pixelCount = size_t(ImageWidth) * size_t(ImageHeight);
    // Both pictures are read before anything changes, so that a background that cannot be
    // read leaves the second view as it was.
    io::LoadedImage background = io::LoadImageFile(fileName);
    if (!background.result.ok || background.bitmap.IsEmpty()) {
        const QString message =
            background.result.ok ? QStringLiteral("图像没有像素。") : background.result.message;
        const QString prefix = QStringLiteral("无法打开图像：");
        ui->Label5->setText(
            QStringLiteral("无法加载背景“%1”：%2")
                .arg(QFileInfo(fileName).fileName(),
                     message.startsWith(prefix) ? message.mid(prefix.size()) : message));
        return false;
    }
    // The object is the opened image read again from its file, without the marks drawn on the
    // main view. When the file is gone or now holds another picture size, the pixels kept from
    // opening are the same image.
    io::LoadedImage object = io::LoadImageFile(ImageFileName);
    imaging::Bitmap objectBitmap;
    if (object.result.ok && object.bitmap.Width() == ImageWidth &&
        object.bitmap.Height() == ImageHeight) {
        objectBitmap = std::move(object.bitmap);
    } else {
        objectBitmap = imaging::Bitmap(ImageWidth, ImageHeight);
        std::copy(LoadedPixels.begin(), LoadedPixels.end(), objectBitmap.Data());
    }

    model.RemoveAllLayersButFirst();
    model.SetMaskDepthTo8Bits();
    second->resize(ViewWidth, ViewHeight);
    ui->ImageEnView1->resize(0, 0);
    model.LoadIntoCurrentLayer(std::move(background.bitmap));
    model.AddLayer();
    model.LoadIntoCurrentLayer(std::move(objectBitmap));

    // The mask has the image's size now; SelectionMap 1 gives 255, 0 gives 0.
    imaging::SelectionMask& mask = model.Mask();
    uint8_t* values = mask.MutableData();
    for (size_t i = 0; i < pixelCount; ++i) {
        if (SelectionMap[i] == 1) {
            values[i] = 255;
        } else if (SelectionMap[i] == 0) {
            values[i] = 0;
        }
    }
    mask.RecomputeBoundingBox();
    model.AdoptMask();
    model.PushSelection();
    model.CropCurrentLayerToSelection();
    model.PopSelectionAfterCrop();
    second->Fit();
    model.SetAspectLock(true);
    model.SetLayerInteractionFlags(imaging::kMoveLayers | imaging::kResizeLayers);
    second->Update();
    return true;
}

void TForm1::TrackBar4Change(int position) {
    ui->Label9->setText(QStringLiteral("透明度：%1").arg(position));
    ImageView* second = ui->ImageEnView2;
    imaging::ImageModel& model = second->Model();
    model.MakeLayerCurrent(1);
    model.SetSelectedAlpha(uint8_t(position));
    second->Update();
}

void TForm1::Button5Click() {
    ImageView* second = ui->ImageEnView2;
    imaging::ImageModel& model = second->Model();
    if (model.LayerCount() != 2) return;
    model.Deselect();
    RunWithinMemory(model, ui->Label5, [&] { model.MergeFirstTwoLayers(); });
    model.MakeLayerCurrent(0);
    second->Update();
}

void TForm1::Button4Click() {
    ui->ImageEnView1->resize(ViewWidth, ViewHeight);
    ui->ImageEnView2->resize(0, 0);
}

// ---- Saving --------------------------------------------------------------------------------

void TForm1::BtSaveClick() {
    const QString fileName = io::GetSaveImageFileName(this, &mainViewOutputSettings_);
    if (fileName.isEmpty()) return;
    SaveToFile(fileName);
}

bool TForm1::SaveToFile(const QString& fileName) {
    if (fileName.isEmpty()) return false;
    // Writing a large photo takes a moment; the outcome replaces this text.
    SetHint(kHintWorking);
    ui->Label5->repaint();
    const imaging::Bitmap* picture = nullptr;
    // Each view writes with its own options.
    io::OutputSettings settings;
    if (ui->ImageEnView1->width() != 0) {
        picture = &ui->ImageEnView1->Model().CurrentBitmap();
        settings = mainViewOutputSettings_;
    } else if (ui->ImageEnView2->width() != 0) {
        ImageView* second = ui->ImageEnView2;
        imaging::ImageModel& model = second->Model();
        if (model.LayerCount() == 2) {
            // The second view stays merged, as after "合并", with its selection kept.
            if (!RunWithinMemory(model, ui->Label5, [&] { model.MergeFirstTwoLayers(); }))
                return false;
            second->Update();
        }
        picture = &model.CurrentBitmap();
    }
    if (picture == nullptr) return false;

    const io::FileResult result = io::SaveImageFile(fileName, *picture, settings);
    if (!result.ok) {
        SetHint(result.message);
        return false;
    }
    SetHint(QStringLiteral("已保存到 %1").arg(QDir::toNativeSeparators(fileName)));
    return true;
}
