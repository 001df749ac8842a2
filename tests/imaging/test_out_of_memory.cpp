// Allocation failures on demand. This test program replaces the global operator new, so it is a
// program of its own.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "imaging/image_model.h"
#include "test_images.h"

namespace {
// How many more allocations succeed before one fails; negative: none fails.
std::atomic<long> allocationsBeforeFailure{-1};
}  // namespace

void* operator new(std::size_t size) {
    const long left = allocationsBeforeFailure.load();
    if (left == 0) {
        allocationsBeforeFailure = -1;
        throw std::bad_alloc();
    }
    if (left > 0) allocationsBeforeFailure = left - 1;
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

namespace imaging {
namespace {

using testing::PatternBitmap;

// Opening a picture of another size needs a mask of that size. When that allocation fails the
// model must still show the previous picture with its selection, and a later load must work.
TEST(ImageModelOutOfMemory, FailedLoadKeepsThePreviousPictureAndSelection) {
    ImageModel model;
    model.LoadIntoCurrentLayer(PatternBitmap(6, 4));
    for (int x = 0; x < 3; ++x)
        model.SetMaskPixel(x, 1, 255);
    model.AdoptMask();
    ASSERT_TRUE(model.HasSelection());
    const Bitmap pictureBefore = model.CurrentBitmap();
    const SelectionMask maskBefore = model.Mask();

    Bitmap larger = PatternBitmap(9, 7);
    allocationsBeforeFailure = 0;
    EXPECT_THROW(model.LoadIntoCurrentLayer(std::move(larger)), std::bad_alloc);
    allocationsBeforeFailure = -1;

    EXPECT_EQ(model.CurrentBitmap(), pictureBefore);
    EXPECT_EQ(model.CurrentLayer().displayWidth, 6);
    EXPECT_EQ(model.CurrentLayer().displayHeight, 4);
    EXPECT_EQ(model.Mask(), maskBefore);
    EXPECT_TRUE(model.HasSelection());

    model.LoadIntoCurrentLayer(PatternBitmap(9, 7));
    EXPECT_EQ(model.CurrentBitmap(), PatternBitmap(9, 7));
    EXPECT_EQ(model.Mask().Width(), 9);
    EXPECT_EQ(model.Mask().Height(), 7);
    EXPECT_FALSE(model.HasSelection());
}

}  // namespace
}  // namespace imaging
