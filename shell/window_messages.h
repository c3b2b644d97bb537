#pragma once
// The shell's own window messages and virtual-key codes. They keep the reference
// platform's numeric values so the message table and the key array read as they
// were designed; the platform layer translates its events into them.
#include <cstdint>

namespace VantorGL {

using WindowHandle = void*;  // opaque, owned by the window system
using MessageParam = uintptr_t;   // wParam
using MessageData = intptr_t;     // lParam
using MessageResult = intptr_t;

// Messages.
constexpr uint32_t WM_SIZE = 0x0005;
constexpr uint32_t WM_ACTIVATE = 0x0006;
constexpr uint32_t WM_CLOSE = 0x0010;
constexpr uint32_t WM_QUIT = 0x0012;
constexpr uint32_t WM_NCMOUSEMOVE = 0x00A0;
constexpr uint32_t WM_KEYDOWN = 0x0100;
constexpr uint32_t WM_KEYUP = 0x0101;
constexpr uint32_t WM_SYSCOMMAND = 0x0112;

// WM_ACTIVATE: low word of wParam is the activation state, high word nonzero
// while the window is minimised.
constexpr uint32_t WA_INACTIVE = 0;
constexpr uint32_t WA_ACTIVE = 1;

// WM_SYSCOMMAND requests (wParam).
constexpr MessageParam SC_SCREENSAVE = 0xF140;
constexpr MessageParam SC_MONITORPOWER = 0xF170;

// Virtual-key codes. Letters and digits are their upper-case ASCII codes.
constexpr uint32_t VK_BACK = 0x08;
constexpr uint32_t VK_TAB = 0x09;
constexpr uint32_t VK_RETURN = 0x0D;
constexpr uint32_t VK_SHIFT = 0x10;
constexpr uint32_t VK_CONTROL = 0x11;
constexpr uint32_t VK_MENU = 0x12;  // Alt
constexpr uint32_t VK_PAUSE = 0x13;
constexpr uint32_t VK_ESCAPE = 0x1B;
constexpr uint32_t VK_SPACE = 0x20;
constexpr uint32_t VK_PRIOR = 0x21;
constexpr uint32_t VK_NEXT = 0x22;
constexpr uint32_t VK_END = 0x23;
constexpr uint32_t VK_HOME = 0x24;
constexpr uint32_t VK_LEFT = 0x25;
constexpr uint32_t VK_UP = 0x26;
constexpr uint32_t VK_RIGHT = 0x27;
constexpr uint32_t VK_DOWN = 0x28;
constexpr uint32_t VK_INSERT = 0x2D;
constexpr uint32_t VK_DELETE = 0x2E;
constexpr uint32_t VK_F1 = 0x70;  // F1..F12 are consecutive
constexpr uint32_t VK_OEM_4 = 0xDB;  // '[' on a US layout
constexpr uint32_t VK_OEM_6 = 0xDD;  // ']' on a US layout

constexpr MessageParam MakeParam(uint32_t low, uint32_t high) {
  return static_cast<MessageParam>((low & 0xFFFFu) | ((high & 0xFFFFu) << 16));
}
constexpr uint32_t LowWord(uintptr_t v) { return static_cast<uint32_t>(v & 0xFFFFu); }
constexpr uint32_t HighWord(uintptr_t v) { return static_cast<uint32_t>((v >> 16) & 0xFFFFu); }

struct Message {
  WindowHandle window = nullptr;
  uint32_t message = 0;
  MessageParam wParam = 0;
  MessageData lParam = 0;
};

// The procedure a window class forwards every message to.
using WindowProcedureFn = MessageResult (*)(WindowHandle window, uint32_t message, MessageParam wParam,
                                            MessageData lParam);

}  // namespace VantorGL
