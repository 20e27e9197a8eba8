// main_window.cpp — opens and closes the one top-level window with its GL context and display
// mode, and sets the projection and the fixed GL state every frame relies on.
#include "app/main_window.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "app/main_loop.h"
#include "assets/model.h"
#include "assets/texture_set.h"
#include "draw/font.h"

const char* const windowTitle = "Kalimbor v.1.4b";
const char* const windowClassName = "Kalimbor";
const int32_t windowWidth = 800;
const int32_t windowHeight = 600;
const int32_t colorBits = 16;

ModuleHandle moduleInstance = nullptr;
WindowHandle mainWindow = nullptr;
DeviceHandle deviceContext = nullptr;
ContextHandle renderContext = nullptr;

// Colour bits stay 0 until the first opening stores its bits argument; later openings reuse the
// descriptor unchanged.
PixelFormatDescriptor pixelFormat = {
    40,
    1,
    pixelFormatDrawToWindow | pixelFormatSupportOpenGl | pixelFormatDoubleBuffer,
    pixelTypeRgba,
    0,   // colour bits
    0,   // alpha bits
    0,   // accumulation bits
    16,  // depth bits
    0,   // stencil bits
};

static const char* const openingCaption = "CHYBA";
static const char* const closingCaption = "CHYBA VYPNUTIA";

// ---------------------------------------------------------------------------------------------
// Opening. Every failure is told to the user here, in a box without an owner window; failures
// after the window exists first release everything made so far, so that a failed opening leaves
// nothing held (the window class excepted after a declined fallback).
// ---------------------------------------------------------------------------------------------

static void showOpeningMessage(const char* text, uint32_t icon) {
    platform->messageBox(nullptr, text, openingCaption, messageBoxOk | icon);
}

static int32_t abandonOpening(const char* text) {
    closeMainWindow();
    showOpeningMessage(text, messageBoxIconExclamation);
    return 0;
}

// Switches to the fullscreen mode, or asks (under the program's own title, whatever the window
// is called) whether to go on in a window when the display refuses it. False when the user declines
// (after telling them the program ends).
static bool enterFullscreenOrFallBack(int32_t width, int32_t height, int32_t bits) {
    if (platform->changeDisplayMode(width, height, bits)) return true;
    int32_t answer = platform->messageBox(
        nullptr,
        "Pozadovany  celo-obrazovkovy mod nie je podporovany Vasou video-kartou. Chcete pouzit "
        "mod v okne?",
        windowTitle, messageBoxYesNo | messageBoxIconExclamation);
    if (answer == messageBoxAnswerYes) {
        fullscreen = false;
        return true;
    }
    showOpeningMessage("Program sa teraz ukonci.", messageBoxIconStop);
    return false;
}

int32_t openMainWindow(const char* title, int32_t width, int32_t height, int32_t bits,
                       bool fullscreenFlag) {
    fullscreen = fullscreenFlag;
    moduleInstance = platform->getModuleHandle();
    if (!platform->registerWindowClass(windowClassName, handleWindowMessage, moduleInstance)) {
        showOpeningMessage("Zlyhanie registracie triedy pre okno.", messageBoxIconExclamation);
        return 0;
    }
    if (fullscreen && !enterFullscreenOrFallBack(width, height, bits)) return 0;

    platform->showCursor(false);  // hidden in both modes

    uint32_t exStyle = windowExStyleAppWindow;
    uint32_t style = windowStylePopup;
    if (!fullscreen) {
        exStyle = windowExStyleAppWindow | windowExStyleWindowEdge;
        style = windowStyleOverlapped;
    }
    WindowRect rect = {0, 0, width, height};
    platform->adjustWindowRect(&rect, style, exStyle);

    // The descriptor is completed before the window is made (not after, as the steps would
    // otherwise run): our window system fixes a window's GL visual when it creates it.
    if (pixelFormat.colorBits == 0) pixelFormat.colorBits = static_cast<uint8_t>(bits);

    mainWindow = platform->createWindow(
        exStyle, windowClassName, title, style | windowStyleClipSiblings | windowStyleClipChildren,
        0, 0, rect.right - rect.left, rect.bottom - rect.top, moduleInstance, &pixelFormat);
    if (!mainWindow) return abandonOpening("Chyba pri vytvarani okna.");

    deviceContext = platform->getDeviceContext(mainWindow);
    if (!deviceContext) return abandonOpening("Neda sa vytvorit GL zariadenie obsahu.");
    int32_t format = platform->choosePixelFormat(deviceContext, &pixelFormat);
    if (format == 0) return abandonOpening("Neda sa najst vhodny format pixelov.");
    if (!platform->setPixelFormat(deviceContext, format, &pixelFormat))
        return abandonOpening("Neda sa nastavit format pixelov.");
    renderContext = platform->createContext(deviceContext);
    if (!renderContext) return abandonOpening("Neda sa vytvorit GL Rendrovaci obsah.");
    if (!platform->makeCurrent(deviceContext, renderContext))
        return abandonOpening("Neda sa aktivovat GL Rendrovaci obsah.");

    platform->showWindow(mainWindow);
    platform->setForegroundWindow(mainWindow);
    platform->setFocus(mainWindow);

    setProjection(width, height);  // the requested size, not the measured client area
    if (!setupRenderState()) return abandonOpening("Inicializacia zlyhala.");
    return 1;
}

// ---------------------------------------------------------------------------------------------
// Closing. Each failed release is reported and the teardown carries on. Every handle is cleared
// once its release has been attempted, whatever the outcome: a later closing (after a re-open
// that fails early) must never hand a released device context, window or rendering context to
// the window system a second time.
// ---------------------------------------------------------------------------------------------

static void showClosingMessage(const char* text) {
    platform->messageBox(nullptr, text, closingCaption, messageBoxOk | messageBoxIconInformation);
}

void closeMainWindow() {
    if (fullscreen) {
        platform->restoreDisplayMode();
        platform->showCursor(true);
    }
    if (renderContext) {
        if (!platform->makeCurrent(nullptr, nullptr))
            showClosingMessage("Uvolnenie DC a RC zlyhalo.");
        if (!platform->deleteContext(renderContext))
            showClosingMessage("Uvolnenie renderovacieho obsahu zlyhalo.");
        renderContext = nullptr;
    }
    if (deviceContext) {
        if (!platform->releaseDeviceContext(mainWindow, deviceContext))
            showClosingMessage("Uvolnenie zariadenia obsahu zlyhalo.");
        deviceContext = nullptr;
    }
    if (mainWindow) {
        if (!platform->destroyWindow(mainWindow)) showClosingMessage("Neda sa uvolnit okno.");
        mainWindow = nullptr;
    }
    if (!platform->unregisterWindowClass(windowClassName, moduleInstance)) {
        showClosingMessage("Neda sa odregistrovat trieda.");
        moduleInstance = nullptr;
    }
    // The lists went away with the rendering context; this only forgets their names.
    deleteGlyphLists();
}

// ---------------------------------------------------------------------------------------------
// Projection: an orthographic box whose shorter side spans -100..100, multiplied by a perspective
// whose near plane lies beyond its far plane. The product is a perspective of about 82.2 degrees
// across the shorter side, a near clip at about 0.0753 units and no far clip at all.
// ---------------------------------------------------------------------------------------------

void setProjection(int32_t width, int32_t height) {
    if (height == 0) height = 1;
    // A window system may report a client width of 0 as well (a window squeezed to nothing); it
    // is taken as 1 in the same way, so the box of a tall window never divides by zero.
    if (width == 0) width = 1;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (width <= height) {
        double halfHeight = 100.0 * height / width;
        glOrtho(-100, 100, -halfHeight, halfHeight, -100, 100);
    } else {
        double halfWidth = 100.0 * width / height;
        glOrtho(-halfWidth, halfWidth, -100, 100, -100, 100);
    }
    gluPerspective(1.0, 1.0, 1.33, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

int32_t setupRenderState() {
    if (!loadTextureSet()) return 0;
    loadModel("STL/hangar.rin");  // a missing model leaves the hangars out, nothing more
    createGlyphLists();

    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClearDepth(1.0);
    glDepthFunc(GL_LESS);
    glEnable(GL_DEPTH_TEST);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_CULL_FACE);  // back faces culled, counter-clockwise faces in front (defaults)
    return 1;
}
