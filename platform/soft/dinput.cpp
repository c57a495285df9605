// The software DirectInput 7: the system keyboard as a 256-byte state and the
// system mouse as buffered relative events (and a 16-byte state), fed by the
// host's events as the user library's pump passes them on.
//
// The library's one record lists every DirectInput object and every device,
// and holds what the machine reports whether or not a device is acquired: the
// keys and buttons down, and the sequence counter that orders all events. A
// device sees events only while it is acquired; a foreground device loses its
// acquisition with the host's focus.
#include <algorithm>
#include <cstring>
#include <deque>
#include <new>
#include <vector>

#include "platform/host/host.h"
#include "platform/soft/internal.h"

// The properties' GUID references point here; only their addresses matter.
const GUID kSoftDirectInputProperties[16] = {};

namespace {

constexpr GUID kIidDirectInput7A = {0x9A4CB684, 0x236D, 0x11D3, {0x8E, 0x9D, 0x00, 0xC0, 0x4F, 0x68, 0x44, 0xAE}};
constexpr GUID kIidDirectInputDevice7A = {0x57D7C6BC, 0x2356, 0x11D3, {0x8E, 0x9D, 0x00, 0xC0, 0x4F, 0x68, 0x44, 0xAE}};
constexpr GUID kGuidSysKeyboard = {0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
constexpr GUID kGuidSysMouse = {0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
constexpr GUID kGuidKey = {0x55728220, 0xD33C, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
constexpr GUID kGuidXAxis = {0xA36D02E0, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
constexpr GUID kGuidYAxis = {0xA36D02E1, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
constexpr GUID kGuidZAxis = {0xA36D02E2, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

// The versions of DirectInput that were released up to this one; a program
// may ask for any of them.
constexpr DWORD kReleasedVersions[] = {0x0300, 0x0500, 0x050A, 0x05B2, 0x0602, 0x061A, 0x0700};
constexpr DWORD kThisVersion = 0x0700;

constexpr int kKeyCount = 256;
constexpr int kMouseButtons = 4;
constexpr DWORD kButtonDown = 0x80;

// The mouse's axes and buttons, as offsets into its one data format.
constexpr DWORD kMouseX = 0;
constexpr DWORD kMouseY = 4;
constexpr DWORD kMouseWheel = 8;
constexpr DWORD kFirstMouseButton = 12;
// One notch of the wheel.
constexpr DWORD kWheelGranularity = 120;

// What a mouse's GetDeviceState fills: the standard mouse format's 16 bytes.
struct MouseStateData {
    LONG x;
    LONG y;
    LONG z;
    BYTE buttons[kMouseButtons];
};
static_assert(sizeof(MouseStateData) == 16, "the standard mouse state is 16 bytes");

// An entry of a data format, as the one format each device accepts has it.
struct ObjectFormat {
    const GUID* guid;  // null: an object of no particular kind
    DWORD offset;
    DWORD type;
};

// The standard mouse format: three axes (the wheel optional), four buttons
// (the last two optional).
constexpr ObjectFormat kMouseObjects[] = {
    {&kGuidXAxis, kMouseX, DIDFT_AXIS | DIDFT_ANYINSTANCE},
    {&kGuidYAxis, kMouseY, DIDFT_AXIS | DIDFT_ANYINSTANCE},
    {&kGuidZAxis, kMouseWheel, DIDFT_OPTIONAL | DIDFT_AXIS | DIDFT_ANYINSTANCE},
    {nullptr, kFirstMouseButton, DIDFT_BUTTON | DIDFT_ANYINSTANCE},
    {nullptr, kFirstMouseButton + 1, DIDFT_BUTTON | DIDFT_ANYINSTANCE},
    {nullptr, kFirstMouseButton + 2, DIDFT_OPTIONAL | DIDFT_BUTTON | DIDFT_ANYINSTANCE},
    {nullptr, kFirstMouseButton + 3, DIDFT_OPTIONAL | DIDFT_BUTTON | DIDFT_ANYINSTANCE},
};

enum class DeviceKind { Keyboard, Mouse };

struct SoftDirectInput final : IDirectInput7A {
    HRESULT QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT CreateDeviceEx(REFGUID rguid, REFIID riid, LPVOID* pvOut, IUnknown* lpUnknownOuter) override;

    ULONG refs = 1;
};

struct SoftInputDevice final : IDirectInputDevice7A {
    explicit SoftInputDevice(DeviceKind kind) : kind(kind) {}

    HRESULT QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetProperty(REFGUID rguidProp, LPDIPROPHEADER pdiph) override;
    HRESULT SetProperty(REFGUID rguidProp, LPCDIPROPHEADER pdiph) override;
    HRESULT Acquire() override;
    HRESULT Unacquire() override;
    HRESULT GetDeviceState(DWORD cbData, LPVOID lpvData) override;
    HRESULT GetDeviceData(DWORD cbObjectData, LPDIDEVICEOBJECTDATA rgdod, LPDWORD pdwInOut, DWORD dwFlags) override;
    HRESULT SetDataFormat(LPCDIDATAFORMAT lpdf) override;
    HRESULT SetCooperativeLevel(HWND hwnd, DWORD dwFlags) override;

    DeviceKind kind;
    ULONG refs = 1;
    bool formatted = false;
    HWND window = nullptr;
    // DirectInput's level until the program sets one.
    DWORD level = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND;
    bool acquired = false;
    // Set when a focus loss took the acquisition away; the next read says so.
    bool inputLost = false;
    DWORD bufferSize = 0;  // events; 0: not buffered
    std::deque<DIDEVICEOBJECTDATA> buffered;
    // Events arrived while the buffer was full and were dropped.
    bool overflowed = false;
    // The mouse's axis counts since its state was last read.
    LONG moved[3] = {};
    // Keys (the keyboard's, by scan code) or buttons (the mouse's) pressed
    // since the state was last read: a tap between two reads shows as down
    // at the first of them and up at the next.
    bool pressedUnread[kKeyCount] = {};
};

struct DirectInputState {
    std::vector<SoftDirectInput*> objects;
    std::vector<SoftInputDevice*> devices;
    // What the machine reports, acquired or not.
    bool keysDown[kKeyCount] = {};  // by DirectInput scan code
    bool buttonsDown[kMouseButtons] = {};
    // One counter for the events of every device.
    DWORD sequence = 0;
};

// Objects the runtime never releases stay reachable from the record, which
// therefore lives until the process ends.
SoftLasting<DirectInputState> DinputRecord;
DirectInputState& Dinput = DinputRecord.record;

// ---- helpers --------------------------------------------------------------

HRESULT CheckVersion(DWORD version) {
    if (version == 0) return DIERR_NOTINITIALIZED;
    // A program written for a later DirectInput needs that DirectInput.
    if (version > kThisVersion) return DIERR_OLDDIRECTINPUTVERSION;
    bool released =
        std::find(std::begin(kReleasedVersions), std::end(kReleasedVersions), version) != std::end(kReleasedVersions);
    return released ? DI_OK : DIERR_BETADIRECTINPUTVERSION;
}

// ---- data formats ---------------------------------------------------------

bool HeaderIs(const DIDATAFORMAT& format, DWORD dataSize, DWORD objectCount) {
    return format.dwSize == sizeof(DIDATAFORMAT) && format.dwObjSize == sizeof(DIOBJECTDATAFORMAT) &&
           format.dwFlags == DIDF_RELAXIS && format.dwDataSize == dataSize && format.dwNumObjs == objectCount &&
           format.rgodf;
}

// GUIDs are compared by value: the program defines its own copies.
bool ObjectIs(const DIOBJECTDATAFORMAT& object, const ObjectFormat& expected) {
    bool sameKind = expected.guid ? object.pguid && SoftSameGuid(*object.pguid, *expected.guid) : !object.pguid;
    return sameKind && object.dwOfs == expected.offset && object.dwType == expected.type && object.dwFlags == 0;
}

// The standard keyboard format: 256 optional keys, key i at byte i.
bool IsKeyboardFormat(const DIDATAFORMAT& format) {
    if (!HeaderIs(format, kKeyCount, kKeyCount)) return false;
    for (DWORD i = 0; i < kKeyCount; ++i) {
        ObjectFormat key = {&kGuidKey, i, DIDFT_OPTIONAL | DIDFT_BUTTON | DWORD(DIDFT_MAKEINSTANCE(i))};
        if (!ObjectIs(format.rgodf[i], key)) return false;
    }
    return true;
}

bool IsMouseFormat(const DIDATAFORMAT& format) {
    constexpr DWORD objectCount = sizeof(kMouseObjects) / sizeof(kMouseObjects[0]);
    if (!HeaderIs(format, sizeof(MouseStateData), objectCount)) return false;
    for (DWORD i = 0; i < objectCount; ++i) {
        if (!ObjectIs(format.rgodf[i], kMouseObjects[i])) return false;
    }
    return true;
}

DWORD StateSize(DeviceKind kind) { return kind == DeviceKind::Keyboard ? kKeyCount : sizeof(MouseStateData); }

// ---- acquisition ----------------------------------------------------------

bool HoldsExclusively(const SoftInputDevice& device, DeviceKind kind) {
    return device.kind == kind && device.acquired && (device.level & DISCL_EXCLUSIVE);
}

// Whether another device of this kind holds the machine's device exclusively.
bool ExclusivelyHeldByAnother(const SoftInputDevice* asking) {
    return std::any_of(Dinput.devices.begin(), Dinput.devices.end(), [asking](const SoftInputDevice* device) {
        return device != asking && HoldsExclusively(*device, asking->kind);
    });
}

// The user library makes no window active while the host lacks the focus, so
// an active cooperative window means both.
bool InForeground(const SoftInputDevice& device) { return device.window && SoftActiveWindow() == device.window; }

// DI_OK while acquired. A device that lost its acquisition to a focus loss
// says so once; after that, and when it was never acquired or was given
// back, it is simply not acquired.
HRESULT Holding(SoftInputDevice& device) {
    if (device.acquired) return DI_OK;
    if (!device.inputLost) return DIERR_NOTACQUIRED;
    device.inputLost = false;
    return DIERR_INPUTLOST;
}

// ---- events ---------------------------------------------------------------

void Buffer(SoftInputDevice& device, DWORD offset, DWORD data, DWORD time, DWORD sequence) {
    if (device.bufferSize == 0) return;
    if (device.buffered.size() >= device.bufferSize) {
        device.overflowed = true;
        return;
    }
    device.buffered.push_back({offset, data, time, sequence});
}

// Counts wrap around as the hardware's do, never overflowing.
void Count(LONG& total, DWORD counts) { total = LONG(DWORD(total) + counts); }

// Gives one event to every acquired device of the kind.
void Deliver(DeviceKind kind, DWORD offset, DWORD data, DWORD sequence) {
    DWORD time = SoftTickCount();
    for (SoftInputDevice* device : Dinput.devices) {
        if (device->kind != kind || !device->acquired) continue;
        if (kind == DeviceKind::Mouse && offset <= kMouseWheel) {
            Count(device->moved[offset / 4], data);
        } else if (data == kButtonDown) {
            device->pressedUnread[kind == DeviceKind::Mouse ? offset - kFirstMouseButton : offset] = true;
        }
        Buffer(*device, offset, data, time, sequence);
    }
}

// Host key repeats are no change, and make no event.
void KeyChanged(int32_t code, bool down) {
    if (code < 0 || code >= kKeyCount || Dinput.keysDown[code] == down) return;
    Dinput.keysDown[code] = down;
    Deliver(DeviceKind::Keyboard, DWORD(code), down ? kButtonDown : 0, ++Dinput.sequence);
}

// The axes of one movement happen at once, so they share a sequence number.
void MouseMoved(int32_t x, int32_t y) {
    if (x == 0 && y == 0) return;
    DWORD sequence = ++Dinput.sequence;
    if (x != 0) Deliver(DeviceKind::Mouse, kMouseX, DWORD(x), sequence);
    if (y != 0) Deliver(DeviceKind::Mouse, kMouseY, DWORD(y), sequence);
}

void WheelTurned(int32_t counts) {
    if (counts != 0) Deliver(DeviceKind::Mouse, kMouseWheel, DWORD(counts), ++Dinput.sequence);
}

// Buttons are numbered from 1.
void ButtonChanged(int32_t button, bool down) {
    if (button < 1 || button > kMouseButtons || Dinput.buttonsDown[button - 1] == down) return;
    Dinput.buttonsDown[button - 1] = down;
    Deliver(DeviceKind::Mouse, kFirstMouseButton + DWORD(button - 1), down ? kButtonDown : 0, ++Dinput.sequence);
}

void FocusLost() {
    for (SoftInputDevice* device : Dinput.devices) {
        // Keys and buttons released elsewhere never come back as releases,
        // so they all read as up from now on.
        std::fill(std::begin(device->pressedUnread), std::end(device->pressedUnread), false);
        if (!device->acquired || !(device->level & DISCL_FOREGROUND)) continue;
        device->acquired = false;
        device->inputLost = true;
    }
    std::fill(std::begin(Dinput.keysDown), std::end(Dinput.keysDown), false);
    std::fill(std::begin(Dinput.buttonsDown), std::end(Dinput.buttonsDown), false);
}

// ---- reading --------------------------------------------------------------

// A key is down if it is held, or was pressed since the last read.
void ReadKeyboard(SoftInputDevice& device, BYTE* keys) {
    for (int i = 0; i < kKeyCount; ++i) keys[i] = Dinput.keysDown[i] || device.pressedUnread[i] ? kButtonDown : 0;
    std::fill(std::begin(device.pressedUnread), std::end(device.pressedUnread), false);
}

// The axes count what moved since the last read of the state; the buttons
// are read as the keyboard's keys are.
void ReadMouse(SoftInputDevice& device, MouseStateData* state) {
    state->x = device.moved[0];
    state->y = device.moved[1];
    state->z = device.moved[2];
    for (int i = 0; i < kMouseButtons; ++i) {
        state->buttons[i] = Dinput.buttonsDown[i] || device.pressedUnread[i] ? kButtonDown : 0;
    }
    std::fill(std::begin(device.moved), std::end(device.moved), 0);
    std::fill(std::begin(device.pressedUnread), std::end(device.pressedUnread), false);
}

// Takes up to `room` events out of the buffer (only looks, when peeking),
// copying them where the caller asked. A read that is not a peek also takes
// the news of an overflow.
HRESULT TakeEvents(SoftInputDevice& device, DIDEVICEOBJECTDATA* events, DWORD* room, bool peek) {
    DWORD count = std::min<DWORD>(*room, DWORD(device.buffered.size()));
    if (events) std::copy_n(device.buffered.begin(), count, events);
    HRESULT result = device.overflowed ? DI_BUFFEROVERFLOW : DI_OK;
    if (!peek) {
        device.buffered.erase(device.buffered.begin(), device.buffered.begin() + count);
        device.overflowed = false;
    }
    *room = count;
    return result;
}

// The wheel's steps are notches; the other axes count single steps. Buttons
// have no granularity.
HRESULT Granularity(const SoftInputDevice& device, DWORD offset, DWORD* value) {
    if (device.kind != DeviceKind::Mouse || !device.formatted) return DIERR_OBJECTNOTFOUND;
    if (offset == kMouseX || offset == kMouseY) {
        *value = 1;
        return DI_OK;
    }
    if (offset != kMouseWheel) return DIERR_OBJECTNOTFOUND;
    *value = kWheelGranularity;
    return DI_OK;
}

bool IsDwordProperty(const DIPROPHEADER& header) {
    return header.dwSize == sizeof(DIPROPDWORD) && header.dwHeaderSize == sizeof(DIPROPHEADER);
}

bool NamesTheDevice(const DIPROPHEADER& header) { return header.dwHow == DIPH_DEVICE && header.dwObj == 0; }

// Exactly one of the two flags.
bool OneOf(DWORD flags, DWORD first, DWORD second) { return ((flags & first) != 0) != ((flags & second) != 0); }

}  // namespace

// ---- IDirectInput7 --------------------------------------------------------

HRESULT WINAPI DirectInputCreateEx(HINSTANCE hinst, DWORD dwVersion, REFIID riidltf, LPVOID* ppvOut,
                                   IUnknown* punkOuter) {
    if (ppvOut) *ppvOut = nullptr;
    if (HRESULT failed; SoftFaulted(SoftOp::DirectInputCreateEx, &failed)) return failed;
    if (!ppvOut || !hinst) return DIERR_INVALIDPARAM;
    if (punkOuter) return DIERR_NOAGGREGATION;
    if (HRESULT version = CheckVersion(dwVersion); version != DI_OK) return version;
    if (!SoftSameGuid(riidltf, kIidDirectInput7A)) return DIERR_NOINTERFACE;
    auto* object = new (std::nothrow) SoftDirectInput;
    if (!object) return DIERR_OUTOFMEMORY;
    Dinput.objects.push_back(object);
    *ppvOut = static_cast<IDirectInput7A*>(object);
    return DI_OK;
}

HRESULT SoftDirectInput::QueryInterface(REFIID riid, void** ppvObject) {
    return SoftQueryInterface<IDirectInput7A>(this, SoftOp::IDirectInput7_QueryInterface, kIidDirectInput7A, riid, ppvObject);
}

ULONG SoftDirectInput::AddRef() { return ++refs; }

// Devices need nothing of the object that made them, and outlive it.
ULONG SoftDirectInput::Release() { return SoftRelease(this, Dinput.objects); }

HRESULT SoftDirectInput::CreateDeviceEx(REFGUID rguid, REFIID riid, LPVOID* pvOut, IUnknown* lpUnknownOuter) {
    if (pvOut) *pvOut = nullptr;
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectInput7_CreateDeviceEx, &failed)) return failed;
    if (!pvOut) return DIERR_INVALIDPARAM;
    if (lpUnknownOuter) return DIERR_NOAGGREGATION;
    if (!SoftSameGuid(riid, kIidDirectInputDevice7A)) return DIERR_NOINTERFACE;
    bool keyboard = SoftSameGuid(rguid, kGuidSysKeyboard);
    if (!keyboard && !SoftSameGuid(rguid, kGuidSysMouse)) return DIERR_DEVICENOTREG;
    auto* device = new (std::nothrow) SoftInputDevice(keyboard ? DeviceKind::Keyboard : DeviceKind::Mouse);
    if (!device) return DIERR_OUTOFMEMORY;
    Dinput.devices.push_back(device);
    *pvOut = static_cast<IDirectInputDevice7A*>(device);
    return DI_OK;
}

// ---- IDirectInputDevice7: set-up ------------------------------------------

HRESULT SoftInputDevice::QueryInterface(REFIID riid, void** ppvObject) {
    return SoftQueryInterface<IDirectInputDevice7A>(this, SoftOp::IDirectInputDevice7_QueryInterface, kIidDirectInputDevice7A, riid, ppvObject);
}

ULONG SoftInputDevice::AddRef() { return ++refs; }

ULONG SoftInputDevice::Release() { return SoftRelease(this, Dinput.devices); }

// Each device takes the one standard format of its kind, checked field by
// field.
HRESULT SoftInputDevice::SetDataFormat(LPCDIDATAFORMAT lpdf) {
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectInputDevice7_SetDataFormat, &failed)) return failed;
    if (!lpdf) return DIERR_INVALIDPARAM;
    if (acquired) return DIERR_ACQUIRED;
    bool standard = kind == DeviceKind::Keyboard ? IsKeyboardFormat(*lpdf) : IsMouseFormat(*lpdf);
    if (!standard) return DIERR_INVALIDPARAM;
    formatted = true;
    return DI_OK;
}

// Exclusive background access to the keyboard or the mouse is not offered by
// DirectInput; the Windows key can be kept only from the keyboard.
HRESULT SoftInputDevice::SetCooperativeLevel(HWND hwnd, DWORD dwFlags) {
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectInputDevice7_SetCooperativeLevel, &failed)) return failed;
    DWORD known = DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND |
                  (kind == DeviceKind::Keyboard ? DISCL_NOWINKEY : 0);
    if (!SoftWindowExists(hwnd) || (dwFlags & ~known)) return DIERR_INVALIDPARAM;
    if (!OneOf(dwFlags, DISCL_EXCLUSIVE, DISCL_NONEXCLUSIVE) || !OneOf(dwFlags, DISCL_FOREGROUND, DISCL_BACKGROUND)) {
        return DIERR_INVALIDPARAM;
    }
    if ((dwFlags & DISCL_EXCLUSIVE) && (dwFlags & DISCL_BACKGROUND)) return DIERR_UNSUPPORTED;
    if (acquired) return DIERR_ACQUIRED;
    window = hwnd;
    level = dwFlags;
    return DI_OK;
}

// Properties are named by small numbers in the place of a GUID's address.
// Setting the buffer size to the size it has is still DI_OK: a program that
// prepares its device again expects that.
HRESULT SoftInputDevice::SetProperty(REFGUID rguidProp, LPCDIPROPHEADER pdiph) {
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectInputDevice7_SetProperty, &failed)) return failed;
    if (!pdiph || pdiph->dwHeaderSize != sizeof(DIPROPHEADER)) return DIERR_INVALIDPARAM;
    if (&rguidProp != &DIPROP_BUFFERSIZE) return DIERR_UNSUPPORTED;
    if (!IsDwordProperty(*pdiph) || !NamesTheDevice(*pdiph)) return DIERR_INVALIDPARAM;
    if (acquired) return DIERR_ACQUIRED;
    bufferSize = reinterpret_cast<const DIPROPDWORD*>(pdiph)->dwData;
    buffered.clear();
    overflowed = false;
    return DI_OK;
}

HRESULT SoftInputDevice::GetProperty(REFGUID rguidProp, LPDIPROPHEADER pdiph) {
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectInputDevice7_GetProperty, &failed)) return failed;
    if (!pdiph || pdiph->dwHeaderSize != sizeof(DIPROPHEADER)) return DIERR_INVALIDPARAM;
    bool bufferSizeAsked = &rguidProp == &DIPROP_BUFFERSIZE;
    if (!bufferSizeAsked && &rguidProp != &DIPROP_GRANULARITY) return DIERR_UNSUPPORTED;
    if (!IsDwordProperty(*pdiph)) return DIERR_INVALIDPARAM;
    DWORD* value = &reinterpret_cast<DIPROPDWORD*>(pdiph)->dwData;
    if (bufferSizeAsked) {
        if (!NamesTheDevice(*pdiph)) return DIERR_INVALIDPARAM;
        *value = bufferSize;
        return DI_OK;
    }
    if (pdiph->dwHow != DIPH_BYOFFSET) return DIERR_INVALIDPARAM;
    return Granularity(*this, pdiph->dwObj, value);
}

// ---- IDirectInputDevice7: acquisition -------------------------------------

// A fresh acquisition starts with an empty buffer and no movement: what
// happened while the device was not held is not its input.
HRESULT SoftInputDevice::Acquire() {
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectInputDevice7_Acquire, &failed)) return failed;
    if (!formatted) return DIERR_INVALIDPARAM;
    if (acquired) return S_FALSE;
    if ((level & DISCL_FOREGROUND) && !InForeground(*this)) return DIERR_OTHERAPPHASPRIO;
    if ((level & DISCL_EXCLUSIVE) && ExclusivelyHeldByAnother(this)) return DIERR_OTHERAPPHASPRIO;
    acquired = true;
    inputLost = false;
    buffered.clear();
    overflowed = false;
    std::fill(std::begin(moved), std::end(moved), 0);
    std::fill(std::begin(pressedUnread), std::end(pressedUnread), false);
    return DI_OK;
}

HRESULT SoftInputDevice::Unacquire() {
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectInputDevice7_Unacquire, &failed)) return failed;
    // Given back by the program, the device is no longer told lost.
    inputLost = false;
    if (!acquired) return DI_NOEFFECT;
    acquired = false;
    return DI_OK;
}

// ---- IDirectInputDevice7: reading -----------------------------------------

HRESULT SoftInputDevice::GetDeviceState(DWORD cbData, LPVOID lpvData) {
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectInputDevice7_GetDeviceState, &failed)) return failed;
    if (!lpvData || cbData != StateSize(kind)) return DIERR_INVALIDPARAM;
    if (HRESULT held = Holding(*this); held != DI_OK) return held;
    if (kind == DeviceKind::Mouse) {
        ReadMouse(*this, static_cast<MouseStateData*>(lpvData));
    } else {
        ReadKeyboard(*this, static_cast<BYTE*>(lpvData));
    }
    return DI_OK;
}

// A null array takes the events all the same: with a count of INFINITE and
// no flags, that empties the buffer.
HRESULT SoftInputDevice::GetDeviceData(DWORD cbObjectData, LPDIDEVICEOBJECTDATA rgdod, LPDWORD pdwInOut,
                                       DWORD dwFlags) {
    DWORD room = pdwInOut ? *pdwInOut : 0;
    if (pdwInOut) *pdwInOut = 0;
    if (HRESULT failed; SoftFaulted(SoftOp::IDirectInputDevice7_GetDeviceData, &failed)) return failed;
    if (!pdwInOut || cbObjectData != sizeof(DIDEVICEOBJECTDATA) || (dwFlags & ~DIGDD_PEEK)) {
        return DIERR_INVALIDPARAM;
    }
    if (HRESULT held = Holding(*this); held != DI_OK) return held;
    if (bufferSize == 0) return DIERR_NOTBUFFERED;
    *pdwInOut = room;
    return TakeEvents(*this, rgdod, pdwInOut, (dwFlags & DIGDD_PEEK) != 0);
}

// ---- the layer's other libraries and tests --------------------------------

void SoftInputEvent(const HostEvent& event) {
    switch (event.type) {
        case HostEventType::KeyDown:
        case HostEventType::KeyHeld:
            KeyChanged(event.code, true);
            break;
        case HostEventType::KeyUp:
            KeyChanged(event.code, false);
            break;
        case HostEventType::MouseMove:
            MouseMoved(event.x, event.y);
            break;
        case HostEventType::MouseButton:
            ButtonChanged(event.code, event.x != 0);
            break;
        case HostEventType::MouseWheel:
            WheelTurned(event.code);
            break;
        case HostEventType::FocusLost:
            FocusLost();
            break;
        // The program acquires its devices again when the focus is back.
        case HostEventType::FocusGained:
        case HostEventType::Close:
            break;
    }
}

void SoftInputReset() {
    std::fill(std::begin(Dinput.keysDown), std::end(Dinput.keysDown), false);
    std::fill(std::begin(Dinput.buttonsDown), std::end(Dinput.buttonsDown), false);
}

SoftDirectInputView SoftDirectInputViewNow() {
    return {static_cast<int>(Dinput.objects.size()), static_cast<int>(Dinput.devices.size())};
}
