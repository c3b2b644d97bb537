#pragma once
// RGB pictures the end-to-end tests compare: a window's picture now, and a PNG
// a program wrote, both without alpha, top row first, through the project's
// own readers.
#include <cstdint>
#include <string>
#include <vector>

namespace vantor_test {

struct Rgb {
  int width = 0, height = 0;
  std::vector<uint8_t> px;  // RGB, top row first
  const uint8_t* at(int x, int y) const { return &px[(static_cast<size_t>(y) * width + x) * 3]; }
  bool operator==(const Rgb& o) const { return width == o.width && height == o.height && px == o.px; }
};

// The window's picture now (viewable windows only; see x_windows.h).
Rgb GrabRgb(const std::string& windowId);
// Empty when the file cannot be read or decoded.
Rgb LoadPng(const std::string& path);

}  // namespace vantor_test
