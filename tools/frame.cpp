// Renders one frame of the orbit scene with the software GDI and writes it as
// a 24-bit BMP, so that a person can look at it:
//   ravlin_frame FILE [WIDTH HEIGHT CLOCK SCALE]   (default 1024 768 0.1 1)
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "app/orbit.h"
#include "core/runtime.h"
#include "draw/context.h"
#include "platform/soft/soft.h"

namespace {

void PutLittleEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// X8R8G8B8 rows, top first, as a bottom-up 24-bit BMP.
bool WriteBmp(const char* path, const std::vector<uint32_t>& pixels, int width, int height) {
    const uint32_t rowBytes = 3 * width + (width & 3);
    std::vector<uint8_t> file;
    file.push_back('B');
    file.push_back('M');
    PutLittleEndian(file, 54 + rowBytes * height, 4);
    PutLittleEndian(file, 0, 4);
    PutLittleEndian(file, 54, 4);
    for (uint32_t field : {40u, uint32_t(width), uint32_t(height)}) PutLittleEndian(file, field, 4);
    PutLittleEndian(file, 1, 2);
    PutLittleEndian(file, 24, 2);
    for (int i = 0; i < 6; ++i) PutLittleEndian(file, 0, 4);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            uint32_t p = pixels[size_t(y) * width + x];
            file.push_back(uint8_t(p));
            file.push_back(uint8_t(p >> 8));
            file.push_back(uint8_t(p >> 16));
        }
        file.insert(file.end(), size_t(width & 3), 0);
    }
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    return bool(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 6) {
        std::fprintf(stderr, "usage: %s FILE [WIDTH HEIGHT CLOCK SCALE]\n", argv[0]);
        return 2;
    }
    int width = argc == 6 ? std::atoi(argv[2]) : 1024;
    int height = argc == 6 ? std::atoi(argv[3]) : 768;
    double clock = argc == 6 ? std::atof(argv[4]) : 0.1;
    float scale = argc == 6 ? float(std::atof(argv[5])) : 1.0f;
    if (width < 1 || height < 1 || width > 16384 || height > 16384) {
        std::fprintf(stderr, "ravlin_frame: the size must be 1 to 16384 pixels each way\n");
        return 2;
    }

    RuntimeStart();
    std::vector<uint32_t> pixels(size_t(width) * height, 0);
    DrawTarget target = {};
    target.kind = 0;  // a device context of our own, deleted when drawing ends
    target.dc = SoftSurfaceDcCreate(pixels.data(), width, height, width * 4);
    DrawBegin(&target);
    OrbitSceneDraw(clock, scale, width / 2, height / 2);
    DrawEnd();

    if (!WriteBmp(argv[1], pixels, width, height)) {
        std::fprintf(stderr, "ravlin_frame: cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("%s\n", argv[1]);
    return 0;
}
