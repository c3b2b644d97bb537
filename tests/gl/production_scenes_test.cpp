// The registry loads the generated data tree; the water scene, made always active,
// draws sky, logo, water and glow; the slide scene draws the scheduled slide over
// the background, upright.
#include <epoxy/gl.h>
#include <gtest/gtest.h>
#include <GL/glu.h>
#include <png.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <vector>

#include "platform/clock.h"
#include "platform/gl_extensions.h"
#include "demo_scene.h"
#include "resources/texture_images.h"
#include "shell/audio_library.h"
#include "shell/file_paths.h"
#include "shell/timer.h"
#include "tests/support/gl_fixture.h"
#include "tests/support/process.h"

using namespace VantorGL;
using namespace vantor_test;
namespace fs = std::filesystem;

namespace {

struct Rgb {
  double r = 0, g = 0, b = 0;
  double Sum() const { return r + g + b; }
};

// Loads the whole production once for the suite, in a copy of the stage.
class ProductionScenes : public GlTest {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(EnsureGlContext());
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    dir = std::make_unique<WorkDir>(WorkDir::CopyOfStage());
    ASSERT_TRUE(fs::exists(dir->File("data/default.qelProperty"))) << "no stage";
    oldCwd = fs::current_path();
    fs::current_path(dir->path());
    platform::SetClockSource([] { return ticks; }, 1000);
    cTimer::Instance() = cTimer();
    demo = std::make_unique<cDemoScene>();
    demo->width = 256;
    demo->height = 256;
    demo->Init();
    fs::current_path(oldCwd);
  }
  static void TearDownTestSuite() {
    demo.reset();
    platform::ResetClockSource();
    cTimer::Instance() = cTimer();
    dir.reset();
  }

  static void Frame(int64_t deltaMs) {
    ticks += deltaMs;
    cTimer::Instance().Tick();
  }

  static std::vector<uint8_t> ReadWindow() {
    std::vector<uint8_t> pixels(256 * 256 * 4);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, 256, 256, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
  }

  // Mean colour of a rectangle (GL window coordinates, origin bottom left).
  static Rgb Mean(const std::vector<uint8_t>& px, int x0, int y0, int x1, int y1) {
    Rgb m;
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x, ++n) {
        const uint8_t* p = &px[(y * 256 + x) * 4];
        m.r += p[0];
        m.g += p[1];
        m.b += p[2];
      }
    m.r /= n;
    m.g /= n;
    m.b /= n;
    return m;
  }

  static inline std::unique_ptr<WorkDir> dir;
  static inline std::unique_ptr<cDemoScene> demo;
  static inline fs::path oldCwd;
  static inline int64_t ticks = 1'000'000;
};

TEST_F(ProductionScenes, RegistryHoldsEveryAsset) {
  cResources& r = demo->registry;
  EXPECT_NE(r.scenery1Tex01.texture, 0u);
  EXPECT_NE(r.nm1.texture, 0u);
  EXPECT_NE(r.waterTexture.texture, 0u);
  EXPECT_NE(r.skyTexture.texture, 0u);
  EXPECT_NE(r.overlayI.texture, 0u);
  for (int i = 0; i < 6; ++i) EXPECT_NE(r.tex[i].texture, 0u) << i;
  for (int i = 6; i < 10; ++i) EXPECT_EQ(r.tex[i].texture, 0u) << i;
  for (int i = 0; i < 56; ++i) EXPECT_NE(r.slides[i].texture, 0u) << i;
  for (int i = 56; i < 100; ++i) EXPECT_EQ(r.slides[i].texture, 0u) << i;
  EXPECT_GT(r.kmLogo.meshCount, 0);
  EXPECT_GT(r.testScenary.meshCount, 0);
  EXPECT_GT(r.testShaderObject.meshCount, 0);
  EXPECT_EQ(r.camera01.kind, 1);
  EXPECT_EQ(r.camera01.object.name, "Camera01");
  EXPECT_GT(r.camera01.object.count, 0);
  EXPECT_EQ(r.camera01Target.object.name, "Camera01.Target");
  EXPECT_EQ(r.randomPath01.kind, 2);
  EXPECT_EQ(r.randomPath01.object.count, 6);
  EXPECT_EQ(r.randomPath01.object.keyTimes[5], 48001);
  EXPECT_EQ(r.particles.particleCount, 500);
  EXPECT_NE(r.music.stream, 0u);
  EXPECT_TRUE(r.waterShader.IsLinked());
  EXPECT_TRUE(r.normalMapping.IsLinked());
  EXPECT_TRUE(r.gaussianBlurShader.IsLinked());
  EXPECT_TRUE(r.blurShader.IsLinked());
  EXPECT_TRUE(r.geometryShader.IsLinked());
}

// The model-view matrix at each element draw (only the logo draws elements in
// the water scene: the sky and the quads are immediate, the water an array draw).
std::vector<std::array<double, 16>>* g_elementDraws = nullptr;
PFNGLDRAWELEMENTSPROC g_drawElements = nullptr;

void GLAPIENTRY RecordDrawElements(GLenum mode, GLsizei count, GLenum type, const void* indices) {
  std::array<double, 16> m{};
  glGetDoublev(GL_MODELVIEW_MATRIX, m.data());
  g_elementDraws->push_back(m);
  g_drawElements(mode, count, type, indices);
}

TEST_F(ProductionScenes, WaterSceneDrawsSkyLogoWaterAndGlow) {
  cStartScene& scene = demo->startScene;
  scene.alwaysActive = true;
  glViewport(0, 0, 256, 256);
  for (int i = 0; i < 3; ++i) {
    RunUpdate(scene);
    Frame(40);
    RunDraw(scene);
  }
  scene.alwaysActive = false;
  EXPECT_GT(scene.sceneTimeMs, 0);
  // A refused call (the water patch's maps) leaves the surface undefined.
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  const auto px = ReadWindow();
  if (const char* keep = std::getenv("VANTOR_KEEP_SHOTS")) {
    FILE* f = std::fopen((std::string(keep) + "/water.rgba").c_str(), "wb");
    std::fwrite(px.data(), 1, px.size(), f);
    std::fclose(f);
  }
  const Rgb sky = Mean(px, 0, 200, 256, 256);
  const Rgb water = Mean(px, 0, 0, 256, 60);
  const Rgb centre = Mean(px, 96, 96, 160, 160);
  EXPECT_GT(sky.Sum(), 30) << "the sky dome is textured";
  EXPECT_GT(water.Sum(), 30) << "the water surface is drawn";
  EXPECT_GT(std::abs(centre.Sum() - sky.Sum()) + std::abs(centre.Sum() - water.Sum()), 10)
      << "the logo stands out in the middle";

  // The camera circles (0, 10, 0) at radius 50, 10 units above it, a = t / 5600
  // radians; the logo, 10 units up (mirrored below the water in the reflection),
  // turns 0.01 degrees a millisecond about (1, 1, 0) at a third of its size.
  std::vector<std::array<double, 16>> draws;
  glDrawElements(GL_TRIANGLES, 0, GL_UNSIGNED_SHORT, nullptr);  // resolves the entry point first
  g_drawElements = epoxy_glDrawElements;
  epoxy_glDrawElements = RecordDrawElements;
  g_elementDraws = &draws;
  const c3DsModelSystem& logo = demo->registry.kmLogo;
  for (int64_t step : {9000, 12000}) {
    Frame(step);
    scene.alwaysActive = true;
    RunUpdate(scene);
    draws.clear();
    RunDraw(scene);
    scene.alwaysActive = false;
    const double t = scene.sceneTimeMs, a = t / 5600;
    const double eye[3] = {50 * std::sin(a), 20, -50 * std::cos(a)};
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(scene.camera.eye[i], eye[i], 1e-9) << "eye " << i << " at " << t;
    std::array<double, 16> expected[2];  // the reflection's view, the normal one
    for (int s : {-1, 1}) {
      glMatrixMode(GL_MODELVIEW);
      glPushMatrix();
      glLoadIdentity();
      gluLookAt(eye[0], eye[1], eye[2], 0, 10, 0, 0, 1, 0);
      glTranslated(0, 10 * s, 0);
      glScaled(1, s, 1);
      glRotated(t * 0.01, 1, 1, 0);
      glScaled(0.3, 0.3, 0.3);
      // The model's own placement, whatever its file gave it.
      glTranslatef(logo.position[0], logo.position[1], logo.position[2]);
      glRotatef(logo.rotation[0], 1, 0, 0);
      glRotatef(logo.rotation[1], 0, 1, 0);
      glRotatef(logo.rotation[2], 0, 0, 1);
      glScalef(logo.scale, logo.scale, logo.scale);
      glGetDoublev(GL_MODELVIEW_MATRIX, expected[s > 0].data());
      glPopMatrix();
    }
    int seen[2] = {0, 0};
    for (const auto& m : draws) {
      for (int view = 0; view < 2; ++view) {
        bool same = true;
        for (int i = 0; i < 16; ++i) same &= std::abs(m[i] - expected[view][i]) < 1e-3;
        seen[view] += same;
      }
    }
    EXPECT_GT(seen[0], 0) << "no logo in the reflection at " << t << " ms";
    // mainTarget and the glow's source take the normal view's logo from one draw.
    EXPECT_EQ(seen[1], seen[0]) << "the logo in the normal view, once, at " << t << " ms";
    EXPECT_EQ(seen[0] + seen[1], static_cast<int>(draws.size())) << "a logo placed otherwise at " << t << " ms";
  }
  epoxy_glDrawElements = g_drawElements;
  g_elementDraws = nullptr;
}

int g_evaluations = 0;
PFNGLEVALMESH2PROC g_evalMesh2 = nullptr;
void GLAPIENTRY CountEvalMesh2(GLenum mode, GLint i1, GLint i2, GLint j1, GLint j2) {
  ++g_evaluations;
  g_evalMesh2(mode, i1, i2, j1, j2);
}

// Level 0 of a target's colour texture, read as half floats.
std::vector<uint16_t> TargetTexels(const cRenderTextureSystem& target) {
  std::vector<uint16_t> texels(static_cast<size_t>(target.width) * target.height * 4);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, target.colorTexture);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_HALF_FLOAT, texels.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  return texels;
}

// The water scene draws its sky and its normal view's logo and water each once into
// two targets, its water from a surface evaluated once, and its window's three
// layers in one pass. A second water scene, made where the driver offers neither
// two draw buffers, nor transform feedback, nor GLSL 1.30's integers, draws them
// pass by pass, the patch evaluated at every draw, as the passes are laid out: the
// two must give the same bits, in the window and in every target.
TEST_F(ProductionScenes, WaterSceneDrawnOnceGivesThePicturesOfItsPassesDrawnOneByOne) {
  cStartScene& once = demo->startScene;
  cStartScene oneByOne;
  oneByOne.resources = &demo->registry;
  auto withoutShortcuts = [](auto&& draw) {
    platform::HideGlExtension("GL_ARB_draw_buffers");
    platform::HideGlExtension("GL_EXT_transform_feedback");
    platform::HideGlExtension("GL_EXT_gpu_shader4");  // the window's three layers in one pass
    draw();
    platform::ClearHiddenGlExtensions();
  };
  withoutShortcuts([&] { oneByOne.Init(); });
  glViewport(0, 0, 256, 256);
  glDrawElements(GL_TRIANGLES, 0, GL_UNSIGNED_SHORT, nullptr);  // resolves the entry points first
  glEvalMesh2(GL_FILL, 0, 0, 0, 0);
  g_evalMesh2 = epoxy_glEvalMesh2;
  epoxy_glEvalMesh2 = CountEvalMesh2;
  std::vector<std::array<double, 16>> draws;
  g_drawElements = epoxy_glDrawElements;
  epoxy_glDrawElements = RecordDrawElements;
  g_elementDraws = &draws;

  // Each scene's first frame (the surface captured) first; then two frames each,
  // every one starting from the state the other scene's frame left.
  for (const double t : {0.0, 2500.0, 13000.0}) {
    once.sceneTimeMs = oneByOne.sceneTimeMs = t;
    g_evaluations = 0;
    draws.clear();
    once.Draw();
    const auto windowOnce = ReadWindow();
    const int evaluationsOnce = g_evaluations, logosOnce = static_cast<int>(draws.size());
    g_evaluations = 0;
    draws.clear();
    withoutShortcuts([&] { oneByOne.Draw(); });
    if (t == 0) {
      ASSERT_TRUE(once.DrawsInFewerPasses()) << "the one-pass effects did not build";
      ASSERT_FALSE(oneByOne.DrawsInFewerPasses());
      continue;
    }
    EXPECT_EQ(evaluationsOnce, 0) << "the surface evaluated again at " << t;
    EXPECT_EQ(g_evaluations, 2) << "one evaluation a normal view at " << t;
    EXPECT_EQ(2 * static_cast<int>(draws.size()), 3 * logosOnce)
        << "the logo drawn in two views against three at " << t;
    EXPECT_TRUE(ReadWindow() == windowOnce) << "the window at " << t << " ms";
    EXPECT_TRUE(TargetTexels(once.reflectionTarget) == TargetTexels(oneByOne.reflectionTarget))
        << "mirrored view at " << t;
    EXPECT_TRUE(TargetTexels(once.mainTarget) == TargetTexels(oneByOne.mainTarget)) << "main view at " << t;
    EXPECT_TRUE(TargetTexels(once.bloomSource) == TargetTexels(oneByOne.bloomSource)) << "glow's source at " << t;
    EXPECT_TRUE(TargetTexels(once.blurTarget) == TargetTexels(oneByOne.blurTarget)) << "glow at " << t;
  }

  // The one-pass window keeps the overlay's bytes from frame to frame: they follow
  // a picture loaded again into the overlay's texture once the scene is told to
  // forget what it keeps, and a new view.
  auto sameWindows = [&](const char* what) {
    once.Draw();
    const auto windowOnce = ReadWindow();
    withoutShortcuts([&] { oneByOne.Draw(); });
    EXPECT_TRUE(ReadWindow() == windowOnce) << what;
  };
  cTextureSystem& overlay = demo->registry.overlayI;
  TextureImage stripes{64, 64, 4, std::vector<uint8_t>(64 * 64 * 4)};
  for (size_t i = 0; i < stripes.pixels.size(); ++i) stripes.pixels[i] = (i / 4) % 64 < 32 ? 200 : 90;
  ASSERT_TRUE(overlay.Replace(stripes, true));
  once.ForgetPicture();
  sameWindows("the window with the overlay loaded again");
  const auto original = VantorGL::ReadFileBytes(dir->File("data/Textures/overlay.png"));
  ASSERT_TRUE(original);
  const auto picture = PreparePngTexture(original->data(), original->size(), 16384);
  ASSERT_TRUE(picture && overlay.Replace(*picture, true));
  once.ForgetPicture();
  sameWindows("the window with the overlay's own picture again");
  glViewport(0, 0, 200, 150);
  sameWindows("the window in a smaller view");
  glViewport(0, 0, 256, 256);

  epoxy_glEvalMesh2 = g_evalMesh2;
  epoxy_glDrawElements = g_drawElements;
  g_elementDraws = nullptr;
}

GLint InternalFormat(const cRenderTextureSystem& target) {
  GLint format = 0;
  glBindTexture(GL_TEXTURE_2D, target.colorTexture);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
  glBindTexture(GL_TEXTURE_2D, 0);
  return format;
}

// The water scene's targets hold bytes where they once held half floats; its
// window stays within 4 levels of what half floats gave, for colours in 0..1. A
// byte is within half a level of the colour and a half float within an eighth,
// so the main view's byte in the window moves by at most 1. The glow's source
// moves by at most 0.8 of a level (0.625, and the reflection's half level
// through the water's division by 3); the threshold (x - 0.5) / 0.5 doubles that
// to 1.6, the bright target's own rounding makes 2.2, the blur (weights summing
// to 1) keeps it and its rounding makes 2.7: 3 levels of glow. Main view plus
// glow: 4.
TEST_F(ProductionScenes, WaterSceneWithByteTargetsStaysWithinFourLevelsOfHalfFloats) {
  cStartScene& bytes = demo->startScene;
  cStartScene halfFloats;
  halfFloats.resources = &demo->registry;
  halfFloats.targetColour = cRenderTextureSystem::Colour::kHalfFloat;
  halfFloats.Init();
  glViewport(0, 0, 256, 256);
  int worst = 0;
  for (const double t : {2500.0, 13000.0, 27000.0}) {
    bytes.sceneTimeMs = halfFloats.sceneTimeMs = t;
    bytes.Draw();
    const auto windowBytes = ReadWindow();
    halfFloats.Draw();
    const auto windowHalfFloats = ReadWindow();
    for (size_t i = 0; i < windowBytes.size(); ++i)
      worst = std::max(worst, std::abs(windowBytes[i] - windowHalfFloats[i]));
  }
  EXPECT_EQ(InternalFormat(bytes.mainTarget), GL_RGBA8);
  EXPECT_EQ(InternalFormat(halfFloats.mainTarget), GL_RGBA16F_ARB);
  EXPECT_LE(worst, 4) << "levels apart";
}

// Through the show's 47 s the slide scene alone draws: it is on from 0:00 to
// 1:00, the water scene from 1:00 to 1:30, each from its own first frame. The
// slide scene clears the window itself, so a water scene drawn beneath it would
// not show in the picture: its logo's element draws are counted instead.
TEST_F(ProductionScenes, TheSlideSceneAloneDrawsThroughTheShowAndTheWaterSceneFromOneMinute) {
  demo->startScene.firstFrame = true;
  demo->slideScene.firstFrame = true;
  glViewport(0, 0, 256, 256);
  std::vector<std::array<double, 16>> draws;
  glDrawElements(GL_TRIANGLES, 0, GL_UNSIGNED_SHORT, nullptr);  // resolves the entry point first
  g_drawElements = epoxy_glDrawElements;
  epoxy_glDrawElements = RecordDrawElements;
  g_elementDraws = &draws;
  int64_t showMs = 0;
  for (const int64_t at : {0, 30500, 46900, 59500, 60500}) {
    Frame(at - showMs);
    showMs = at;
    demo->Update();
    draws.clear();
    demo->Draw();
    const bool water = !draws.empty();
    EXPECT_EQ(water, at >= 60000) << "the water scene at " << at << " ms";
    const auto px = ReadWindow();
    if (at < 60000) {
      EXPECT_GT(Mean(px, 0, 0, 256, 256).Sum(), 30) << "a slide at " << at << " ms";
    }
  }
  epoxy_glDrawElements = g_drawElements;
  g_elementDraws = nullptr;
}

// What the registry's teardown has left when its fonts' lists go: the effects'
// programs are gone already, the music (and the audio library it frees) is not.
struct FontTeardown {
  std::vector<GLuint> programs;
  std::vector<GLuint> listsDeleted;
  bool effectsGone = false;
  bool musicStillThere = false;
};
FontTeardown* g_teardown = nullptr;
PFNGLDELETELISTSPROC g_deleteLists = nullptr;

void GLAPIENTRY RecordDeleteLists(GLuint list, GLsizei range) {
  if (g_teardown->listsDeleted.empty()) {
    g_teardown->effectsGone = true;
    for (GLuint p : g_teardown->programs) g_teardown->effectsGone &= !glIsProgram(p);
    g_teardown->musicStillThere = audio::MixRate() != 0;
  }
  g_teardown->listsDeleted.push_back(list);
  g_deleteLists(list, range);
}

class RegistryTeardown : public GlTest {};

TEST_F(RegistryTeardown, FontListsGoAfterTheEffectsAndJustBeforeTheMusic) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  auto registry = std::make_unique<cResources>();
  registry->music.Open();  // no file here: a silent record, the library started
  registry->arialFont.BuildBitmapFont("", "Arial", -16);
  registry->actionFont.BuildBitmapFont("", "Arial", -24);
  registry->InitShaders();
  FontTeardown seen;
  for (const cShaderSystem* effect : std::initializer_list<const cShaderSystem*>{
           &registry->normalMapping, &registry->blurShader, &registry->waterShader,
           &registry->gaussianBlurShader})
    if (effect->program != 0) seen.programs.push_back(effect->program);
  ASSERT_FALSE(seen.programs.empty());
  ASSERT_NE(audio::MixRate(), 0);
  const std::vector<GLuint> fonts = {registry->actionFont.bitmapBase, registry->arialFont.bitmapBase};

  glDeleteLists(1, 0);  // resolves the entry point, so the stand-in is not overwritten
  g_deleteLists = epoxy_glDeleteLists;
  epoxy_glDeleteLists = RecordDeleteLists;
  g_teardown = &seen;
  registry.reset();
  epoxy_glDeleteLists = g_deleteLists;
  g_teardown = nullptr;

  EXPECT_EQ(seen.listsDeleted, fonts) << "actionFont's lists, then arialFont's";
  EXPECT_TRUE(seen.effectsGone);
  EXPECT_TRUE(seen.musicStillThere);
  EXPECT_EQ(audio::MixRate(), 0) << "the music went last and freed the library";
}

}  // namespace
