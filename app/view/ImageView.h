// ImageView: the image view widget. It shows an imaging::ImageModel (the layers composed over the
// background colour, the selection outline, a rubber band) at the model's zoom with scroll bars,
// and forwards the mouse, the keys and the wheel; every rule about the image lives in the model
// and in the window that drives it.
#ifndef QUILLANE_VIEW_IMAGEVIEW_H
#define QUILLANE_VIEW_IMAGEVIEW_H

#include <QAbstractScrollArea>
#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QTimer>
#include <optional>
#include <utility>
#include <vector>

#include "imaging/image_model.h"
#include "imaging/layer_resize.h"
#include "selection_outline.h"

class ImageView : public QAbstractScrollArea {
    Q_OBJECT

  public:
    explicit ImageView(QWidget* parent = nullptr);
    ~ImageView() override;

    imaging::ImageModel& Model() { return model_; }
    const imaging::ImageModel& Model() const { return model_; }

    // ---- Display ---------------------------------------------------------------------------

    // Rebuilds the whole display from the model (pixels, alpha, layers, mask, whether the
    // selection is shown) and repaints.
    void Update();
    // Only the pixels of `area` (picture coordinates) changed: recomposes and repaints that part.
    void UpdateArea(const QRect& area);
    // Shows or hides the selection outline (the model's flag) and repaints; the mask is unchanged.
    void ShowSelection(bool shown);
    // The rubber band: the outline of the rectangle spanning the pixels `corner1` to `corner2`
    // (picture coordinates, both included), 5 picture pixels wide, drawn inverted over the
    // picture; never part of the model's pixels. Equal corners show nothing.
    void SetRubberBand(QPoint corner1, QPoint corner2);
    void ClearRubberBand();
    std::optional<QRect> RubberBand() const { return rubberBand_; }
    // The cursor shown over the picture; takes effect at once.
    void SetViewCursor(Qt::CursorShape shape);
    Qt::CursorShape ViewCursor() const;
    // The selection outline as last traced, in the current layer's pixel coordinates.
    const std::vector<view::OutlineSegment>& SelectionOutline() const { return outline_; }
    // The composed picture as painted (for tests and screenshots).
    const QImage& Picture() const { return picture_; }

    // ---- Zoom and coordinates --------------------------------------------------------------

    double Zoom() const { return model_.Zoom(); }
    // Sets the model's zoom (a value not above 0, or equal to the zoom, does nothing), keeps the
    // picture point at the viewport's centre in place and repaints.
    void SetZoom(double percent);
    // Zooms so that the whole of layer 0 (the image, or the background) fits the view; small
    // pictures are enlarged.
    void Fit();
    // Client (viewport) coordinates to picture column / row (layer-0 coordinates) at the current
    // zoom and scroll position, rounded down; the result may lie outside the picture.
    int XScr2Bmp(int x) const;
    int YScr2Bmp(int y) const;
    // Picture coordinates to client coordinates (the top-left corner of the pixel for integers).
    QPointF BmpToScr(QPointF point) const;

    // One wheel notch zooms in by 5/4 or out by 4/5.
    static double ZoomedIn(double zoom) { return zoom * 5.0 / 4.0; }
    static double ZoomedOut(double zoom) { return zoom * 4.0 / 5.0; }

    // Where the current layer's resize grips sit, in client coordinates (while the model allows
    // moving or resizing layers and has more than one layer).
    std::vector<std::pair<imaging::Grip, QRect>> LayerGrips() const;

  signals:
    // Mouse events over the viewport, client coordinates; `buttons` are those held after the
    // event, as Qt reports them.
    void mouseDown(Qt::MouseButton button, Qt::MouseButtons buttons,
                   Qt::KeyboardModifiers modifiers, QPoint position);
    void mouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, QPoint position);
    void mouseUp(Qt::MouseButton button, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers,
                 QPoint position);
    // A key released (auto-repeat releases are not reported).
    void keyUp(int key, Qt::KeyboardModifiers modifiers);
    // Sent before the view applies a zoom it changes by itself (the wheel), with the new zoom.
    void zoomIn(double newZoom);
    void zoomOut(double newZoom);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    // A layer being moved or resized with the mouse.
    struct LayerDrag {
        bool resize = false;
        imaging::Grip grip = imaging::Grip::BottomRight;
        imaging::LayerFrame start;
        QPoint pressedAt;
    };

    double Scale() const { return model_.Zoom() / 100.0; }
    // The client position of the picture's top-left pixel.
    QPointF Origin() const;
    bool LayersInteractive() const;
    // Starts moving or resizing the current layer when the press hits it or a grip.
    bool StartLayerDrag(QPoint client);
    void ContinueLayerDrag(QPoint client);
    void RecomposeLayers();
    void PaintLayerFrame(QPainter& painter) const;
    // Applies a zoom keeping the picture point `anchor` at client point `client`.
    void ZoomAround(double percent, QPointF anchor, QPointF client);
    void UpdateScrollBars();
    // Client rectangle covered by `area` (picture coordinates), grown by `margin` pixels.
    QRect ClientRectOf(const QRectF& area, int margin) const;
    void PaintOutline(QPainter& painter, const QRect& clip) const;
    void PaintRubberBand(QPainter& painter) const;
    bool OutlineVisible() const;
    void AdvanceMarchingAnts();

    imaging::ImageModel model_;
    QImage picture_;
    // The picture's extent in layer-0 coordinates; picture_ pixel (0, 0) is its top-left.
    QRect pictureRect_;
    // Each layer converted for drawing, kept while several layers are shown, so that moving one
    // only composes them again.
    std::vector<QImage> layerImages_;
    std::optional<LayerDrag> layerDrag_;
    std::vector<view::OutlineSegment> outline_;
    std::optional<QRect> rubberBand_;
    QTimer antsTimer_;
    int antsPhase_ = 0;
    int wheelRemainder_ = 0;
};

#endif  // QUILLANE_VIEW_IMAGEVIEW_H
