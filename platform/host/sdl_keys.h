// The SDL host's key table: what DirectInput numbers each key, from the
// codes SDL and the X server give it.
#pragma once

#include <SDL.h>

// DirectInput's number of the key, or 0 for a key it has none for.
int KeyCodeOf(SDL_Scancode scancode);
// The same for an X key code, which the host reads for the keys held.
int KeyCodeOfX(int xKeycode);
