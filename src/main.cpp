// main.cpp — the kalimbor executable: nothing but the entry into the main loop.
#include "app/main_loop.h"

int main() {
    return runMainLoop();
}
