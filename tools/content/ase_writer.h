#pragma once
// ASE (ASCII scene export) text written the way modelling tools write it: Z up,
// tabs for indentation and single tabs between numbers, four decimals, lines
// well under the engine's 128-character limit. The pieces a camera or object
// export is made of; the caller writes the tracks between them.
#include <string>

namespace content {

// A number as exporters print it: four decimals, and no "-0.0000".
std::string AseNumber(double v);
// `text` on a line of its own, `indent` tabs in.
void AseLine(std::string& out, int indent, const std::string& text);

// The opening every export starts with: the format line, a comment, the scene
// block (frames, frame rate, ticks per frame) and an empty material list.
struct AseScene {
  std::string comment;
  std::string fileName;  // the scene file it came from, as the block names it
  int firstFrame = 0;
  int lastFrame = 0;
  int frameSpeed = 30;      // frames per second
  int ticksPerFrame = 160;  // 4800 ticks a second at 30 frames
};
void AseHeader(std::string& out, const AseScene& scene);

// A node's transform block: identity rotation and scale at (x, y, z).
void AseNodeTm(std::string& out, int indent, const std::string& name, double x, double y, double z);

}  // namespace content
