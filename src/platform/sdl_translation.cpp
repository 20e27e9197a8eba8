// sdl_translation.cpp — the SDL layer's decisions that need no display: key codes, system keys,
// display-mode choice, event translation, message-box layout and answers.
#include "platform/sdl_translation.h"

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
    switch (keycode) {
        case SDLK_BACKSPACE:
            return virtualKeyBackspace;
        case SDLK_TAB:
            return virtualKeyTab;
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return virtualKeyEnter;
        case SDLK_LSHIFT:
        case SDLK_RSHIFT:
            return virtualKeyShift;
        case SDLK_LCTRL:
        case SDLK_RCTRL:
            return virtualKeyControl;
        case SDLK_LALT:
        case SDLK_RALT:
            return virtualKeyAlt;
        case SDLK_ESCAPE:
            return virtualKeyEscape;
        case SDLK_SPACE:
            return virtualKeySpace;
        case SDLK_LEFT:
            return virtualKeyLeft;
        case SDLK_UP:
            return virtualKeyUp;
        case SDLK_RIGHT:
            return virtualKeyRight;
        case SDLK_DOWN:
            return virtualKeyDown;
        default:
            break;
    }
    if (keycode >= SDLK_F1 && keycode <= SDLK_F12) {
        return static_cast<uint8_t>(virtualKeyF1 + (keycode - SDLK_F1));
    }
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

bool isSystemKey(uint8_t virtualKey, uint16_t modifiers) {
    if (virtualKey == virtualKeyF10) return true;
    bool altHeld = (modifiers & KMOD_ALT) != 0 || virtualKey == virtualKeyAlt;
    bool controlHeld = (modifiers & KMOD_CTRL) != 0;
    return altHeld && !controlHeld;
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
//
// One SDL event becomes at most one message. Activation carries the minimised flag in the high
// word, so the window procedure can tell "minimised" from "lost the focus"; the translation keeps
// each window's minimised state because SDL reports focus and minimising as separate events, in
// either order.
// ---------------------------------------------------------------------------------------------

static intptr_t packLowHigh(int32_t low, int32_t high) {
    uint32_t packed = (static_cast<uint32_t>(low) & 0xFFFFu) | (static_cast<uint32_t>(high) << 16);
    return static_cast<intptr_t>(packed);
}

// The desktop's key-message lParam: repeat count 1, bit 29 with Alt held, bit 30 when the key was
// already down, bit 31 on release.
static intptr_t keyMessageLParam(bool down, bool repeat, bool altHeld) {
    uint32_t lParam = 1;
    if (altHeld) lParam |= 1u << 29;
    if (repeat || !down) lParam |= 1u << 30;
    if (!down) lParam |= 1u << 31;
    return static_cast<intptr_t>(lParam);
}

static bool translateKeyEvent(const SDL_KeyboardEvent& key, WindowMessageRecord* message) {
    bool down = key.type == SDL_KEYDOWN;
    uint8_t virtualKey = virtualKeyForSdlKey(key.keysym.sym, key.keysym.scancode);
    // A key without a code touches no entry of the key table, but its release still counts as a
    // key-up, which stops the walk and strafe directions.
    if (virtualKey == 0 && down) return false;
    bool system = virtualKey != 0 && isSystemKey(virtualKey, key.keysym.mod);
    if (system) {
        message->message = down ? messageSystemKeyDown : messageSystemKeyUp;
    } else {
        message->message = down ? messageKeyDown : messageKeyUp;
    }
    message->wParam = virtualKey;
    message->lParam = keyMessageLParam(down, key.repeat != 0, (key.keysym.mod & KMOD_ALT) != 0);
    return true;
}

static bool translateButtonEvent(const SDL_MouseButtonEvent& button, WindowMessageRecord* message) {
    bool down = button.type == SDL_MOUSEBUTTONDOWN;
    switch (button.button) {
        case SDL_BUTTON_LEFT:
            message->message = down ? messageLeftButtonDown : messageLeftButtonUp;
            break;
        case SDL_BUTTON_RIGHT:
            message->message = down ? messageRightButtonDown : messageRightButtonUp;
            break;
        case SDL_BUTTON_MIDDLE:
            message->message = down ? messageMiddleButtonDown : messageMiddleButtonUp;
            break;
        default:
            return false;
    }
    message->wParam = 0;
    message->lParam = packLowHigh(button.x, button.y);
    return true;
}

static void setActivate(WindowMessageRecord* message, bool active, bool minimised) {
    message->message = messageActivate;
    message->wParam = static_cast<uintptr_t>(packLowHigh(active ? 1 : 0, minimised ? 1 : 0));
    message->lParam = 0;
}

// The window's close button, and an interrupt from the terminal, which asks the same.
static void setClose(WindowMessageRecord* message) {
    message->message = messageClose;
    message->wParam = 0;
    message->lParam = 0;
}

static bool translateWindowEvent(const SDL_WindowEvent& event, bool* minimised,
                                 WindowMessageRecord* message) {
    switch (event.event) {
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            message->message = messageSize;
            message->wParam = 0;
            message->lParam = packLowHigh(event.data1, event.data2);
            return true;
        case SDL_WINDOWEVENT_MINIMIZED:
            *minimised = true;
            setActivate(message, false, true);
            return true;
        case SDL_WINDOWEVENT_MAXIMIZED:
            *minimised = false;
            return false;
        case SDL_WINDOWEVENT_RESTORED:
            // Also sent when a maximised window returns to its size: no activation change then.
            if (!*minimised) return false;
            *minimised = false;
            setActivate(message, true, false);
            return true;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            setActivate(message, true, *minimised);
            return true;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            setActivate(message, false, *minimised);
            return true;
        case SDL_WINDOWEVENT_CLOSE:
            setClose(message);
            return true;
        default:
            return false;
    }
}

bool translateSdlEvent(const SDL_Event& event, EventTarget target, WindowMessageRecord* message) {
    if (target.window == nullptr) return false;
    message->window = target.window;
    switch (event.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            return translateKeyEvent(event.key, message);
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            return translateButtonEvent(event.button, message);
        case SDL_WINDOWEVENT:
            return translateWindowEvent(event.window, target.minimised, message);
        case SDL_QUIT:
            // Only an interrupt from the terminal (the layer turns off SDL's own quit on the last
            // window's close, which already arrives as the window's close event): it asks the
            // window to close like its close button, so the display mode is restored.
            setClose(message);
            return true;
        default:
            return false;
    }
}

// ---------------------------------------------------------------------------------------------
// Releases SDL does not report
// ---------------------------------------------------------------------------------------------

void trackRawKeyPress(KeyReleaseTracker& tracker, uint32_t physicalKey) {
    tracker.pendingPhysicalPress = physicalKey;
}

void trackSdlEvent(KeyReleaseTracker& tracker, const SDL_Event& event) {
    uint32_t physicalKey = tracker.pendingPhysicalPress;
    tracker.pendingPhysicalPress = 0;
    if (event.type != SDL_KEYDOWN && event.type != SDL_KEYUP) return;
    uint8_t virtualKey = virtualKeyForSdlKey(event.key.keysym.sym, event.key.keysym.scancode);
    if (virtualKey == 0) return;
    bool down = event.type == SDL_KEYDOWN;
    tracker.sdlDown[virtualKey] = down;
    if (down && physicalKey != 0) tracker.physicalKey[virtualKey] = physicalKey;
}

void trackDeliveredMessage(KeyReleaseTracker& tracker, const WindowMessageRecord& message) {
    if (message.wParam == 0 || message.wParam > 0xFF) return;
    if (message.message == messageKeyDown) tracker.programDown[message.wParam] = true;
    if (message.message == messageKeyUp) tracker.programDown[message.wParam] = false;
}

uint8_t keyReleasedUnseenBySdl(KeyReleaseTracker& tracker, uint32_t physicalKey) {
    tracker.pendingPhysicalPress = 0;
    if (physicalKey == 0) return 0;
    for (int virtualKey = 1; virtualKey < 256; ++virtualKey) {
        if (tracker.physicalKey[virtualKey] == physicalKey && tracker.programDown[virtualKey] &&
            !tracker.sdlDown[virtualKey]) {
            return static_cast<uint8_t>(virtualKey);
        }
    }
    return 0;
}

void forgetSdlKeyboard(KeyReleaseTracker& tracker) {
    for (bool& down : tracker.sdlDown) down = false;
    tracker.pendingPhysicalPress = 0;
}

void makeKeyUpMessage(WindowHandle window, uint8_t virtualKey, WindowMessageRecord* message) {
    message->window = window;
    message->message = messageKeyUp;
    message->wParam = virtualKey;
    message->lParam = keyMessageLParam(false, false, false);
}

// ---------------------------------------------------------------------------------------------
// Message boxes
// ---------------------------------------------------------------------------------------------

// Both default keys of an OK box press OK; in a question Enter means Yes and Escape means No.
static const SDL_MessageBoxButtonData okButtons[] = {
    {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT,
     messageBoxAnswerOk, "OK"},
};
static const SDL_MessageBoxButtonData yesNoButtons[] = {
    {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, messageBoxAnswerYes, "Yes"},
    {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, messageBoxAnswerNo, "No"},
};

static bool isQuestion(uint32_t type) {
    return (type & messageBoxButtonsMask) == messageBoxYesNo;
}

MessageBoxLayout describeMessageBox(uint32_t type) {
    uint32_t flags = SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
    switch (type & messageBoxIconMask) {
        case messageBoxIconStop:
            flags |= SDL_MESSAGEBOX_ERROR;
            break;
        case messageBoxIconExclamation:
            flags |= SDL_MESSAGEBOX_WARNING;
            break;
        case messageBoxIconInformation:
            flags |= SDL_MESSAGEBOX_INFORMATION;
            break;
        default:
            break;
    }
    if (isQuestion(type)) return {flags, 2, yesNoButtons};
    return {flags, 1, okButtons};
}

int32_t answerForButton(uint32_t type, int buttonId) {
    if (!isQuestion(type)) return messageBoxAnswerOk;
    return buttonId == messageBoxAnswerYes ? messageBoxAnswerYes : messageBoxAnswerNo;
}

int32_t answerForUnshownBox(uint32_t type) {
    return isQuestion(type) ? messageBoxAnswerNo : messageBoxAnswerOk;
}

void reportUnshownMessage(FILE* stream, const char* caption, const char* text) {
    std::fprintf(stream, "%s: %s\n", caption != nullptr ? caption : "",
                 text != nullptr ? text : "");
    std::fflush(stream);
}
