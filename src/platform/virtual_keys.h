// virtual_keys.h — the key codes the key table is indexed by.
#pragma once

#include <cstdint>

constexpr uint8_t virtualKeyBackspace = 0x08;
constexpr uint8_t virtualKeyTab = 0x09;
constexpr uint8_t virtualKeyEnter = 0x0D;
constexpr uint8_t virtualKeyShift = 0x10;
constexpr uint8_t virtualKeyControl = 0x11;
constexpr uint8_t virtualKeyAlt = 0x12;  // only ever seen as a desktop key
constexpr uint8_t virtualKeyEscape = 0x1B;
constexpr uint8_t virtualKeySpace = 0x20;
constexpr uint8_t virtualKeyLeft = 0x25;
constexpr uint8_t virtualKeyUp = 0x26;
constexpr uint8_t virtualKeyRight = 0x27;
constexpr uint8_t virtualKeyDown = 0x28;
constexpr uint8_t virtualKey0 = 0x30;  // digits 0x30..0x39
constexpr uint8_t virtualKeyA = 0x41;  // letters 0x41..0x5A
constexpr uint8_t virtualKeyC = 0x43;
constexpr uint8_t virtualKeyE = 0x45;
constexpr uint8_t virtualKeyL = 0x4C;
constexpr uint8_t virtualKeyR = 0x52;
constexpr uint8_t virtualKeyS = 0x53;
constexpr uint8_t virtualKeyF1 = 0x70;  // F1..F12 0x70..0x7B
constexpr uint8_t virtualKeyF4 = 0x73;
constexpr uint8_t virtualKeyF10 = 0x79;
