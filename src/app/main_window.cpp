// SCAFFOLD: replaced by the owning work item.
#include "app/main_window.h"
const char* const windowTitle = "Kalimbor v.1.4b";
const char* const windowClassName = "Kalimbor";
const int32_t windowWidth = 800;
const int32_t windowHeight = 600;
const int32_t colorBits = 16;
ModuleHandle moduleInstance = nullptr;
WindowHandle mainWindow = nullptr;
DeviceHandle deviceContext = nullptr;
ContextHandle renderContext = nullptr;
PixelFormatDescriptor pixelFormat = {};
int32_t openMainWindow(const char*, int32_t, int32_t, int32_t, bool) { return 0; }
void closeMainWindow() {}
void setProjection(int32_t, int32_t) {}
int32_t setupRenderState() { return 1; }
