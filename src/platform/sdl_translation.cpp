// sdl_translation.cpp — the SDL layer's decisions that need no display: key codes, system keys,
// display-mode choice, event translation.
#include "platform/sdl_translation.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/virtual_keys.h"

// ---------------------------------------------------------------------------------------------
// Key codes
//
// The key table is indexed by the desktop's virtual-key codes. Those follow the layout for
// letters (a German user's Z is the key labelled Z) but name the top row 0..9 on every Latin
// layout, even where it types accented letters without Shift. Non-Latin layouts (Cyrillic,
// Greek) still give letter codes by position, so the arrow-and-letter bindings work everywhere.
// ---------------------------------------------------------------------------------------------

static uint8_t virtualKeyForNamedKey(SDL_Keycode keycode) {
    static const std::pair<SDL_Keycode, uint8_t> namedKeys[] = {
        {SDLK_BACKSPACE, virtualKeyBackspace},
        {SDLK_TAB, virtualKeyTab},
        {SDLK_RETURN, virtualKeyEnter},
        {SDLK_KP_ENTER, virtualKeyEnter},
        {SDLK_LSHIFT, virtualKeyShift},
        {SDLK_RSHIFT, virtualKeyShift},
        {SDLK_LCTRL, virtualKeyControl},
        {SDLK_RCTRL, virtualKeyControl},
        {SDLK_LALT, virtualKeyAlt},
        {SDLK_RALT, virtualKeyAlt},
        {SDLK_ESCAPE, virtualKeyEscape},
        {SDLK_SPACE, virtualKeySpace},
        {SDLK_LEFT, virtualKeyLeft},
        {SDLK_UP, virtualKeyUp},
        {SDLK_RIGHT, virtualKeyRight},
        {SDLK_DOWN, virtualKeyDown}};
    for (const auto& [named, virtualKey] : namedKeys)
        if (keycode == named) return virtualKey;
    if (keycode >= SDLK_F1 && keycode <= SDLK_F12)
        return static_cast<uint8_t>(virtualKeyF1 + (keycode - SDLK_F1));
    return 0;
}

uint8_t virtualKeyForSdlKey(SDL_Keycode keycode, SDL_Scancode scancode) {
    if (uint8_t named = virtualKeyForNamedKey(keycode)) return named;
    // SDL numbers the top row 1..9, then 0.
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) {
        return static_cast<uint8_t>(virtualKey0 + 1 + (scancode - SDL_SCANCODE_1));
    }
    if (scancode == SDL_SCANCODE_0) return virtualKey0;
    if (keycode >= SDLK_a && keycode <= SDLK_z) {
        return static_cast<uint8_t>(virtualKeyA + (keycode - SDLK_a));
    }
    // A letter key of a layout that types no Latin letters: a character beyond ASCII that is not
    // one of SDL's scancode-based key names.
    bool nonLatinCharacter = keycode >= 0x80 && (keycode & SDLK_SCANCODE_MASK) == 0;
    if (nonLatinCharacter && scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) {
        return static_cast<uint8_t>(virtualKeyA + (scancode - SDL_SCANCODE_A));
    }
    return 0;
}

// Keys pressed with Alt held (unless Control is held too, which makes AltGr combinations
// ordinary keys), the Alt key itself, and F10: the desktop's keys, never the program's.
static bool isSystemKey(uint8_t virtualKey, uint16_t modifiers) {
    if (virtualKey == virtualKeyF10) return true;
    bool altHeld = (modifiers & KMOD_ALT) != 0 || virtualKey == virtualKeyAlt;
    bool controlHeld = (modifiers & KMOD_CTRL) != 0;
    return altHeld && !controlHeld;
}

WindowSystem windowSystemOfDriver(const char* driver) {
    return driver != nullptr && std::strcmp(driver, "x11") == 0 ? WindowSystem::x11
                                                                : WindowSystem::other;
}

int takeReleasesOfClosedWindow(WindowSystem system, uint8_t* keys, int room) {
    if (system != WindowSystem::x11) return 0;
    SDL_Event releases[mostReleasesOfClosedWindow];
    int count = SDL_PeepEvents(releases, std::min(room, mostReleasesOfClosedWindow), SDL_GETEVENT,
                               SDL_KEYUP, SDL_KEYUP);
    for (int i = 0; i < count; ++i) {
        const SDL_Keysym& key = releases[i].key.keysym;
        keys[i] = virtualKeyForSdlKey(key.sym, key.scancode);
    }
    return count < 0 ? 0 : count;
}

// ---------------------------------------------------------------------------------------------
// Display modes
// ---------------------------------------------------------------------------------------------

static int findDisplayMode(const SDL_DisplayMode* modes, int modeCount, int32_t width,
                           int32_t height, int32_t bits) {
    for (int i = 0; i < modeCount; ++i) {
        const SDL_DisplayMode& mode = modes[i];
        if (mode.w == width && mode.h == height &&
            static_cast<int32_t>(SDL_BITSPERPIXEL(mode.format)) == bits) {
            return i;
        }
    }
    return -1;
}

int chooseDisplayMode(const SDL_DisplayMode* modes, int modeCount, int32_t width, int32_t height,
                      int32_t bits, int32_t desktopBits) {
    int index = findDisplayMode(modes, modeCount, width, height, bits);
    if (index < 0) index = findDisplayMode(modes, modeCount, width, height, desktopBits);
    return index;
}

// ---------------------------------------------------------------------------------------------
// Events
// ---------------------------------------------------------------------------------------------

static bool translateKeyEvent(const SDL_KeyboardEvent& key, PlatformEvent* out) {
    bool down = key.type == SDL_KEYDOWN;
    uint8_t virtualKey = virtualKeyForSdlKey(key.keysym.sym, key.keysym.scancode);
    if (virtualKey == 0 && down) return false;
    if (virtualKey != 0 && isSystemKey(virtualKey, key.keysym.mod)) {
        // Alt+F4 asks the window to close, as everywhere on the desktop; the other system keys
        // (Alt combinations, F10) are the desktop's and never reach the key table.
        if (!down || virtualKey != virtualKeyF4 || (key.keysym.mod & KMOD_ALT) == 0) return false;
        *out = {EventKind::closeRequested, 0, 0, 0};
        return true;
    }
    // A key without a code touches no entry of the key table, but its release still counts as a
    // release, which stops the walk and strafe directions.
    *out = {down ? EventKind::keyDown : EventKind::keyUp, virtualKey, 0, 0};
    return true;
}

static bool translateWindowEvent(const SDL_WindowEvent& event, bool* minimised,
                                 PlatformEvent* out) {
    switch (event.event) {
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            *out = {EventKind::resized, 0, event.data1, event.data2};
            return true;
        case SDL_WINDOWEVENT_MINIMIZED:
            *minimised = true;
            *out = {EventKind::minimised, 0, 0, 0};
            return true;
        case SDL_WINDOWEVENT_MAXIMIZED:
            *minimised = false;
            return false;
        case SDL_WINDOWEVENT_RESTORED:
            if (!*minimised) return false;
            *minimised = false;
            *out = {EventKind::restored, 0, 0, 0};
            return true;
        case SDL_WINDOWEVENT_CLOSE:
            *out = {EventKind::closeRequested, 0, 0, 0};
            return true;
        default:
            return false;
    }
}

bool translateSdlEvent(const SDL_Event& event, bool* minimised, PlatformEvent* out) {
    switch (event.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            return translateKeyEvent(event.key, out);
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            if (event.button.button != SDL_BUTTON_RIGHT) return false;
            *out = {event.type == SDL_MOUSEBUTTONDOWN ? EventKind::rightButtonDown
                                                      : EventKind::rightButtonUp,
                    0, 0, 0};
            return true;
        case SDL_WINDOWEVENT:
            return translateWindowEvent(event.window, minimised, out);
        case SDL_QUIT:
            // An interrupt from the terminal asks the window to close like its close button, so
            // that the display mode is restored.
            *out = {EventKind::closeRequested, 0, 0, 0};
            return true;
        default:
            return false;
    }
}
