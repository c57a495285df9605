// The web host's key table.
#pragma once

#include <cstdint>
#include <span>

struct WebKey {
    const char* name;  // KeyboardEvent.code
    uint8_t code;      // as DirectInput numbers the key
};

// Every key the page can name, some under two names.
std::span<const WebKey> WebKeys();
