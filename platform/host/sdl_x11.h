// What the SDL host keeps of X where SDL draws on an X display, and the
// calls into sdl_x11.cpp, which holds all of the host's Xlib code.
#pragma once

#include <SDL.h>
#include <SDL_syswm.h>

#include <string>
#include <vector>

struct _XDisplay;
struct _XGC;

// What the host keeps of X, where SDL draws on an X display.
struct SdlX11State {
    // The host's own connection to SDL's X display, made before SDL's window,
    // to ask X what SDL does not pass on.
    _XDisplay* display = nullptr;
    bool windowManager = false;
    // The monitors, the primary first: the rectangles of the screen RandR
    // declares, or the screen where it declares none. The first is the
    // window's place.
    std::vector<SDL_Rect> monitors;
    // The window that had X's input focus before the host's window was made
    // (or PointerRoot, 1), and how X was to revert it; given back at the end.
    unsigned long focusBefore = 0;
    int focusRevertBefore = 0;
    // The type of RandR's event for a new size of the screen; 0 while unasked.
    int screenChangeEvent = 0;
    // Whether X refused a request the host made for itself (Xlib's error
    // handler takes no data of its own).
    bool errorCaught = false;
    // A window of another program's that frames go into (a screen saver's),
    // on a connection of its own, with the graphics context that draws
    // there; a null display while there is none.
    _XDisplay* foreignDisplay = nullptr;
    unsigned long foreignWindow = 0;
    _XGC* foreignContext = nullptr;
};

// Before SDL's video starts: the X display's loss ends
// the program with one line. Once it has started on X: the host's own
// connection, and what it reads there first (the window manager, the
// monitors), and where the display's own pixel format is one SDL cannot
// draw, a visual it can for SDL's windows; false elsewhere.
void SdlX11EndOnLoss();
void SdlX11Start();
// Just before the window is made: who has the focus, to give it back to at
// the end. Once it is made, hidden: asks the window manager, if any, for it
// to cover its monitor. Before it is given back: the focus, if the window
// has it, goes back to what had it.
void SdlX11NoteFocus();
void SdlX11AskFullScreen(SDL_Window* window);
void SdlX11GiveFocusBack();
// Shown again while no window has the focus (another program's window that
// had it went), the window takes it.
void SdlX11TakeFocusLeftToNoWindow();
// The window's pixel format in X's words (its depth and visual); "" off X.
std::string SdlX11PixelFormat();
// Fills `keys` with the keys down, as XQueryKeymap does; false off X.
bool SdlX11KeysDown(char (&keys)[32]);
// An X event SDL passed on: RandR's new size of the screen.
void SdlX11SystemEvent(const SDL_SysWMmsg& message);
