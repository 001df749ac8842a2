#include "ImageView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <limits>

#include "imaging/fit_zoom.h"
#include "picture_cache.h"

namespace {

constexpr int kAntsPeriod = 8;          // pixels of one black and one white stripe
constexpr int kAntsIntervalMs = 150;    // marching speed of the selection outline
constexpr int kWheelNotch = 120;        // angle delta of one wheel notch
constexpr double kRubberBandWidth = 5;  // picture pixels
constexpr int kGripSize = 7;            // client pixels, the side of a layer's resize grip

// A picture coordinate as int, rounded down, kept far inside the int range so that callers can
// compare it without overflow however extreme the zoom.
int FloorToInt(double value) {
    constexpr double limit = 1e9;
    if (std::isnan(value)) return std::numeric_limits<int>::min() / 2;
    return int(std::floor(std::clamp(value, -limit, limit)));
}

// Diagonal black and white stripes; a pen with this brush draws marching ants.
QBrush AntsBrush(int phase) {
    QImage stripes(kAntsPeriod, kAntsPeriod, QImage::Format_RGB32);
    for (int y = 0; y < kAntsPeriod; ++y) {
        for (int x = 0; x < kAntsPeriod; ++x) {
            const bool black = (x + y + phase) % kAntsPeriod < kAntsPeriod / 2;
            stripes.setPixel(x, y, black ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        }
    }
    return QBrush(stripes);
}

}  // namespace

ImageView::ImageView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setMouseTracking(true);
    viewport()->setCursor(Qt::CrossCursor);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    antsTimer_.setInterval(kAntsIntervalMs);
    connect(&antsTimer_, &QTimer::timeout, this, &ImageView::AdvanceMarchingAnts);
}

ImageView::~ImageView() = default;

// ---- Display -------------------------------------------------------------------------------

void ImageView::Update() {
    layerImages_.clear();
    if (model_.LayerCount() > 1) {
        for (const imaging::Layer& layer : model_.Layers()) {
            layerImages_.push_back(view::LayerImage(layer));
        }
    }
    pictureRect_ = view::PictureRect(model_);
    // Composing into the existing picture saves allocating (and faulting in) a new one.
    view::RecomposeArea(picture_, model_, pictureRect_);
    if (model_.HasSelection()) {
        outline_ = view::TraceSelectionOutline(model_.Mask());
    } else {
        outline_.clear();
    }
    UpdateScrollBars();
    if (OutlineVisible()) {
        antsTimer_.start();
    } else {
        antsTimer_.stop();
    }
    viewport()->update();
}

void ImageView::UpdateArea(const QRect& area) {
    if (model_.LayerCount() > 1) {
        Update();
        return;
    }
    pictureRect_ = view::PictureRect(model_);
    const QSize before = picture_.size();
    view::RecomposeArea(picture_, model_, area);
    if (picture_.size() != before) {
        UpdateScrollBars();
        viewport()->update();
        return;
    }
    viewport()->update(ClientRectOf(QRectF(area), 2));
}

void ImageView::ShowSelection(bool shown) {
    model_.ShowSelection(shown);
    if (OutlineVisible()) {
        antsTimer_.start();
    } else {
        antsTimer_.stop();
    }
    viewport()->update();
}

void ImageView::SetRubberBand(QPoint corner1, QPoint corner2) {
    const int margin = int(std::ceil(kRubberBandWidth * Scale())) + 2;
    if (rubberBand_) viewport()->update(ClientRectOf(QRectF(*rubberBand_), margin));
    if (corner1 == corner2) {
        rubberBand_.reset();
        return;
    }
    const QPoint topLeft(std::min(corner1.x(), corner2.x()), std::min(corner1.y(), corner2.y()));
    const QPoint bottomRight(std::max(corner1.x(), corner2.x()),
                             std::max(corner1.y(), corner2.y()));
    rubberBand_ = QRect(topLeft, bottomRight);
    viewport()->update(ClientRectOf(QRectF(*rubberBand_), margin));
}

void ImageView::ClearRubberBand() {
    SetRubberBand(QPoint(), QPoint());
}

void ImageView::SetViewCursor(Qt::CursorShape shape) {
    viewport()->setCursor(shape);
}

Qt::CursorShape ImageView::ViewCursor() const {
    return viewport()->cursor().shape();
}

bool ImageView::OutlineVisible() const {
    return model_.SelectionShown() && model_.HasSelection() && !outline_.empty();
}

void ImageView::AdvanceMarchingAnts() {
    antsPhase_ = (antsPhase_ + 1) % kAntsPeriod;
    viewport()->update();
}

// ---- Zoom and coordinates ------------------------------------------------------------------

QPointF ImageView::Origin() const {
    const double scale = Scale();
    const QSize viewSize = viewport()->size();
    const double zoomedWidth = picture_.width() * scale;
    const double zoomedHeight = picture_.height() * scale;
    const double x = zoomedWidth < viewSize.width()
                         ? std::floor((viewSize.width() - zoomedWidth) / 2)
                         : -double(horizontalScrollBar()->value());
    const double y = zoomedHeight < viewSize.height()
                         ? std::floor((viewSize.height() - zoomedHeight) / 2)
                         : -double(verticalScrollBar()->value());
    return {x, y};
}

int ImageView::XScr2Bmp(int x) const {
    return FloorToInt((x - Origin().x()) / Scale());
}

int ImageView::YScr2Bmp(int y) const {
    return FloorToInt((y - Origin().y()) / Scale());
}

QPointF ImageView::BmpToScr(QPointF point) const {
    return Origin() + point * Scale();
}

void ImageView::UpdateScrollBars() {
    const double scale = Scale();
    const QSize viewSize = viewport()->size();
    const int zoomedWidth = int(std::min(std::ceil(picture_.width() * scale), 1e9));
    const int zoomedHeight = int(std::min(std::ceil(picture_.height() * scale), 1e9));
    horizontalScrollBar()->setRange(0, std::max(0, zoomedWidth - viewSize.width()));
    horizontalScrollBar()->setPageStep(viewSize.width());
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setRange(0, std::max(0, zoomedHeight - viewSize.height()));
    verticalScrollBar()->setPageStep(viewSize.height());
    verticalScrollBar()->setSingleStep(20);
}

void ImageView::ZoomAround(double percent, QPointF anchor, QPointF client) {
    if (!model_.SetZoom(percent)) return;
    UpdateScrollBars();
    const double scale = Scale();
    horizontalScrollBar()->setValue(FloorToInt(anchor.x() * scale - client.x() + 0.5));
    verticalScrollBar()->setValue(FloorToInt(anchor.y() * scale - client.y() + 0.5));
    viewport()->update();
}

void ImageView::SetZoom(double percent) {
    const QPointF centre(viewport()->width() / 2.0, viewport()->height() / 2.0);
    ZoomAround(percent, (centre - Origin()) / Scale(), centre);
}

void ImageView::Fit() {
    const imaging::Layer& ground = model_.LayerAt(0);
    const bool shown = !ground.bitmap.IsEmpty();
    SetZoom(imaging::FitZoom(shown ? ground.displayWidth : 0, shown ? ground.displayHeight : 0,
                             width(), height()));
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
}

QRect ImageView::ClientRectOf(const QRectF& area, int margin) const {
    const QPointF topLeft = BmpToScr(area.topLeft());
    const QPointF bottomRight = BmpToScr(area.topLeft() + QPointF(area.width(), area.height()));
    const QRectF client(topLeft, bottomRight);
    const QRect limit = viewport()->rect().adjusted(-margin, -margin, margin, margin);
    if (!client.intersects(QRectF(limit))) return {};
    return client.intersected(QRectF(limit))
        .toAlignedRect()
        .adjusted(-margin, -margin, margin, margin);
}

// ---- Painting ------------------------------------------------------------------------------

void ImageView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect exposed = event->rect();
    const imaging::Rgb ground = model_.Background();
    painter.fillRect(exposed, QColor(ground.red, ground.green, ground.blue));
    const double scale = Scale();
    if (!picture_.isNull() && scale > 0) {
        const QPointF origin = Origin();
        // The picture pixels under the exposed rectangle, whole pixels only.
        const QRectF wanted((exposed.left() - origin.x()) / scale,
                            (exposed.top() - origin.y()) / scale, (exposed.width() + 1) / scale,
                            (exposed.height() + 1) / scale);
        const QRectF visible = wanted.intersected(QRectF(picture_.rect()));
        if (!visible.isEmpty()) {
            const QRect source(
                QPoint(FloorToInt(visible.left()), FloorToInt(visible.top())),
                QPoint(int(std::ceil(visible.right())) - 1, int(std::ceil(visible.bottom())) - 1));
            const QRect clipped = source.intersected(picture_.rect());
            const QRectF target(origin + QPointF(clipped.topLeft()) * scale,
                                QSizeF(clipped.size()) * scale);
            painter.setClipRect(exposed);
            painter.setRenderHint(QPainter::SmoothPixmapTransform, scale < 1.0);
            painter.drawImage(target, picture_, QRectF(clipped));
        }
    }
    if (OutlineVisible()) PaintOutline(painter, exposed);
    if (rubberBand_) PaintRubberBand(painter);
    if (LayersInteractive()) PaintLayerFrame(painter);
}

void ImageView::PaintOutline(QPainter& painter, const QRect& clip) const {
    const imaging::Layer& layer = model_.CurrentLayer();
    if (layer.bitmap.IsEmpty()) return;
    const double scale = Scale();
    const QPointF origin = Origin();
    const double scaleX = scale * layer.displayWidth / layer.bitmap.Width();
    const double scaleY = scale * layer.displayHeight / layer.bitmap.Height();
    const double left = origin.x() + (layer.x - pictureRect_.left()) * scale;
    const double top = origin.y() + (layer.y - pictureRect_.top()) * scale;
    const QRect bounds = clip.adjusted(-1, -1, 1, 1);

    QVector<QLine> lines;
    for (const view::OutlineSegment& segment : outline_) {
        const int x1 = FloorToInt(left + segment.x1 * scaleX);
        const int y1 = FloorToInt(top + segment.y1 * scaleY);
        const int x2 = FloorToInt(left + segment.x2 * scaleX);
        const int y2 = FloorToInt(top + segment.y2 * scaleY);
        if (std::max(x1, x2) < bounds.left() || std::min(x1, x2) > bounds.right() ||
            std::max(y1, y2) < bounds.top() || std::min(y1, y2) > bounds.bottom()) {
            continue;
        }
        lines.append(QLine(x1, y1, x2, y2));
    }
    if (lines.isEmpty()) return;
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setPen(QPen(AntsBrush(antsPhase_), 1));
    painter.drawLines(lines);
}

void ImageView::PaintRubberBand(QPainter& painter) const {
    const double scale = Scale();
    const QRectF area(QPointF(rubberBand_->topLeft()),
                      QPointF(rubberBand_->bottomRight()) + QPointF(1, 1));
    const QRectF client(BmpToScr(area.topLeft()), BmpToScr(area.bottomRight()));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setCompositionMode(QPainter::RasterOp_NotDestination);
    QPen pen(Qt::black, std::max(1.0, kRubberBandWidth * scale));
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(client);
    painter.restore();
}

// ---- Events --------------------------------------------------------------------------------

void ImageView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void ImageView::scrollContentsBy(int, int) {
    viewport()->update();
}

void ImageView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) StartLayerDrag(event->position().toPoint());
    emit mouseDown(event->button(), event->buttons(), event->modifiers(),
                   event->position().toPoint());
    event->accept();
}

// A double click is a second press.
void ImageView::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
}

void ImageView::mouseMoveEvent(QMouseEvent* event) {
    if (layerDrag_ && (event->buttons() & Qt::LeftButton)) {
        ContinueLayerDrag(event->position().toPoint());
    }
    emit mouseMove(event->buttons(), event->modifiers(), event->position().toPoint());
    event->accept();
}

void ImageView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) layerDrag_.reset();
    emit mouseUp(event->button(), event->buttons(), event->modifiers(),
                 event->position().toPoint());
    event->accept();
}

void ImageView::keyReleaseEvent(QKeyEvent* event) {
    if (!event->isAutoRepeat()) emit keyUp(event->key(), event->modifiers());
    QAbstractScrollArea::keyReleaseEvent(event);
}

void ImageView::wheelEvent(QWheelEvent* event) {
    const QPointF client = event->position();
    const double scale = Scale();
    const QPointF anchor = (client - Origin()) / scale;
    wheelRemainder_ += event->angleDelta().y();
    while (std::abs(wheelRemainder_) >= kWheelNotch) {
        const bool in = wheelRemainder_ > 0;
        wheelRemainder_ += in ? -kWheelNotch : kWheelNotch;
        const double newZoom = in ? ZoomedIn(Zoom()) : ZoomedOut(Zoom());
        if (in) {
            emit zoomIn(newZoom);
        } else {
            emit zoomOut(newZoom);
        }
        ZoomAround(newZoom, anchor, client);
    }
    event->accept();
}

// ---- Moving and resizing layers ------------------------------------------------------------

bool ImageView::LayersInteractive() const {
    return model_.LayerCount() > 1 &&
           model_.LayerInteractionFlags() != imaging::kNoLayerInteraction;
}

std::vector<std::pair<imaging::Grip, QRect>> ImageView::LayerGrips() const {
    if (!LayersInteractive() || !(model_.LayerInteractionFlags() & imaging::kResizeLayers))
        return {};
    const imaging::Layer& layer = model_.CurrentLayer();
    const QPointF topLeft = BmpToScr(QPointF(layer.x, layer.y));
    const QPointF bottomRight =
        BmpToScr(QPointF(layer.x + layer.displayWidth, layer.y + layer.displayHeight));
    const double left = topLeft.x();
    const double right = bottomRight.x();
    const double top = topLeft.y();
    const double bottom = bottomRight.y();
    const double middleX = (left + right) / 2;
    const double middleY = (top + bottom) / 2;
    const auto grip = [](double x, double y) {
        return QRect(FloorToInt(x) - kGripSize / 2, FloorToInt(y) - kGripSize / 2, kGripSize,
                     kGripSize);
    };
    using imaging::Grip;
    return {{Grip::TopLeft, grip(left, top)},         {Grip::Top, grip(middleX, top)},
            {Grip::TopRight, grip(right, top)},       {Grip::Right, grip(right, middleY)},
            {Grip::BottomRight, grip(right, bottom)}, {Grip::Bottom, grip(middleX, bottom)},
            {Grip::BottomLeft, grip(left, bottom)},   {Grip::Left, grip(left, middleY)}};
}

bool ImageView::StartLayerDrag(QPoint client) {
    if (!LayersInteractive()) return false;
    const imaging::Layer& layer = model_.CurrentLayer();
    LayerDrag drag;
    drag.start = {layer.x, layer.y, layer.displayWidth, layer.displayHeight};
    drag.pressedAt = client;
    for (const auto& [grip, area] : LayerGrips()) {
        if (area.contains(client)) {
            drag.resize = true;
            drag.grip = grip;
            layerDrag_ = drag;
            return true;
        }
    }
    const QRect frame(layer.x, layer.y, layer.displayWidth, layer.displayHeight);
    if ((model_.LayerInteractionFlags() & imaging::kMoveLayers) &&
        frame.contains(XScr2Bmp(client.x()), YScr2Bmp(client.y()))) {
        layerDrag_ = drag;
        return true;
    }
    return false;
}

void ImageView::ContinueLayerDrag(QPoint client) {
    const double scale = Scale();
    const int dx = FloorToInt((client.x() - layerDrag_->pressedAt.x()) / scale + 0.5);
    const int dy = FloorToInt((client.y() - layerDrag_->pressedAt.y()) / scale + 0.5);
    imaging::Layer& layer = model_.CurrentLayer();
    imaging::LayerFrame frame = layerDrag_->start;
    if (layerDrag_->resize) {
        frame = imaging::ResizeLayerFrame(frame, layerDrag_->grip, dx, dy, model_.AspectLocked(),
                                          layer.bitmap.Width(), layer.bitmap.Height());
    } else {
        frame.x += dx;
        frame.y += dy;
    }
    if (frame == imaging::LayerFrame{layer.x, layer.y, layer.displayWidth, layer.displayHeight}) {
        return;
    }
    layer.x = frame.x;
    layer.y = frame.y;
    layer.displayWidth = frame.width;
    layer.displayHeight = frame.height;
    RecomposeLayers();
}

void ImageView::RecomposeLayers() {
    pictureRect_ = view::PictureRect(model_);
    picture_ = QImage();
    picture_ = view::ComposePicture(model_, &layerImages_);
    UpdateScrollBars();
    viewport()->update();
}

void ImageView::PaintLayerFrame(QPainter& painter) const {
    const imaging::Layer& layer = model_.CurrentLayer();
    const QRectF frame(
        BmpToScr(QPointF(layer.x, layer.y)),
        BmpToScr(QPointF(layer.x + layer.displayWidth, layer.y + layer.displayHeight)));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(AntsBrush(0), 1));
    painter.drawRect(frame.adjusted(0, 0, -1, -1));
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    for (const auto& [grip, area] : LayerGrips())
        painter.drawRect(area.adjusted(0, 0, -1, -1));
    painter.restore();
}
