#include "display/gamma.h"

#include "core/guids.h"
#include "display/screen.h"

DDGAMMARAMP GammaSavedRamp;

namespace {

// Levels run from 0 to 255. One below 0 caps as 0 does; one above 255 caps
// at more than any entry holds, so at nothing.
void Cap(WORD* working, const WORD* saved, int32_t level) {
    int64_t cap = int64_t{level < 0 ? 0 : level} * 256;
    for (int i = 0; i < 256; ++i) {
        if (cap < int64_t{saved[i]}) working[i] = static_cast<WORD>(cap);
    }
}

int32_t WriteCappedRamp(IDirectDrawGammaControl* gamma, int32_t red, int32_t green, int32_t blue) {
    DDGAMMARAMP working;
    for (int i = 0; i < 256; ++i) {
        working.red[i] = 65025;
        working.green[i] = 0;
        working.blue[i] = 0;
    }
    // A failed read leaves the starting ramp, unreported.
    gamma->GetGammaRamp(0, &working);
    Cap(working.red, GammaSavedRamp.red, red);
    Cap(working.green, GammaSavedRamp.green, green);
    Cap(working.blue, GammaSavedRamp.blue, blue);
    return gamma->SetGammaRamp(0, &working) == DD_OK;
}

}  // namespace

int32_t GammaRampSet(int32_t red, int32_t green, int32_t blue, int32_t save) {
    // Without an open screen there is no surface to ask.
    if (!ScreenState.frontSurface) return 0;
    IDirectDrawGammaControl* gamma = nullptr;
    if (ScreenState.frontSurface->QueryInterface(kIidDirectDrawGammaControl, reinterpret_cast<void**>(&gamma)) !=
            DD_OK ||
        !gamma) {
        return 0;
    }
    int32_t result = save ? gamma->GetGammaRamp(0, &GammaSavedRamp) == DD_OK : WriteCappedRamp(gamma, red, green, blue);
    gamma->Release();
    return result;
}
