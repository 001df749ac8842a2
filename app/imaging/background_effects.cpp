#include "imaging/background_effects.h"

namespace imaging {

namespace {

constexpr Rgb kWhite{255, 255, 255};

// Runs `work` with the background selected, between a push and a pop of the selection.
template <typename Work>
void WithBackgroundSelected(ImageModel& model, Work&& work) {
    model.PushSelection();
    model.InvertSelection();
    work();
    model.PopSelection();
}

}  // namespace

void FillBackground(ImageModel& model, uint8_t opacity, double featherRadius, Rgb colour) {
    WithBackgroundSelected(model, [&] {
        model.SetSelectedAlpha(opacity);
        model.FeatherSelection(featherRadius);
        model.FillSelection(colour);
    });
}

void RemoveBackground(ImageModel& model, double featherRadius) {
    WithBackgroundSelected(model, [&] {
        model.SetSelectedAlpha(0);
        model.FeatherSelection(featherRadius);
        model.FillSelection(kWhite);
    });
}

void BlurBackground(ImageModel& model, double sigma) {
    WithBackgroundSelected(model, [&] { model.BlurSelection(sigma); });
}

}  // namespace imaging
