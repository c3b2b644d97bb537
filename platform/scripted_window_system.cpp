#include "platform/scripted_window_system.h"

#include <cstdio>

namespace VantorGL::platform {
namespace {
void* Handle(uintptr_t v) { return reinterpret_cast<void*>(v); }
uintptr_t Value(const void* p) { return reinterpret_cast<uintptr_t>(p); }
constexpr uintptr_t kContextBase = 0x10000;

std::string Hex(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", v);
  return text;
}
std::string ContextName(RenderContext rc) {
  return rc ? "ctx" + std::to_string(Value(rc) - kContextBase) : "none";
}
}  // namespace

void ScriptedWindowSystem::Post(uint32_t message, MessageParam wParam, MessageData lParam) {
  queue_.push_back(Message{window_, message, wParam, lParam});
}

void ScriptedWindowSystem::PostKey(uint32_t virtualKey, bool down) {
  Post(down ? WM_KEYDOWN : WM_KEYUP, virtualKey, 0);
}

int ScriptedWindowSystem::Find(const std::string& prefix, int from) const {
  for (size_t i = from < 0 ? 0 : static_cast<size_t>(from); i < calls.size(); ++i)
    if (calls[i].rfind(prefix, 0) == 0) return static_cast<int>(i);
  return -1;
}

int ScriptedWindowSystem::Count(const std::string& prefix) const {
  int n = 0;
  for (const std::string& c : calls)
    if (c.rfind(prefix, 0) == 0) ++n;
  return n;
}

void* ScriptedWindowSystem::ModuleHandle() { return Handle(0x400000); }

bool ScriptedWindowSystem::RegisterWindowClass(const char* name, uint32_t classStyle, WindowProcedureFn procedure) {
  calls.push_back(std::string("RegisterWindowClass ") + name + " " + Hex(classStyle));
  if (script.registerFails) return false;
  procedure_ = procedure;
  return true;
}

bool ScriptedWindowSystem::UnregisterWindowClass(const char* name) {
  calls.push_back(std::string("UnregisterWindowClass ") + name);
  return !script.unregisterFails;
}

bool ScriptedWindowSystem::ChangeDisplayMode(int width, int height, int bitsPerPixel) {
  calls.push_back("ChangeDisplayMode " + std::to_string(width) + "x" + std::to_string(height) + "x" +
                  std::to_string(bitsPerPixel));
  return !script.modeRefused;
}

void ScriptedWindowSystem::RestoreDisplayMode() { calls.push_back("RestoreDisplayMode"); }

WindowHandle ScriptedWindowSystem::CreateWindow(const WindowRequest& request) {
  calls.push_back("CreateWindow " + std::to_string(request.width) + "x" + std::to_string(request.height) +
                  " style=" + Hex(request.style) + " ex=" + Hex(request.exStyle) + " class=" + request.className +
                  " title=" + request.title);
  ++windowsCreated;
  if (script.createWindowFails ||
      (script.createWindowFailsFromCall > 0 && windowsCreated >= script.createWindowFailsFromCall))
    return nullptr;
  window_ = Handle(static_cast<uintptr_t>(nextHandle_++));
  if (script.sizeOnCreate && procedure_) {
    const int width = script.createdWidth > 0 ? script.createdWidth : request.width;
    const int height = script.createdHeight > 0 ? script.createdHeight : request.height;
    procedure_(window_, WM_SIZE, 0, static_cast<MessageData>(MakeParam(width, height)));
  }
  return window_;
}

bool ScriptedWindowSystem::DestroyWindow(WindowHandle window) {
  calls.push_back("DestroyWindow");
  if (window == window_) window_ = nullptr;
  return !script.destroyWindowFails;
}

void ScriptedWindowSystem::ShowWindow(WindowHandle, int command) {
  calls.push_back("ShowWindow " + std::to_string(command));
}

bool ScriptedWindowSystem::SetForegroundWindow(WindowHandle) {
  calls.push_back("SetForegroundWindow");
  return true;
}

void ScriptedWindowSystem::SetFocus(WindowHandle) { calls.push_back("SetFocus"); }

void ScriptedWindowSystem::ShowCursor(bool show) { calls.push_back(show ? "ShowCursor 1" : "ShowCursor 0"); }

DeviceContext ScriptedWindowSystem::GetDeviceContext(WindowHandle window) {
  calls.push_back("GetDeviceContext");
  if (script.noDeviceContext) return nullptr;
  return Handle(Value(window) + 0x8000);
}

bool ScriptedWindowSystem::ReleaseDeviceContext(WindowHandle, DeviceContext) {
  calls.push_back("ReleaseDeviceContext");
  return !script.releaseDeviceContextFails;
}

int ScriptedWindowSystem::ChoosePixelFormat(DeviceContext, const PixelFormatRequest& request) {
  calls.push_back("ChoosePixelFormat bits=" + std::to_string(request.colorBits) +
                  " depth=" + std::to_string(request.depthBits) + " flags=" + Hex(request.flags));
  return script.noPixelFormat ? 0 : script.ordinaryFormat;
}

bool ScriptedWindowSystem::SetPixelFormat(DeviceContext, int format, const PixelFormatRequest&) {
  calls.push_back("SetPixelFormat " + std::to_string(format));
  if (script.setPixelFormatFails) return false;
  lastPixelFormat = format;
  return true;
}

bool ScriptedWindowSystem::SwapBuffers(DeviceContext) {
  calls.push_back("SwapBuffers");
  ++swaps;
  if (onSwap) onSwap();
  return true;
}

RenderContext ScriptedWindowSystem::CreateContext(DeviceContext) {
  calls.push_back("CreateContext");
  if (script.noContext) return nullptr;
  ++contextsCreated;
  ++liveContexts;
  return Handle(kContextBase + static_cast<uintptr_t>(contextsCreated));
}

bool ScriptedWindowSystem::MakeCurrent(DeviceContext dc, RenderContext rc) {
  calls.push_back("MakeCurrent " + ContextName(rc));
  if (rc == nullptr) {
    if (script.releaseCurrentFails) return false;
    currentContext = nullptr;
    return true;
  }
  if (script.makeCurrentFails || dc == nullptr) return false;
  currentContext = rc;
  return true;
}

bool ScriptedWindowSystem::DeleteContext(RenderContext rc) {
  calls.push_back("DeleteContext " + ContextName(rc));
  if (script.deleteContextFails) return false;
  --liveContexts;
  if (currentContext == rc) currentContext = nullptr;
  return true;
}

bool ScriptedWindowSystem::SetSwapInterval(int interval) {
  calls.push_back("SetSwapInterval " + std::to_string(interval));
  return true;
}

bool ScriptedWindowSystem::HasMultisampleExtension() {
  calls.push_back("HasMultisampleExtension");
  return !script.noMultisampleExtension;
}

bool ScriptedWindowSystem::HasMultisampleFormatChooser() {
  calls.push_back("HasMultisampleFormatChooser");
  return !script.noMultisampleChooser;
}

bool ScriptedWindowSystem::ChooseMultisampleFormat(DeviceContext, const int* intAttributes, const float*,
                                                   unsigned maxFormats, int* formats, unsigned* count) {
  lastMultisampleAttributes.clear();
  int samples = 0;
  for (const int* a = intAttributes; a[0] != 0 || a[1] != 0; a += 2) {
    lastMultisampleAttributes.push_back(a[0]);
    lastMultisampleAttributes.push_back(a[1]);
    if (a[0] == WGL_SAMPLES_ARB) samples = a[1];
  }
  calls.push_back("ChooseMultisampleFormat samples=" + std::to_string(samples) +
                  " max=" + std::to_string(maxFormats));
  *count = 0;
  if (script.noMultisampleFormat) return true;  // the call works and finds nothing
  formats[0] = script.multisampleFormat;
  *count = 1;
  return true;
}

bool ScriptedWindowSystem::PeekMessage(Message& message) {
  if (queue_.empty()) {
    if (!quitPosted) return false;
    quitPosted = false;
    message = Message{nullptr, WM_QUIT, static_cast<MessageParam>(quitCode_), 0};
    return true;
  }
  message = queue_.front();
  queue_.pop_front();
  return true;
}

MessageResult ScriptedWindowSystem::DispatchMessage(const Message& message) {
  if (!procedure_) return 0;
  return procedure_(message.window, message.message, message.wParam, message.lParam);
}

MessageResult ScriptedWindowSystem::DefaultWindowProcedure(WindowHandle, uint32_t message, MessageParam, MessageData) {
  calls.push_back("DefaultWindowProcedure " + Hex(message));
  return 0;
}

void ScriptedWindowSystem::PostQuitMessage(int exitCode) {
  calls.push_back("PostQuitMessage " + std::to_string(exitCode));
  quitPosted = true;
  quitCode_ = exitCode;
}

void ScriptedWindowSystem::WaitForEvent(int timeoutMs) {
  calls.push_back("WaitForEvent " + std::to_string(timeoutMs));
  if (onWait) onWait(timeoutMs);
}

void ScriptedWindowSystem::DisableScreenSaver() { calls.push_back("DisableScreenSaver"); }

}  // namespace VantorGL::platform
