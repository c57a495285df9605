// The screen grab, the conversion to BMP rows, the file writer and the image
// registries, on an open 640 x 480 x 32 headless screen.
#include "sprite/grab.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "core/runtime.h"
#include "display/screen.h"
#include "platform/host/headless.h"
#include "platform/soft/inspect.h"
#include "sprite/store.h"
#include "support/display.h"

namespace {

namespace fs = std::filesystem;

// Every byte of every pixel is 0x80 or more, so that no pixel byte passes for
// a padding byte.
uint32_t Pattern(int x, int y) {
    return uint32_t(0x80 | (x & 0x7F)) << 16 | uint32_t(0x80 | (y & 0x7F)) << 8 | uint32_t(0x80 | ((x + y) & 0x7F));
}

// The bytes 00 00 FF 00, then FF 00 00 00.
uint32_t RedThenBlue(int x, int) { return x == 0 ? 0x00FF0000u : 0x000000FFu; }

// Calls `visit` on each row of the surface under a lock.
void ForEachRow(IDirectDrawSurface7* surface, const std::function<void(int y, uint8_t* row)>& visit) {
    DDSURFACEDESC2 locked = Described();
    ASSERT_EQ(surface->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DD_OK);
    auto* pixels = static_cast<uint8_t*>(locked.lpSurface);
    for (int y = 0; y < int(locked.dwHeight); ++y) visit(y, pixels + y * locked.lPitch);
    surface->Unlock(nullptr);
}

void Paint(IDirectDrawSurface7* surface, uint32_t (*pixel)(int x, int y), int width) {
    ForEachPixel(surface, [&](int x, int y, uint32_t& value) { value = x < width ? pixel(x, y) : value; });
}

void Put(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

uint32_t Field(const std::vector<uint8_t>& file, size_t offset) {
    uint32_t value = 0;
    std::memcpy(&value, file.data() + offset, 4);
    return value;
}

class GrabTest : public OpenDisplayTest {
protected:
    // Grabs the top-left width x height of a patterned screen into sprite 0
    // and saves it.
    int32_t SavePattern(int width, int height) {
        Paint(ScreenState.backBuffer, Pattern, 640);
        if (!SpriteGrab(0, 0, 0, width, height)) return -1;
        return SpriteSave(0, file.c_str());
    }

    FreshDirectory fresh;
    const fs::path& directory = fresh.path;
    fs::path file = directory / "ravlin.bmp";
};

}  // namespace

// The file left half written by a save that never ended goes too.
TEST_F(GrabTest, TwoPixelSpriteReplacesAnOlderFileWithTheSixtyTwoByteBmp) {
    Put(file, std::string(5000, 'x'));
    Put(fs::path(file.string() + ".tmp"), std::string(70000, 'y'));
    Paint(ScreenState.backBuffer, RedThenBlue, 2);
    ASSERT_NE(SpriteGrab(0, 0, 0, 2, 1), 0);
    ASSERT_EQ(SpriteSave(0, file.c_str()), 1);
    std::vector<uint8_t> expected = {0x42, 0x4D, 0x3E, 0, 0, 0, 0, 0, 0, 0, 0x36, 0, 0, 0};
    expected.insert(expected.end(), {0x28, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0x18, 0});
    expected.resize(54, 0);
    expected.insert(expected.end(), {0, 0, 0xFF, 0xFF, 0, 0, 0, 0});
    EXPECT_EQ(Contents(file), expected);
    EXPECT_EQ(Entries(directory), std::vector<std::string>{"ravlin.bmp"});
}

// Whatever has the temporary name is removed, never written through or
// waited for: a link's target and a pipe stay as they were, and the picture
// lands in a file of its own. A directory there cannot be removed: the save
// fails, saying so, and keeps the earlier file.
TEST_F(GrabTest, NothingUnderTheTemporaryNameRedirectsOrHoldsUpTheSave) {
    const fs::path temporary = file.string() + ".tmp";
    const fs::path victim = directory / "victim";
    struct {
        const char* name;
        std::function<void()> make;
        int32_t saved;
        std::vector<std::string> left;
    } cases[] = {
        {"a link to another file", [&] { fs::create_symlink(victim, temporary); }, 1, {"ravlin.bmp", "victim"}},
        {"a link to nowhere",
         [&] { fs::create_symlink(directory / "nowhere", temporary); },
         1,
         {"ravlin.bmp", "victim"}},
        {"a pipe", [&] { ASSERT_EQ(mkfifo(temporary.c_str(), 0666), 0); }, 1, {"ravlin.bmp", "victim"}},
        {"a read-only file",
         [&] {
             Put(temporary, "left by a save cut short");
             fs::permissions(temporary, fs::perms::owner_read);
         },
         1,
         {"ravlin.bmp", "victim"}},
        {"a directory", [&] { fs::create_directory(temporary); }, 0, {"ravlin.bmp", "ravlin.bmp.tmp", "victim"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Put(file, "the earlier picture");
        Put(victim, "another's file");
        c.make();
        EXPECT_EQ(SavePattern(3, 2), c.saved);
        if (!c.saved) {
            EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_EXISTS));
        }
        std::vector<uint8_t> victimBytes = Contents(victim);
        EXPECT_EQ(std::string(victimBytes.begin(), victimBytes.end()), "another's file");
        EXPECT_FALSE(fs::is_symlink(file));
        EXPECT_EQ(Contents(file).size(), c.saved ? 54u + 12u * 2u : 19u);
        std::vector<std::string> left = Entries(directory);
        std::sort(left.begin(), left.end());
        EXPECT_EQ(left, c.left);
        fs::remove_all(temporary);
    }
}

TEST_F(GrabTest, RowsGoBottomUpAndArePaddedWithZerosToFourBytes) {
    const int rowBytes[] = {4, 8, 12, 12, 16};
    for (int width = 1; width <= 5; ++width) {
        SCOPED_TRACE(width);
        ASSERT_EQ(SavePattern(width, 3), 1);
        std::vector<uint8_t> bmp = Contents(file);
        int rb = rowBytes[width - 1];
        ASSERT_EQ(bmp.size(), size_t(54 + 3 * rb));
        EXPECT_EQ(Field(bmp, 2), bmp.size());
        for (int r = 0; r < 3; ++r) {
            const uint8_t* row = bmp.data() + 54 + r * rb;
            for (int x = 0; x < width; ++x) {
                uint32_t pixel = Pattern(x, 2 - r);
                EXPECT_EQ(row[3 * x] | row[3 * x + 1] << 8 | row[3 * x + 2] << 16, int(pixel));
            }
            for (int pad = 3 * width; pad < rb; ++pad) EXPECT_EQ(row[pad], 0);
        }
    }
}

TEST_F(GrabTest, WholeScreenFileIsItsRowsAndTheHeaders) {
    ASSERT_EQ(SavePattern(640, 480), 1);
    std::vector<uint8_t> bmp = Contents(file);
    ASSERT_EQ(bmp.size(), 54u + 3 * 640 * 480);
    EXPECT_EQ(Field(bmp, 2), bmp.size());
    EXPECT_EQ(Field(bmp, 18), 640u);
    EXPECT_EQ(Field(bmp, 22), 480u);
}

// A grab takes sprite 0's slot before it checks the rectangle, so a refused
// grab leaves no sprite 0. The sums that would overflow 32 bits trip the
// undefined-behaviour sanitizer unless they are taken wider.
TEST_F(GrabTest, GrabTakesRectanglesUpToTheEdgesAndNotBeyond) {
    const int surfaces = SurfaceCount();
    // Nor into a memory sprite, which no copy between surfaces can reach.
    EXPECT_EQ(SpriteGrab(0, 0, 0, 8, 8, kSpriteMemoryOnly), 0);
    EXPECT_EQ(ObjectTableGet(ScreenState.spriteTable, 0), nullptr);
    struct {
        int32_t x, y, width, height;
    } outside[] = {{601, 0, 40, 10}, {0, 441, 10, 40},     {-1, 0, 10, 10},
                   {0, -1, 10, 10},  {1, 0, INT32_MAX, 1}, {0, 1, 1, INT32_MAX}};
    for (const auto& o : outside) {
        SCOPED_TRACE(testing::Message() << o.x << "," << o.y << " " << o.width << "x" << o.height);
        ASSERT_NE(SpriteGrab(0, 600, 440, 40, 40), 0);
        EXPECT_EQ(SpriteGrab(0, o.x, o.y, o.width, o.height), 0);
        EXPECT_EQ(ObjectTableGet(ScreenState.spriteTable, 0), nullptr);
        EXPECT_EQ(SurfaceCount(), surfaces);
        // A numberless grab that fails leaves no record behind either.
        EXPECT_EQ(SpriteGrab(-1, o.x, o.y, o.width, o.height), 0);
        EXPECT_EQ(ScreenState.spriteTable->listHead, nullptr);
    }
    FailOn(SoftOp::IDirectDraw7_CreateSurface, 1, DDERR_OUTOFMEMORY);
    EXPECT_EQ(SpriteGrab(-1, 0, 0, 8, 8), 0);
    EXPECT_EQ(ScreenState.spriteTable->listHead, nullptr);
}

TEST_F(GrabTest, NumberlessGrabCopiesTheRectangleAndKeysOutBlack) {
    Paint(ScreenState.backBuffer, Pattern, 640);
    intptr_t handle = SpriteGrab(-1, 10, 20, 30, 40);
    // The only sprite, known by its handle.
    intptr_t id = 0;
    ObjectTableIterStart(ScreenState.spriteTable);
    auto* sprite = static_cast<SpriteRecord*>(ObjectTableIterNext(ScreenState.spriteTable, &id));
    ASSERT_NE(sprite, nullptr);
    ASSERT_EQ(id, handle);
    EXPECT_EQ(sprite->width, 30);
    DDSURFACEDESC2 locked = Described();
    ASSERT_EQ(SpriteSurface(sprite)->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DD_OK);
    const uint8_t* pixels = static_cast<const uint8_t*>(locked.lpSurface);
    uint32_t first, last;
    std::memcpy(&first, pixels, 4);
    std::memcpy(&last, pixels + 39 * locked.lPitch + 29 * 4, 4);
    SpriteSurface(sprite)->Unlock(nullptr);
    EXPECT_EQ(first, Pattern(10, 20));
    EXPECT_EQ(last, Pattern(39, 59));
    EXPECT_TRUE(locked.dwFlags & DDSD_CKSRCBLT);
    EXPECT_EQ(locked.ddckCKSrcBlt.dwColorSpaceLowValue, 0u);
    EXPECT_EQ(locked.ddckCKSrcBlt.dwColorSpaceHighValue, 0u);
}

// 32 and 24 bits copy the first three bytes of each pixel; 16 bits expand
// 5-6-5; any other depth reads colours through the device context. Rows are
// a lock's pitch apart (32 bytes here, not 5 x 4), and padding is not touched.
TEST_F(GrabTest, ConversionReadsEachDepthFromTheRowsAtTheLockPitch) {
    auto* sprite = static_cast<SpriteRecord*>(ObjectTableSlot(ScreenState.spriteTable, 1));
    ASSERT_NE(SpriteSurfaceCreate(sprite, 5, 2, 0, 0), nullptr);
    IDirectDrawSurface7* surface = SpriteSurface(sprite);
    const uint16_t bottom16[] = {0xF800, 0x07E0, 0x001F, 0xFFFF, 0x8410};
    ForEachRow(surface, [&](int y, uint8_t* row) {
        for (int i = 0; i < 20; ++i) row[i] = uint8_t(y * 100 + i + 1);
        if (y == 1) std::memcpy(row, bottom16, sizeof(bottom16));
    });
    auto convert = [&](int depth) {
        std::vector<uint8_t> out(32, 0xEE);
        EXPECT_EQ(SurfaceToBgrRows(surface, 5, 2, depth, out.data()), 1);
        return out;
    };

    std::vector<uint8_t> rows16 = convert(16);
    const uint8_t expected16[] = {0, 0, 0xF8, 0, 0xFC, 0, 0xF8, 0, 0, 0xF8, 0xFC, 0xF8, 0x80, 0x80, 0x80};
    EXPECT_TRUE(std::equal(std::begin(expected16), std::end(expected16), rows16.begin()));

    std::vector<uint8_t> rows24 = convert(24);
    for (int i = 0; i < 15; ++i) EXPECT_EQ(rows24[16 + i], i + 1) << i;  // output row 1: the top row
    std::vector<uint8_t> rows32 = convert(32);
    for (int i = 0; i < 15; ++i) EXPECT_EQ(rows32[16 + i], i / 3 * 4 + i % 3 + 1) << i;
    EXPECT_EQ(rows32[15], 0xEE);
    EXPECT_EQ(rows32[31], 0xEE);

    EXPECT_EQ(convert(8), rows32);
    FailOn(SoftOp::IDirectDrawSurface7_GetDC, 1, DDERR_GENERIC);
    std::vector<uint8_t> out(32);
    EXPECT_EQ(SurfaceToBgrRows(surface, 5, 2, 8, out.data()), 0);
}

TEST_F(GrabTest, EncoderKeysReachOnlyTheEncoderRegisteredUnderThem) {
    static struct {
        std::string fileName;
        int32_t width, height, rowBytes, flags;
        std::vector<uint8_t> firstRow;
    } seen;
    ImageEncoder encoder = {1, [](const char* fileName, const uint8_t* rows, int32_t width, int32_t height,
                                  int32_t rowBytes, int32_t flags) {
                                seen = {fileName, width, height, rowBytes, flags, {rows, rows + rowBytes}};
                                return int32_t{5};
                            }};
    EXPECT_EQ(SavePattern(5, 2), 1);
    fs::remove(file);
    EXPECT_EQ(SpriteSave(0, file.c_str(), 1), 0);
    ASSERT_EQ(ImageEncoderRegister(&encoder), 1);
    EXPECT_EQ(SpriteSave(0, file.c_str(), 2), 0);
    EXPECT_EQ(SpriteSave(0, file.c_str(), 1), 5);
    EXPECT_TRUE(Entries(directory).empty());
    EXPECT_EQ(seen.fileName, file.string());
    EXPECT_EQ(seen.width, 5);
    EXPECT_EQ(seen.height, 2);
    EXPECT_EQ(seen.rowBytes, 16);
    EXPECT_EQ(seen.flags, 7);
    EXPECT_EQ(seen.firstRow[0] | seen.firstRow[1] << 8 | seen.firstRow[2] << 16, int(Pattern(0, 1)));
    EXPECT_EQ(seen.firstRow[15], 0);
}

TEST_F(GrabTest, SaveRefusesWithoutANameOrAPicture) {
    EXPECT_EQ(SavePattern(4, 4), 1);
    fs::remove(file);
    EXPECT_EQ(SpriteSave(0, nullptr), 0);
    // Numbers never made, inside the table, beyond it and below -1; freeing
    // them does nothing either.
    for (intptr_t missing : {intptr_t{7}, intptr_t{12345}, intptr_t{-7}, INTPTR_MAX, INTPTR_MIN}) {
        EXPECT_EQ(SpriteSave(missing, file.c_str()), 0) << missing;
        SpriteFree(missing);
    }
    auto* memory = static_cast<SpriteRecord*>(ObjectTableSlot(ScreenState.spriteTable, 0));
    ASSERT_NE(SpriteSurfaceCreate(memory, 4, 4, 0, kSpriteMemoryOnly), nullptr);
    EXPECT_EQ(SpriteSave(0, file.c_str()), 0);
    EXPECT_TRUE(Entries(directory).empty());
}

// Whatever step fails, the earlier file stays as it was, nothing else is
// left in its directory and the rows' block is given back (or was never
// had). A write that reports success with fewer bytes than asked counts as
// failed.
TEST_F(GrabTest, FailedSaveKeepsTheEarlierFileAndLeavesNoTemporaryFile) {
    struct {
        Fault operation;
        int nth;
        int64_t result;
        DWORD reason;  // what GetLastError says after
    } faults[] = {{SoftOp::CreateFileA, 1, -1, ERROR_IO_DEVICE},
                  {SoftOp::WriteFile, 1, FALSE, ERROR_IO_DEVICE},
                  {SoftOp::WriteFile, 2, FALSE, ERROR_IO_DEVICE},
                  {SoftOp::WriteFile, 3, FALSE, ERROR_IO_DEVICE},
                  {SoftOp::WriteFile, 3, TRUE, ERROR_DISK_FULL},
                  {SoftOp::CloseHandle, 1, FALSE, ERROR_IO_DEVICE},
                  {SoftOp::MoveFileExA, 1, FALSE, ERROR_IO_DEVICE},
                  {SoftOp::IDirectDrawSurface7_Lock, 1, DDERR_SURFACELOST, ERROR_BUSY},
                  {SoftOp::HeapAlloc, 1, 0, ERROR_NOT_ENOUGH_MEMORY}};
    Put(file, "the earlier picture");
    for (const auto& fault : faults) {
        SCOPED_TRACE(testing::Message() << fault.operation << " " << fault.nth << " " << fault.result);
        Paint(ScreenState.backBuffer, Pattern, 640);
        ASSERT_NE(SpriteGrab(0, 0, 0, 7, 3), 0);
        size_t blocks = SoftHeapBlockCount(Runtime.mainHeap);
        FailOn(fault.operation, fault.nth, fault.result);
        EXPECT_EQ(SpriteSave(0, file.c_str()), 0);
        EXPECT_EQ(GetLastError(), fault.reason);
        EXPECT_EQ(HeadlessFaultsPending(), 0);
        EXPECT_EQ(SoftHeapBlockCount(Runtime.mainHeap), blocks);
        std::vector<uint8_t> kept = Contents(file);
        EXPECT_EQ(std::string(kept.begin(), kept.end()), "the earlier picture");
        EXPECT_EQ(Entries(directory), std::vector<std::string>{"ravlin.bmp"});
    }
}

TEST_F(GrabTest, RegistriesRefuseTheHundredAndFirstEntry) {
    static ImageEncoder encoders[kImageRegistryCapacity + 1];
    for (int i = 0; i <= kImageRegistryCapacity; ++i) {
        encoders[i] = {i, [](const char*, const uint8_t*, int32_t width, int32_t, int32_t, int32_t) { return width; }};
        EXPECT_EQ(ImageEncoderRegister(&encoders[i]), i < kImageRegistryCapacity ? 1 : 0);
        EXPECT_EQ(ImageHandlerRegister(&encoders[i]), i < kImageRegistryCapacity ? 1 : 0);
    }
    EXPECT_EQ(ImageEncoderTable.count, kImageRegistryCapacity);
    EXPECT_EQ(ImageHandlerList.count, kImageRegistryCapacity);
    EXPECT_EQ(ImageEncoderCall("x", nullptr, kImageRegistryCapacity - 1, 42, 1, 128, 7), 42);
    EXPECT_EQ(ImageEncoderCall("x", nullptr, kImageRegistryCapacity, 42, 1, 128, 7), 0);

    ImageHandlerList.openStream = stdout;
    ImageHandlerReset();
    EXPECT_EQ(ImageHandlerList.count, 0);
    EXPECT_EQ(ImageHandlerList.openStream, nullptr);
    EXPECT_EQ(ImageHandlerRegister(&encoders[0]), 1);
}
