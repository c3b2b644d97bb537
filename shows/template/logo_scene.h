#pragma once
// cLogoScene: the logo model turning in the middle of the screen, lit per pixel
// by the normal-mapping effect over the steel-plate textures and pulsing on
// every beat, with the show's title in extruded outline letters rising in
// under it on the second bar. Its turn and the title's rise are sync tracks
// ("logo:turn" in degrees, "title:rise" from 0, unseen, to 1, in place).
#include "shaders/normal_mapping.h"
#include "timeline.h"

namespace show {

class cLogoScene : public cShowScene {
 public:
  ~cLogoScene() override;
  int32_t Init() override;
  void Draw() override;

 private:
  void DrawLogo(int32_t ms);
  void DrawTitle(float rise);

  const VantorGL::cSyncTrack* turn_ = nullptr;
  const VantorGL::cSyncTrack* rise_ = nullptr;
  VantorGL::cNormalMapping normalMapping_;
  VantorGL::FontRecord outline_;
};

}  // namespace show
