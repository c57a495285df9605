// The fast paths of the frame: span fills of every short length and
// alignment, colour fills of part of a surface, the BMP row conversion's
// four-pixel steps and tail, and the benchmarks' present.
#include <gtest/gtest.h>

#include "display/screen.h"
#include "platform/host/headless.h"
#include "sprite/grab.h"
#include "support/display.h"

TEST_F(RuntimeTest, SpansOfEveryShortLengthAndOffsetFillExactlyTheirPixels) {
    for (COLORREF colour : {COLORREF{0x00332211}, COLORREF{0}, COLORREF{0xFFFFFF}}) {
        HBRUSH brush = CreateSolidBrush(colour);
        uint32_t pixel = (colour & 0xFF) << 16 | (colour & 0xFF00) | (colour >> 16 & 0xFF);
        for (int offset = 0; offset < 8; ++offset) {
            for (int length = 0; length < 18; ++length) {
                TestSurface s(32, 1, 0x00ABCDEF);
                RECT r = {offset, 0, offset + length, 1};
                FillRect(s.dc, &r, brush);
                for (int x = 0; x < 32; ++x) {
                    bool inside = x >= offset && x < offset + length;
                    ASSERT_EQ(s.At(x, 0), inside ? pixel : 0x00ABCDEFu) << offset << "+" << length << " at " << x;
                }
            }
        }
        DeleteObject(brush);
    }
}

TEST_F(DisplayTest, ColourFillOfARectangleLeavesTheRestAlone) {
    ASSERT_EQ(Open(), 1);
    ScreenClear(0);
    RECT part = {3, 2, 10, 5};
    ASSERT_EQ(Fill(ScreenState.backBuffer, 0x00123456, &part), DD_OK);
    EXPECT_EQ(BackBufferPixel(3, 2), 0x00123456u);
    EXPECT_EQ(BackBufferPixel(9, 4), 0x00123456u);
    EXPECT_EQ(BackBufferPixel(10, 4), 0u);
    EXPECT_EQ(BackBufferPixel(3, 5), 0u);
    EXPECT_EQ(BackBufferPixel(2, 2), 0u);
}

// Every width's rows hold the pixels' first three bytes, bottom row first,
// and leave the padding as it was.
TEST_F(DisplayTest, BgrRowsOfEveryNarrowWidth) {
    ASSERT_EQ(Open(), 1);
    for (int width = 1; width <= 9; ++width) {
        auto paint = [width](int x, int y, uint32_t& p) {
            if (y < 2 && x < width) p = 0xAA000000u | uint32_t(y) << 16 | uint32_t(x) << 8 | uint32_t(width);
        };
        ASSERT_NE(ForEachPixel(ScreenState.backBuffer, paint), nullptr);

        int rowBytes = 3 * width + (width & 3);
        std::vector<uint8_t> rows(size_t(rowBytes) * 2, 0xEE);
        ASSERT_EQ(SurfaceToBgrRows(ScreenState.backBuffer, width, 2, 32, rows.data()), 1);
        for (int r = 0; r < 2; ++r) {
            for (int x = 0; x < width; ++x) {
                const uint8_t* bgr = &rows[size_t(r) * rowBytes + size_t(x) * 3];
                EXPECT_EQ(bgr[0], width) << width;
                EXPECT_EQ(bgr[1], x);
                EXPECT_EQ(bgr[2], 1 - r);  // the bottom row comes first
            }
            for (int pad = 3 * width; pad < rowBytes; ++pad) EXPECT_EQ(rows[size_t(r) * rowBytes + pad], 0xEE);
        }
    }
}

TEST_F(DisplayTest, CopiedPresentsShowTheFrameAndRecordNothing) {
    ASSERT_EQ(Open(), 1);
    HeadlessCopyPresents(true);
    ScreenClear(0x0000FF);
    ScreenFlip(0);
    EXPECT_TRUE(HeadlessFrames().empty());
    ASSERT_EQ(HeadlessShown().size(), 640u * 480u);
    EXPECT_EQ(HeadlessShown()[640 * 479 + 639], 0x00FF0000u);
    HeadlessReset();
    ScreenFlip(0);
    EXPECT_EQ(HeadlessFrames().size(), 1u);  // the reset turned it off
}
