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
const int32_t windowWidth = 800;
const int32_t windowHeight = 600;
const int32_t colorBits = 16;
static const int32_t depthBits = 16;

// The handles, with their start values written once, here; the names refer to its fields.
struct MainWindowState {
    WindowHandle mainWindow = nullptr;
    ContextHandle renderContext = nullptr;
};
static MainWindowState mainWindowState;

void resetMainWindowState() {
    mainWindowState = MainWindowState();
}

WindowHandle& mainWindow = mainWindowState.mainWindow;
ContextHandle& renderContext = mainWindowState.renderContext;

static const char* const openingCaption = "CHYBA";
static const char* const closingCaption = "CHYBA VYPNUTIA";

// ---------------------------------------------------------------------------------------------
// Opening. Every failure is told to the user here, in a box without an owner window; failures
// after the window exists first release everything made so far, so that a failed opening leaves
// nothing held.
// ---------------------------------------------------------------------------------------------

static void showOpeningMessage(const char* text, MessageIcon icon) {
    platform->messageBox(text, openingCaption, MessageButtons::ok, icon);
}

static int32_t abandonOpening(const char* text) {
    closeMainWindow();
    showOpeningMessage(text, MessageIcon::exclamation);
    return 0;
}

// Switches to the fullscreen mode, or asks (under the program's own title, whatever the window
// is called) whether to go on in a window when the display refuses it. False when the user declines
// (after telling them the program ends).
static bool enterFullscreenOrFallBack(int32_t width, int32_t height, int32_t bits) {
    if (platform->switchDisplayMode(width, height, bits)) return true;
    MessageAnswer answer = platform->messageBox(
        "Pozadovany  celo-obrazovkovy mod nie je podporovany Vasou video-kartou. Chcete pouzit "
        "mod v okne?",
        windowTitle, MessageButtons::yesNo, MessageIcon::exclamation);
    if (answer == MessageAnswer::yes) {
        fullscreen = false;
        return true;
    }
    showOpeningMessage("Program sa teraz ukonci.", MessageIcon::stop);
    return false;
}

int32_t openMainWindow(const char* title, int32_t width, int32_t height, int32_t bits,
                       bool fullscreenFlag) {
    fullscreen = fullscreenFlag;
    if (!platform->openDisplay()) {
        showOpeningMessage("Zlyhanie registracie triedy pre okno.", MessageIcon::exclamation);
        return 0;
    }
    if (fullscreen && !enterFullscreenOrFallBack(width, height, bits)) return 0;

    platform->hideCursor(true);  // hidden in both modes

    WindowFailure failure = WindowFailure::none;
    mainWindow =
        platform->createWindow({title, width, height, fullscreen, bits, depthBits}, &failure);
    if (failure == WindowFailure::noGlDrawable)
        return abandonOpening("Neda sa najst vhodny format pixelov.");
    if (!mainWindow) return abandonOpening("Chyba pri vytvarani okna.");
    renderContext = platform->createContext(mainWindow);
    if (!renderContext) return abandonOpening("Neda sa vytvorit GL Rendrovaci obsah.");
    if (!platform->makeCurrent(mainWindow, renderContext))
        return abandonOpening("Neda sa aktivovat GL Rendrovaci obsah.");

    platform->showWindow(mainWindow);
    setProjection(width, height);  // the requested size, not the measured client area
    if (!setupRenderState()) return abandonOpening("Inicializacia zlyhala.");
    return 1;
}

// ---------------------------------------------------------------------------------------------
// Closing. A failed release is reported and the teardown carries on. Every handle is cleared once
// its release has been attempted, so that a later closing never hands it to the desktop again.
// The display itself stays up for the next opening; it goes down when the program ends.
// ---------------------------------------------------------------------------------------------

void closeMainWindow() {
    if (fullscreen) {
        platform->restoreDisplayMode();
        platform->hideCursor(false);
    }
    if (renderContext) {
        if (!platform->makeNoneCurrent())
            platform->messageBox("Uvolnenie DC a RC zlyhalo.", closingCaption, MessageButtons::ok,
                                 MessageIcon::information);
        platform->deleteContext(renderContext);
        renderContext = nullptr;
    }
    if (mainWindow) {
        platform->destroyWindow(mainWindow);
        mainWindow = nullptr;
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
    loadModel("STL/hangar.rin");  // a missing model is reported and the hangars are left out
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
