#include "support/fixture.h"

#include "platform/host/headless.h"
#include "platform/soft/soft.h"
#include "runtime/lifecycle.h"

void RuntimeTest::SetUp() {
    HeadlessReset();
    RuntimeStart();
}

void RuntimeTest::TearDown() {
    ForgetTheRuntime();
    HeadlessReset();
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
