// sdl_translation_test.cpp — the SDL layer's decisions without a display: key codes, system
// keys, display-mode choice, event translation, message boxes, releases SDL does not report.
#include "platform/sdl_translation.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/virtual_keys.h"

static SDL_Event keyEvent(uint32_t type, SDL_Keycode keycode, SDL_Scancode scancode,
                          uint16_t modifiers = 0, bool repeat = false) {
    SDL_Event event{};
    event.type = type;
    event.key.type = type;
    event.key.repeat = repeat ? 1 : 0;
    event.key.keysym.sym = keycode;
    event.key.keysym.scancode = scancode;
    event.key.keysym.mod = modifiers;
    return event;
}

static SDL_Event windowEvent(uint8_t which, int32_t data1 = 0, int32_t data2 = 0) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = which;
    event.window.data1 = data1;
    event.window.data2 = data2;
    return event;
}

static WindowHandle someWindow = reinterpret_cast<WindowHandle>(0x1000);

// Letters follow the layout, digits the key's position; keys outside the bindings' codes give 0.
TEST(SdlKeys, VirtualKeyCodesAndSystemKeys) {
    EXPECT_EQ(virtualKeyForSdlKey(SDLK_z, SDL_SCANCODE_Y), 0x5A);         // German: the US "Y" key
    EXPECT_EQ(virtualKeyForSdlKey(SDLK_PLUS, SDL_SCANCODE_1), 0x31);      // Slovak: "1" types "+"
    EXPECT_EQ(virtualKeyForSdlKey(0x0444, SDL_SCANCODE_A), virtualKeyA);  // Cyrillic at US "A"
    EXPECT_EQ(virtualKeyForSdlKey(SDLK_SEMICOLON, SDL_SCANCODE_M), 0);
    EXPECT_EQ(virtualKeyForSdlKey(SDLK_F12, SDL_SCANCODE_F12), 0x7B);
    EXPECT_EQ(virtualKeyForSdlKey(SDLK_LEFT, SDL_SCANCODE_LEFT), virtualKeyLeft);
    EXPECT_EQ(virtualKeyForSdlKey(SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER), virtualKeyEnter);
    EXPECT_EQ(virtualKeyForSdlKey(SDLK_RSHIFT, SDL_SCANCODE_RSHIFT), virtualKeyShift);
    EXPECT_EQ(virtualKeyForSdlKey(SDLK_RCTRL, SDL_SCANCODE_RCTRL), virtualKeyControl);
    EXPECT_EQ(virtualKeyForSdlKey(SDLK_F13, SDL_SCANCODE_F13), 0);
    EXPECT_EQ(virtualKeyForSdlKey(SDLK_LGUI, SDL_SCANCODE_LGUI), 0);
    EXPECT_TRUE(isSystemKey(virtualKeyA, KMOD_LALT) && isSystemKey(virtualKeyF10, KMOD_NONE));
    EXPECT_TRUE(isSystemKey(virtualKeyAlt, KMOD_NONE));
    EXPECT_FALSE(isSystemKey(virtualKeyA, KMOD_RALT | KMOD_LCTRL)) << "AltGr types characters";
    EXPECT_FALSE(isSystemKey(virtualKeyF1, KMOD_LSHIFT));
}

TEST(DisplayModeChoice, ExactDepthThenDesktopDepthElseRefused) {
    const SDL_DisplayMode modes[] = {
        {SDL_PIXELFORMAT_RGB888, 1024, 768, 60, nullptr},
        {SDL_PIXELFORMAT_RGB888, 800, 600, 75, nullptr},
        {SDL_PIXELFORMAT_RGB888, 800, 600, 60, nullptr},
        {SDL_PIXELFORMAT_RGB565, 800, 600, 60, nullptr},
        {SDL_PIXELFORMAT_RGB565, 640, 480, 60, nullptr},
    };
    EXPECT_EQ(chooseDisplayMode(modes, 5, 800, 600, 16, 24), 3);
    EXPECT_EQ(chooseDisplayMode(modes, 3, 800, 600, 16, 24), 1) << "desktop depth, first listed";
    EXPECT_EQ(chooseDisplayMode(modes, 5, 1024, 768, 16, 24), 0);
    EXPECT_EQ(chooseDisplayMode(modes, 5, 640, 480, 32, 24), -1) << "only at a third depth";
    EXPECT_EQ(chooseDisplayMode(modes, 5, 1280, 1024, 16, 24), -1);
    EXPECT_EQ(chooseDisplayMode(modes, 0, 800, 600, 16, 24), -1);
}

// Each event in turn as the window procedure gets it: message and wParam, or 0, 0 for nothing.
TEST(EventTranslation, KeysAndWindowChangesBecomeWindowMessages) {
    bool minimised = false;
    const EventTarget target{someWindow, &minimised};
    const std::pair<SDL_Event, std::pair<uint32_t, uintptr_t>> sequence[] = {
        // Auto-repeat is another key-down; Alt combinations and F10 are system keys.
        {keyEvent(SDL_KEYDOWN, SDLK_UP, SDL_SCANCODE_UP, 0, true), {messageKeyDown, virtualKeyUp}},
        {keyEvent(SDL_KEYDOWN, SDLK_e, SDL_SCANCODE_E, KMOD_LALT), {messageSystemKeyDown, 'E'}},
        {keyEvent(SDL_KEYUP, SDLK_F10, SDL_SCANCODE_F10), {messageSystemKeyUp, virtualKeyF10}},
        // A key without a code: no key-down, but its release still stops walking and strafing.
        {keyEvent(SDL_KEYDOWN, SDLK_LGUI, SDL_SCANCODE_LGUI), {0, 0}},
        {keyEvent(SDL_KEYUP, SDLK_LGUI, SDL_SCANCODE_LGUI), {messageKeyUp, 0}},
        // Minimised in the high word; the focus loss after minimising is no restore, and leaving
        // the maximised state is no activation.
        {windowEvent(SDL_WINDOWEVENT_MINIMIZED), {messageActivate, 1 << 16}},
        {windowEvent(SDL_WINDOWEVENT_FOCUS_LOST), {messageActivate, 1 << 16}},
        {windowEvent(SDL_WINDOWEVENT_RESTORED), {messageActivate, 1}},
        {windowEvent(SDL_WINDOWEVENT_MAXIMIZED), {0, 0}},
        {windowEvent(SDL_WINDOWEVENT_RESTORED), {0, 0}},
        {windowEvent(SDL_WINDOWEVENT_CLOSE), {messageClose, 0}},
    };
    for (const auto& [event, expected] : sequence) {
        WindowMessageRecord message{};
        const bool translated = translateSdlEvent(event, target, &message);
        EXPECT_EQ(translated ? std::make_pair(message.message, message.wParam)
                             : std::make_pair(0u, uintptr_t{0}),
                  expected);
        if (translated) EXPECT_EQ(message.window, someWindow);
    }
    WindowMessageRecord size{};
    ASSERT_TRUE(
        translateSdlEvent(windowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, 1024, 700), target, &size));
    EXPECT_EQ(size.message, messageSize);
    EXPECT_EQ(size.lParam, 700 << 16 | 1024);
    EXPECT_FALSE(translateSdlEvent(keyEvent(SDL_KEYUP, SDLK_UP, SDL_SCANCODE_UP),
                                   EventTarget{nullptr, nullptr}, &size))
        << "a key of a window already gone reaches no window";
}

TEST(MessageBoxes, IconsButtonsAnswersAndBoxesThatCannotBeShown) {
    MessageBoxLayout question = describeMessageBox(messageBoxYesNo | messageBoxIconExclamation);
    EXPECT_TRUE(question.flags & SDL_MESSAGEBOX_WARNING);
    ASSERT_EQ(question.buttonCount, 2);
    EXPECT_EQ(question.buttons[0].buttonid, messageBoxAnswerYes);
    EXPECT_EQ(question.buttons[0].flags, SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT);
    EXPECT_EQ(question.buttons[1].buttonid, messageBoxAnswerNo);
    EXPECT_EQ(question.buttons[1].flags, SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT);
    EXPECT_TRUE(describeMessageBox(messageBoxIconStop).flags & SDL_MESSAGEBOX_ERROR);
    MessageBoxLayout info = describeMessageBox(messageBoxOk | messageBoxIconInformation);
    EXPECT_TRUE(info.flags & SDL_MESSAGEBOX_INFORMATION);
    EXPECT_EQ(info.buttonCount, 1);

    EXPECT_EQ(answerForButton(messageBoxYesNo, messageBoxAnswerYes), messageBoxAnswerYes);
    EXPECT_EQ(answerForButton(messageBoxYesNo, -1), messageBoxAnswerNo) << "closed unanswered";
    EXPECT_EQ(answerForButton(messageBoxYesNo, messageBoxAnswerOk), messageBoxAnswerNo);
    EXPECT_EQ(answerForButton(messageBoxOk, -1), messageBoxAnswerOk);
    EXPECT_EQ(answerForUnshownBox(messageBoxYesNo | messageBoxIconExclamation), messageBoxAnswerNo);
    EXPECT_EQ(answerForUnshownBox(messageBoxOk | messageBoxIconStop), messageBoxAnswerOk);
    // A box that cannot be shown still reaches the user.
    char* text = nullptr;
    size_t size = 0;
    FILE* stream = open_memstream(&text, &size);
    reportUnshownMessage(stream, "CHYBA", "Program sa teraz ukonci.");
    std::fclose(stream);
    EXPECT_STREQ(text, "CHYBA: Program sa teraz ukonci.\n");
    std::free(text);
}

// F1 goes down while the old window has the keyboard; closing that window makes SDL forget the
// key (its release for the gone window reaches nobody); the release arrives at the new window.
TEST(KeyReleases, ReleaseOfAKeyHeldThroughAWindowSwitchIsDelivered) {
    KeyReleaseTracker tracker{};
    const uint32_t f1Key = 67;
    trackRawKeyPress(tracker, f1Key);
    SDL_Event press = keyEvent(SDL_KEYDOWN, SDLK_F1, SDL_SCANCODE_F1);
    trackSdlEvent(tracker, press);
    trackDeliveredMessage(tracker, {someWindow, messageKeyDown, virtualKeyF1, 0});
    trackSdlEvent(tracker, keyEvent(SDL_KEYUP, SDLK_F1, SDL_SCANCODE_F1));
    EXPECT_EQ(keyReleasedUnseenBySdl(tracker, f1Key + 1), 0) << "another key";
    EXPECT_EQ(keyReleasedUnseenBySdl(tracker, f1Key), virtualKeyF1);

    WindowMessageRecord message{};
    makeKeyUpMessage(someWindow, virtualKeyF1, &message);
    trackDeliveredMessage(tracker, message);
    EXPECT_EQ(message.message, messageKeyUp);
    EXPECT_EQ(keyReleasedUnseenBySdl(tracker, f1Key), 0) << "released once only";

    // The window system restarted under a held key: SDL knows nothing of it any more.
    trackRawKeyPress(tracker, f1Key);
    trackSdlEvent(tracker, press);
    trackDeliveredMessage(tracker, {someWindow, messageKeyDown, virtualKeyF1, 0});
    forgetSdlKeyboard(tracker);
    EXPECT_EQ(keyReleasedUnseenBySdl(tracker, f1Key), virtualKeyF1);
}

TEST(KeyReleases, ReleasesSdlReportsItselfAreLeftToSdl) {
    KeyReleaseTracker tracker{};
    trackRawKeyPress(tracker, 38);
    trackSdlEvent(tracker, keyEvent(SDL_KEYDOWN, SDLK_a, SDL_SCANCODE_A));
    trackDeliveredMessage(tracker, {someWindow, messageKeyDown, virtualKeyA, 0});
    EXPECT_EQ(keyReleasedUnseenBySdl(tracker, 38), 0);

    // A press paired with a later, unrelated event does not name that event's key.
    KeyReleaseTracker unpaired{};
    trackRawKeyPress(unpaired, 50);
    trackSdlEvent(unpaired, windowEvent(SDL_WINDOWEVENT_FOCUS_GAINED));
    trackSdlEvent(unpaired, keyEvent(SDL_KEYDOWN, SDLK_LSHIFT, SDL_SCANCODE_LSHIFT));
    trackDeliveredMessage(unpaired, {someWindow, messageKeyDown, virtualKeyShift, 0});
    forgetSdlKeyboard(unpaired);
    EXPECT_EQ(keyReleasedUnseenBySdl(unpaired, 50), 0);
}
