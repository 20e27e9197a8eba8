// sdl_translation_test.cpp — the SDL layer's decisions without a display: keys, modes, events.
#include "platform/sdl_translation.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/virtual_keys.h"

static SDL_Event keyEvent(uint32_t type, SDL_Keycode keycode, SDL_Scancode scancode,
                          uint16_t modifiers = 0, bool repeat = false) {
    SDL_Event event{type};
    event.key.repeat = repeat;
    event.key.keysym = {scancode, keycode, modifiers, 0};
    return event;
}

// Letters follow the layout (German "Z" at the US "Y" key), or the key's position on a layout
// without Latin letters (Cyrillic); digits always follow the position (Slovak "+" on the "1" key).
TEST(KeyCodes, EveryLetterAndDigitHasItsCode) {
    for (int i = 0; i < 26; ++i) {
        EXPECT_EQ(virtualKeyForSdlKey(SDLK_a + i, SDL_SCANCODE_Y), virtualKeyA + i);
        EXPECT_EQ(virtualKeyForSdlKey(0x0430 + i, SDL_Scancode(SDL_SCANCODE_A + i)),
                  virtualKeyA + i);
        if (i < 10)  // the top row: 1 to 9, then 0
            EXPECT_EQ(virtualKeyForSdlKey(SDLK_PLUS, SDL_Scancode(SDL_SCANCODE_1 + i)),
                      virtualKey0 + (i + 1) % 10);
    }
}

static SDL_Event windowEvent(uint8_t which, int32_t width = 0, int32_t height = 0) {
    SDL_Event event{SDL_WINDOWEVENT};
    event.window.event = which;
    event.window.data1 = width;
    event.window.data2 = height;
    return event;
}

TEST(DisplayModeChoice, ExactDepthThenDesktopDepthElseRefused) {
    const SDL_DisplayMode modes[] = {{SDL_PIXELFORMAT_RGB888, 1024, 768, 60, nullptr},
                                     {SDL_PIXELFORMAT_RGB888, 800, 600, 75, nullptr},
                                     {SDL_PIXELFORMAT_RGB888, 800, 600, 60, nullptr},
                                     {SDL_PIXELFORMAT_RGB565, 800, 600, 60, nullptr},
                                     {SDL_PIXELFORMAT_RGB565, 640, 480, 60, nullptr}};
    EXPECT_EQ(chooseDisplayMode(modes, 5, 800, 600, 16, 24), 3);
    EXPECT_EQ(chooseDisplayMode(modes, 3, 800, 600, 16, 24), 1) << "desktop depth, first listed";
    EXPECT_EQ(chooseDisplayMode(modes, 5, 1024, 768, 16, 24), 0);
    EXPECT_EQ(chooseDisplayMode(modes, 5, 640, 480, 32, 24), -1) << "only at a third depth";
    EXPECT_EQ(chooseDisplayMode(modes, 5, 1280, 1024, 16, 24), -1);
    EXPECT_EQ(chooseDisplayMode(modes + 3, 2, 800, 600, 16, 24), 0) << "the exact depth, first";
}

// Each event in turn as the program gets it: kind and key, or nothing.
TEST(EventTranslation, KeysButtonsAndWindowChangesBecomeProgramEvents) {
    bool minimised = false;
    SDL_Event rightButton{SDL_MOUSEBUTTONDOWN}, leftButton{SDL_MOUSEBUTTONDOWN};
    rightButton.button.button = SDL_BUTTON_RIGHT;
    leftButton.button.button = SDL_BUTTON_LEFT;
    const std::pair<SDL_Event, std::string> sequence[] = {
        // Keys outside the bindings' codes give none (letters and digits: the test below).
        {keyEvent(SDL_KEYDOWN, SDLK_SEMICOLON, SDL_SCANCODE_M), ""},
        {keyEvent(SDL_KEYDOWN, SDLK_F12, SDL_SCANCODE_F12), "down 123"},
        {keyEvent(SDL_KEYDOWN, SDLK_LEFT, SDL_SCANCODE_LEFT), "down 37"},
        {keyEvent(SDL_KEYDOWN, SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER), "down 13"},
        {keyEvent(SDL_KEYDOWN, SDLK_RSHIFT, SDL_SCANCODE_RSHIFT), "down 16"},
        {keyEvent(SDL_KEYDOWN, SDLK_RCTRL, SDL_SCANCODE_RCTRL), "down 17"},
        {keyEvent(SDL_KEYDOWN, SDLK_F13, SDL_SCANCODE_F13), ""},
        // Auto-repeat is another key-down; Alt combinations and F10 belong to the desktop, but
        // Alt+F4 closes the window.
        {keyEvent(SDL_KEYDOWN, SDLK_UP, SDL_SCANCODE_UP, 0, true), "down 38"},
        {keyEvent(SDL_KEYDOWN, SDLK_e, SDL_SCANCODE_E, KMOD_LALT), ""},
        {keyEvent(SDL_KEYUP, SDLK_F10, SDL_SCANCODE_F10), ""},
        {keyEvent(SDL_KEYDOWN, SDLK_LALT, SDL_SCANCODE_LALT), ""},
        {keyEvent(SDL_KEYDOWN, SDLK_a, SDL_SCANCODE_A, KMOD_RALT | KMOD_LCTRL),
         "down 65"},  // AltGr
        {keyEvent(SDL_KEYDOWN, SDLK_F1, SDL_SCANCODE_F1, KMOD_LSHIFT), "down 112"},
        {keyEvent(SDL_KEYDOWN, SDLK_F4, SDL_SCANCODE_F4, KMOD_RALT), "close"},
        {keyEvent(SDL_KEYUP, SDLK_F4, SDL_SCANCODE_F4, KMOD_RALT), ""},
        {keyEvent(SDL_KEYDOWN, SDLK_F4, SDL_SCANCODE_F4), "down 115"},
        // A key without a code: no key-down, but its release still stops walking and strafing.
        {keyEvent(SDL_KEYDOWN, SDLK_LGUI, SDL_SCANCODE_LGUI), ""},
        {keyEvent(SDL_KEYUP, SDLK_LGUI, SDL_SCANCODE_LGUI), "up 0"},
        {rightButton, "right down"},
        {leftButton, ""},
        // Leaving the maximised state is no restore.
        {windowEvent(SDL_WINDOWEVENT_MINIMIZED), "minimised"},
        {windowEvent(SDL_WINDOWEVENT_FOCUS_LOST), ""},
        {windowEvent(SDL_WINDOWEVENT_RESTORED), "restored"},
        {windowEvent(SDL_WINDOWEVENT_RESTORED), ""},
        {windowEvent(SDL_WINDOWEVENT_MAXIMIZED), ""},
        {windowEvent(SDL_WINDOWEVENT_RESTORED), ""},
        {windowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, 1024, 700), "size 1024 700"},
        {windowEvent(SDL_WINDOWEVENT_CLOSE), "close"},
        {SDL_Event{SDL_QUIT}, "close"},
        {SDL_Event{SDL_MOUSEMOTION}, ""},  // summed by the layer itself
    };
    const char* const kinds[] = {"down",      "up",       "right down", "right up", "size",
                                 "minimised", "restored", "close",      "lost"};
    for (const auto& [event, expected] : sequence) {
        PlatformEvent out{};
        std::string seen;
        if (translateSdlEvent(event, &minimised, &out)) {
            seen = kinds[int(out.kind)];
            if (out.kind == EventKind::keyDown || out.kind == EventKind::keyUp)
                seen += " " + std::to_string(out.virtualKey);
            if (out.kind == EventKind::resized)
                seen += " " + std::to_string(out.width) + " " + std::to_string(out.height);
        }
        EXPECT_EQ(seen, expected);
    }
}

// The window system is the one SDL really runs on. Only on X11 does the layer watch the keys SDL
// forgets with its window, so only there are their releases taken out of SDL's queue.
TEST(WindowSystem, ReleasesOfAClosedWindowStayQueuedUnlessTheDisplayIsWatched) {
    EXPECT_TRUE(windowSystemOfDriver("x11") == WindowSystem::x11 &&
                windowSystemOfDriver("wayland") == WindowSystem::other &&
                windowSystemOfDriver(nullptr) == WindowSystem::other);
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0);
    uint8_t keys[4] = {};
    SDL_Event queued[8];
    for (WindowSystem system : {WindowSystem::other, WindowSystem::x11}) {
        for (SDL_Event event :
             {keyEvent(SDL_KEYUP, SDLK_F1, SDL_SCANCODE_F1), SDL_Event{SDL_USEREVENT},
              keyEvent(SDL_KEYUP, SDLK_LEFT, SDL_SCANCODE_LEFT)})
            SDL_PushEvent(&event);
        const int taken = takeReleasesOfClosedWindow(system, keys, 4);
        const int left = SDL_PeepEvents(queued, 8, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT);
        EXPECT_EQ(std::make_pair(taken, left),
                  system == WindowSystem::x11 ? std::pair(2, 1) : std::pair(0, 3));
    }
    EXPECT_TRUE(keys[0] == virtualKeyF1 && keys[1] == virtualKeyLeft &&
                queued[0].type == SDL_USEREVENT);
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
}
