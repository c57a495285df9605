// The software GDI against Windows' GDI: every reference case, drawn by the
// system's GDI under Wine and kept in tests/platform/soft/reference, is drawn again
// here and must come out the same, pixel for pixel, with the same result.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>

#include "tests/platform/soft/reference/gdi_cases.h"
#include "support/fixture.h"

namespace {

// The case's picture as letters: '.' untouched, 'P' the pen's or the
// brush's colour, '~' inverted, '?' anything else; the reference beside ours.
std::string SideBySide(const GdiCase& c, const GdiPicture& expected, const GdiPicture& actual) {
    auto letter = [](uint32_t pixel) {
        if (pixel == kGdiBackground) return '.';
        if (pixel == ~kGdiBackground) return '~';
        if (pixel == 0x00FF0000) return 'P';
        if (pixel == 0x000000FF) return 'B';
        if (pixel == 0x0020C040) return 'S';
        if (pixel == 0) return 'K';
        return '?';
    };
    std::ostringstream out;
    out << "reference | software GDI\n";
    for (int y = 0; y < std::min(c.height, 80); ++y) {
        for (int x = 0; x < std::min(c.width, 60); ++x) out << letter(expected.pixels[size_t(y) * c.width + x]);
        out << " | ";
        for (int x = 0; x < std::min(c.width, 60); ++x) out << letter(actual.pixels[size_t(y) * c.width + x]);
        out << '\n';
    }
    return out.str();
}

// Wine answers TRUE for a pixel outside the surface, which it leaves as it
// was; Windows documents a failure there, which the software GDI gives.
int WindowsResult(const GdiCase& c, int wineResult) {
    bool outside = c.left < 0 || c.top < 0 || c.left >= c.width || c.top >= c.height;
    return c.operation == GdiOperation::SetPixelV && outside ? FALSE : wineResult;
}

GdiPicture DrawnInMemory(const GdiCase& c) {
    TestSurface surface(c.width, c.height, kGdiBackground);
    GdiPicture picture;
    picture.result = GdiCaseDraw(surface.dc, c);
    picture.pixels = surface.pixels;
    return picture;
}

struct Comparison {
    int cases = 0;
    int differingCases = 0;
    int64_t differingPixels = 0;
    std::string firstDifferences;  // the first few cases that differ, drawn
};

int CountDifferences(const GdiPicture& a, const GdiPicture& b) {
    int count = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) count += a.pixels[i] != b.pixels[i];
    return count;
}

// Draws every reference case that `chosen` picks and compares it.
Comparison CompareWithReference(const std::function<bool(const GdiCase&)>& chosen) {
    Comparison comparison;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(RAVLIN_GDI_REFERENCE, "rb"), std::fclose);
    if (!file) {
        ADD_FAILURE() << "no reference file " << RAVLIN_GDI_REFERENCE;
        return comparison;
    }
    char header[64] = {};
    if (!std::fgets(header, sizeof(header), file.get()) ||
        std::string(header) != kGdiReferenceHeader + std::string("\n")) {
        ADD_FAILURE() << "not a reference file: " << header;
        return comparison;
    }
    GdiDirectDraw directDraw;
    if (!GdiDirectDrawOpen(&directDraw)) ADD_FAILURE() << "no software DirectDraw";
    for (const GdiCase& c : GdiReferenceCases()) {
        std::string name, error;
        GdiPicture expected;
        if (!GdiPictureRead(file.get(), &name, &expected, c.width, c.height, &error)) {
            ADD_FAILURE() << "the reference ends before " << GdiCaseName(c) << " " << error;
            break;
        }
        if (name != GdiCaseName(c)) {
            ADD_FAILURE() << "the reference holds " << name << " where the cases have " << GdiCaseName(c);
            break;
        }
        if (!chosen(c)) continue;
        GdiPicture actual;
        if (c.target == GdiTarget::Bitmap) {
            actual = DrawnInMemory(c);
        } else if (!GdiCaseRenderDirectDraw(directDraw, c, &actual)) {
            ADD_FAILURE() << "cannot draw " << name << " on a DirectDraw surface";
            break;
        }
        ++comparison.cases;
        int differences = CountDifferences(expected, actual);
        expected.result = WindowsResult(c, expected.result);
        if (differences == 0 && expected.result == actual.result) continue;
        ++comparison.differingCases;
        comparison.differingPixels += differences;
        if (comparison.differingCases <= 3) {
            comparison.firstDifferences += name + ": " + std::to_string(differences) + " pixels differ, result " +
                                           std::to_string(actual.result) + " where Windows gives " +
                                           std::to_string(expected.result) + "\n" + SideBySide(c, expected, actual);
        }
    }
    GdiDirectDrawClose(&directDraw);
    return comparison;
}

void ExpectTheSame(const Comparison& comparison, int atLeast) {
    EXPECT_GE(comparison.cases, atLeast);
    EXPECT_EQ(comparison.differingCases, 0) << comparison.differingPixels << " pixels differ in all\n"
                                            << comparison.firstDifferences;
}

bool Is(GdiOperation operation, const GdiCase& c) { return c.operation == operation; }

}  // namespace

class GdiReferenceTest : public RuntimeTest {};

TEST_F(GdiReferenceTest, EllipsesMatchWindows) {
    ExpectTheSame(CompareWithReference([](const GdiCase& c) { return Is(GdiOperation::Ellipse, c); }), 7000);
}

TEST_F(GdiReferenceTest, RectanglesMatchWindows) {
    ExpectTheSame(CompareWithReference([](const GdiCase& c) { return Is(GdiOperation::Rectangle, c); }), 250);
}

TEST_F(GdiReferenceTest, PixelsAndFillsMatchWindows) {
    ExpectTheSame(CompareWithReference([](const GdiCase& c) {
                      return !Is(GdiOperation::Ellipse, c) && !Is(GdiOperation::Rectangle, c);
                  }),
                  100);
}
