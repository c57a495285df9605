#include "support/fixture.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/host/headless.h"
#include "platform/soft/internal.h"
#include "runtime/lifecycle.h"

void RuntimeTest::SetUp() {
    HeadlessReset();
    RuntimeStart();
}

void RuntimeTest::TearDown() {
    ForgetTheRuntime();
    HeadlessReset();
}

HWND TestWindow(WNDPROC procedure, DWORD style) {
    static int made = 0;
    std::string name = "TestWindow class " + std::to_string(++made);
    WNDCLASSEXA record = {};
    record.cbSize = sizeof(record);
    record.lpfnWndProc = procedure;
    record.lpszClassName = name.c_str();
    if (!RegisterClassExA(&record)) return nullptr;
    return CreateWindowExA(0, name.c_str(), "", style, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
}

DDSURFACEDESC2 Described(DWORD flags, DWORD caps) {
    DDSURFACEDESC2 description = {};
    description.dwSize = sizeof(description);
    description.dwFlags = flags;
    description.ddsCaps.dwCaps = caps;
    return description;
}

DDSURFACEDESC2 PlainDescription(DWORD width, DWORD height, DWORD caps) {
    DDSURFACEDESC2 description = Described(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, caps);
    description.dwWidth = width;
    description.dwHeight = height;
    return description;
}

DDSURFACEDESC2 PrimaryDescription() {
    DDSURFACEDESC2 description = Described(DDSD_CAPS | DDSD_BACKBUFFERCOUNT,
                                           DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE);
    description.dwBackBufferCount = 1;
    return description;
}

HRESULT Fill(IDirectDrawSurface7* surface, uint32_t pixel, RECT* area) {
    DDBLTFX effects = {};
    effects.dwSize = sizeof(effects);
    effects.dwFillColor = pixel;
    return surface->Blt(area, nullptr, nullptr, DDBLT_COLORFILL, &effects);
}

void* ForEachPixel(IDirectDrawSurface7* surface, const std::function<void(int x, int y, uint32_t& pixel)>& visit) {
    DDSURFACEDESC2 locked = Described();
    if (surface->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr) != DD_OK) return nullptr;
    for (int y = 0; y < int(locked.dwHeight); ++y) {
        auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.lpSurface) + y * locked.lPitch);
        for (int x = 0; x < int(locked.dwWidth); ++x) visit(x, y, row[x]);
    }
    surface->Unlock(nullptr);
    return locked.lpSurface;
}

FreshDirectory::FreshDirectory(bool enter) {
    std::string pattern = (std::filesystem::path(testing::TempDir()) / "ravlin_XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        ADD_FAILURE() << "no directory made under " << testing::TempDir();
        return;
    }
    path = pattern;
    if (!enter) return;
    previous = std::filesystem::current_path();
    std::filesystem::current_path(path);
}

FreshDirectory::~FreshDirectory() {
    if (!previous.empty()) std::filesystem::current_path(previous);
    if (!path.empty()) std::filesystem::remove_all(path);
}

std::vector<uint8_t> Contents(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> Entries(const std::filesystem::path& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) names.push_back(entry.path().filename());
    return names;
}

TestSurface::TestSurface(int width, int height, uint32_t fill)
    : width(width), height(height), pixels(size_t(width) * height, fill) {
    dc = SoftSurfaceDcCreate(pixels.data(), width, height, width * 4);
}

TestSurface::~TestSurface() { DeleteDC(dc); }

int TestSurface::CountNot(uint32_t background) const {
    int count = 0;
    for (uint32_t p : pixels) count += p != background;
    return count;
}

std::string Fault::Name() const {
    std::string name = SoftOpName(operation);
    return target ? name + " " + target : name;
}

std::ostream& operator<<(std::ostream& out, const Fault& fault) { return out << fault.Name(); }

void FailOn(const Fault& fault, int nth, int64_t result, int times) {
    HeadlessFailOn(fault.Name().c_str(), nth, result, times);
}
