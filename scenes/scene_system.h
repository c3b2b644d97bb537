#pragma once
// cSceneSystem: a piece of the show, updated and drawn once per frame while the
// show time lies in its window [windowStartMs, windowEndMs] (both ends included).
// Windows are written as music-time texts ("0:47.0") and read once at set-up.
#include <cstdint>
#include <optional>
#include <string_view>

#include "resources/font.h"

namespace VantorGL {

class cResources;

// "m:ss.d" read as milliseconds; the trailing number after '.' is added as plain
// milliseconds ("0:01.5" is 1005), a later ':' replaces the total ("1:2:03.0" is 123000).
int32_t ParseMusicTime(std::string_view text);

// A music time as makers write it, in a running order or on a command line:
// minutes, a colon, two digits of seconds below 60, a point and one or more
// digits of a decimal fraction of a second ("0:10.5" and "0:10.500" are 10500,
// "0:10.05" is 10050; digits beyond the millisecond are dropped). Nothing for
// any other text. The production's own texts all end in ".0", where this and
// ParseMusicTime agree.
std::optional<int32_t> ReadMusicTime(std::string_view text);

// A triangle strip over [-1, 1]^2 at z = 1 with texture coordinates [0, 1]^2.
void DrawUnitQuad();

struct Camera {
  double eye[3] = {0, 0, 0};
  double centre[3] = {0, 0, 0};
  double up[3] = {0, 0, 0};
  double fieldOfView = 0;
  double aspect = 0;
  double nearDistance = 0;
  double farDistance = 0;

  void SetLookAt(const double eyeXYZ[3], const double centreXYZ[3], const double upXYZ[3]);
  // Projection := perspective(fieldOfView, aspect, near, far); modelview := look-at.
  void ApplyCamera() const;
  // Multiplies the current matrix by the look-at only.
  void ApplyLookAt() const;
};

class cSceneSystem {
 public:
  cSceneSystem() = default;
  cSceneSystem(const cSceneSystem&) = delete;
  cSceneSystem& operator=(const cSceneSystem&) = delete;

  virtual ~cSceneSystem();
  virtual int32_t Init() { return 0; }
  virtual bool IsFinished() { return windowEndMs <= elapsedMs; }
  virtual void Update() {}
  virtual void Draw() {}
  // True when this frame's Draw would put exactly the picture of the last Draw
  // on view again. Asked between Update and Draw with the context current; a
  // scene that cannot tell answers false. The frame loop never asks: programs
  // that make frames of the show ask, to reuse a picture instead of drawing it.
  virtual bool PictureUnchanged() { return false; }
  // What the scene keeps of its last picture is not trusted: the next Draw
  // draws it afresh. Its owner calls this when something the picture is made
  // from changed where the scene cannot see it (a window or context made
  // again, an asset loaded again, the clocks set from outside).
  virtual void ForgetPicture() {}

  void SetTimeWindow(std::string_view startText, std::string_view endText);

  bool alwaysActive = false;
  bool disabled = false;
  FontRecord font;
  int32_t windowStartMs = 0;
  int32_t windowEndMs = 0;
  int32_t elapsedMs = 0;
  int32_t originMs = 0;
  int32_t activeMs = 0;
  cResources* resources = nullptr;  // not owned
  bool firstFrame = true;
  int32_t width = 0;
  int32_t height = 0;
};

// Called by a scene's owner once per frame, RunUpdate before RunDraw.
void RunUpdate(cSceneSystem& scene);
void RunDraw(cSceneSystem& scene);
// Whether RunDraw would call the scene's Draw this frame.
bool DrawsThisFrame(const cSceneSystem& scene);

}  // namespace VantorGL
