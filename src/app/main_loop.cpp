// SCAFFOLD: replaced by the owning work item.
#include "app/main_loop.h"
uint8_t keys[256] = {};
bool active = true;
bool fullscreen = true;
int32_t lightingEnabled = 0;
uint8_t fullscreenKeyLatch = 0;
uint8_t lightingKeyLatch = 0;
uint8_t crouchKeyLatch = 0;
PointerPosition cursorPos = {0, 0};
int32_t runMainLoop() { return 0; }
intptr_t handleWindowMessage(WindowHandle, uint32_t, uintptr_t, intptr_t) { return 0; }
