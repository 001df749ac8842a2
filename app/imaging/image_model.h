// ImageModel: everything one image view holds and every rule about it, without any drawing.
//
// A view shows a stack of layers (index 0 drawn first) with one current layer, on which loading,
// the effects and the mouse act; an 8-bit selection mask sized to the current layer with its
// bounding box and whether the view has a selection; a stack of saved selections; whether the
// selection outline is shown; the zoom; the background colour; and the layer mouse settings.
// The widget (app/view) paints this model and turns mouse and wheel into calls on it.
#ifndef QUILLANE_IMAGING_IMAGE_MODEL_H
#define QUILLANE_IMAGING_IMAGE_MODEL_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bitmap.h"
#include "colour.h"
#include "layer.h"
#include "selection_mask.h"

namespace imaging {

// The whole selection, as the selection stack saves it.
struct Selection {
    SelectionMask mask;
    bool hasSelection = false;

    friend bool operator==(const Selection&, const Selection&) = default;
};

// What the mouse may do to layers (bit flags).
enum LayerInteraction : unsigned {
    kNoLayerInteraction = 0,
    kMoveLayers = 1u << 0,
    kResizeLayers = 1u << 1,
};

class ImageModel {
  public:
    // One layer with an empty 0 x 0 bitmap, an empty 0 x 0 mask, nothing selected, an empty
    // selection stack, the selection shown, zoom 100 %, background kViewBackground, aspect lock
    // off, no layer interaction.
    ImageModel();

    // ---- Layers ----------------------------------------------------------------------------

    int LayerCount() const { return int(layers_.size()); }
    int CurrentLayerIndex() const { return current_; }
    const std::vector<Layer>& Layers() const { return layers_; }
    // Throws std::out_of_range for an invalid index.
    Layer& LayerAt(int index);
    const Layer& LayerAt(int index) const;
    Layer& CurrentLayer() { return layers_[size_t(current_)]; }
    const Layer& CurrentLayer() const { return layers_[size_t(current_)]; }

    // The view's bitmap: the current layer's. Writing into its rows changes the image; change
    // its size only through LoadIntoCurrentLayer, so that the mask follows.
    Bitmap& CurrentBitmap() { return CurrentLayer().bitmap; }
    const Bitmap& CurrentBitmap() const { return CurrentLayer().bitmap; }

    // Loading a file into the view: the current layer takes the bitmap and shows it at its own
    // size (position and transparency stay). The mask takes the bitmap's size; when that size
    // changes the mask is emptied and nothing is selected. The selection stack is kept. When
    // memory runs out (std::bad_alloc), the model is left as it was.
    void LoadIntoCurrentLayer(Bitmap bitmap);

    // Makes layer `index` current; ignored when the index is invalid or already current. A
    // current layer of another size than the mask resizes the mask (emptied, nothing selected).
    void MakeLayerCurrent(int index);
    // Appends a black layer with the current layer's bitmap size (no alpha), at (0, 0),
    // transparency 255, makes it current and returns its index.
    int AddLayer();
    // Deletes layers 1 .. n - 1; layer 0 becomes current and gets back position (0, 0), its
    // bitmap's size as displayed size and transparency 255. With one layer nothing changes.
    void RemoveAllLayersButFirst();
    // Crops the current layer to the selection (CropToMask with the view's background colour).
    // Nothing happens when the mask is empty. The layer's position does not change. The mask is
    // resized to the cropped layer and emptied; PopSelectionAfterCrop brings the selection back
    // lined up with it.
    void CropCurrentLayerToSelection();
    // Replaces layers 0 and 1 by their composite (MergeLayers with the view's background colour)
    // at index 0, at (0, 0), and makes it current. Returns false and changes nothing when the
    // view has fewer than two layers; layers beyond 1 stay above the merged one.
    bool MergeFirstTwoLayers();

    Rgb Background() const { return background_; }
    void SetBackground(Rgb colour) { background_ = colour; }

    // When on, resizing a layer with its grips keeps its bitmap's aspect ratio
    // (ResizeLayerFrame in layer_resize.h).
    bool AspectLocked() const { return aspectLocked_; }
    void SetAspectLock(bool locked) { aspectLocked_ = locked; }
    // A combination of LayerInteraction flags.
    unsigned LayerInteractionFlags() const { return layerInteraction_; }
    void SetLayerInteractionFlags(unsigned flags) { layerInteraction_ = flags; }

    // ---- Selection -------------------------------------------------------------------------

    const SelectionMask& Mask() const { return selection_.mask; }
    // Direct access for bulk writes; see SelectionMask for how writes affect the box.
    SelectionMask& Mask() { return selection_.mask; }
    // Sets one mask value; outside the mask ignored; non-zero grows the bounding box.
    void SetMaskPixel(int x, int y, uint8_t value) { selection_.mask.SetPixel(x, y, value); }
    // The mask is always 8 bits deep; setting the depth deselects first when something is
    // selected, as the view's depth change does.
    void SetMaskDepthTo8Bits();
    // Makes the mask the view's selection: selected exactly when the mask is not empty.
    void AdoptMask() { selection_.hasSelection = !selection_.mask.IsEmpty(); }
    bool HasSelection() const { return selection_.hasSelection; }
    const Selection& CurrentSelection() const { return selection_; }
    // Every mask value 0, mask empty, nothing selected.
    void Deselect();
    // SelectionMask::Invert; when that deselects (an all-255 mask), nothing is selected after.
    // Otherwise whether the view has a selection does not change.
    void InvertSelection();

    // Whether the selection outline is drawn; the mask is unaffected.
    bool SelectionShown() const { return selectionShown_; }
    void ShowSelection(bool shown) { selectionShown_ = shown; }

    // Saves a copy of the whole selection (mask, bounding box, whether selected).
    void PushSelection() { stack_.push_back(selection_); }
    // Restores the last saved selection and removes it; nothing when the stack is empty. The
    // saved mask comes back exactly when the current layer still has its size; otherwise its
    // values are cut or padded with 0 at the right and bottom to the layer's size and the box
    // recomputed.
    void PopSelection();
    // The pop after CropCurrentLayerToSelection: the saved mask is moved by (-X1, -Y1), the
    // top-left corner of its own bounding box, and cut to the current layer's size, so it marks
    // the object's pixels in the cropped layer's coordinates. A saved empty mask gives an empty
    // mask of the layer's size with nothing selected. Nothing when the stack is empty.
    void PopSelectionAfterCrop();
    size_t SelectionStackDepth() const { return stack_.size(); }

    // ---- Effects on the current layer (through the mask) -----------------------------------

    // Alpha := value wherever the mask is non-zero, or everywhere when it is empty.
    void SetSelectedAlpha(uint8_t alpha);
    // FeatherMask by the radius, only when the view has a selection and radius > 0.
    void FeatherSelection(double radius);
    // FillThroughMask with the colour.
    void FillSelection(Rgb colour);
    // BlurThroughMask with standard deviation sigma; nothing when sigma <= 0.
    void BlurSelection(double sigma);

    // ---- Zoom ------------------------------------------------------------------------------

    // Current zoom in percent.
    double Zoom() const { return zoom_; }
    // Sets the zoom; a value not greater than 0 (or NaN), or equal to the current zoom, does
    // nothing. Returns whether the zoom changed.
    bool SetZoom(double percent);

  private:
    // Keeps the mask sized to the current layer's bitmap.
    void FitMaskToCurrentLayer();

    std::vector<Layer> layers_;
    int current_ = 0;
    Selection selection_;
    std::vector<Selection> stack_;
    bool selectionShown_ = true;
    double zoom_ = 100.0;
    Rgb background_ = kViewBackground;
    bool aspectLocked_ = false;
    unsigned layerInteraction_ = kNoLayerInteraction;
};

}  // namespace imaging

#endif  // QUILLANE_IMAGING_IMAGE_MODEL_H
