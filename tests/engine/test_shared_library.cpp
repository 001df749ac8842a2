// The three exports as a program sees them through libmirrask.so.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "segmentation.h"

namespace {

TEST(SharedLibrary, ExportsWorkBeforeAndAfterWatershedOnTinyAndBadImages) {
    // Before any Watershed: nothing is written.
    std::vector<uint8_t> marks(21, 1), pixels(63, 7), selection(21, 0xEE);
    Lazy(marks.data(), pixels.data(), selection.data());
    ShowLines(marks.data(), pixels.data());
    EXPECT_EQ(pixels, std::vector<uint8_t>(63, 7));
    EXPECT_EQ(selection, std::vector<uint8_t>(21, 0xEE));

    for (auto [w, h] : {std::pair{1, 1}, {2, 7}, {3, 3}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        const size_t n = static_cast<size_t>(w) * h;
        std::vector<uint8_t> image(3 * n);
        for (size_t i = 0; i < image.size(); ++i)
            image[i] = static_cast<uint8_t>(i * 37);
        ASSERT_EQ(Watershed(image.data(), w, h), 0);
        std::vector<uint8_t> m(n, 0), px = image, sel(n, 0xEE);
        m[0] = 1;
        Lazy(m.data(), px.data(), sel.data());
        EXPECT_EQ(sel, std::vector<uint8_t>(n, 1)) << "foreground only selects everything";
        EXPECT_EQ(px[0], 0);
        EXPECT_EQ(px[2], 255) << "the marked corner pixel is outlined red";
    }

    // Bad arguments: -1, and the last image stays usable.
    EXPECT_EQ(Watershed(nullptr, 3, 3), -1);
    EXPECT_EQ(Watershed(pixels.data(), 0, 3), -1);
    EXPECT_EQ(Watershed(pixels.data(), 3, -1), -1);
    std::vector<uint8_t> m(9, 2), sel(9, 0xEE), px(27, 0);
    Lazy(m.data(), px.data(), sel.data());
    EXPECT_EQ(sel, std::vector<uint8_t>(9, 0));
}

}  // namespace
