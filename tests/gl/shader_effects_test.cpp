// The shader effects on Mesa: every source compiles (and passes glslangValidator
// too), each effect's arithmetic against a CPU reference (a known texture drawn
// through the effect into a float render target and read back), failure logging,
// and effects on a driver without shader objects.
#include <epoxy/gl.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/gl_extensions.h"
#include "platform/gl_procs.h"
#include "resources/render_texture_system.h"
#include "shaders/blur_shader.h"
#include "shaders/gaussian_blur_shader.h"
#include "shaders/geometry_shader.h"
#include "shaders/normal_mapping.h"
#include "shaders/shader_sources.h"
#include "shaders/water_shader.h"
#include "shell/debug_system.h"
#include "tests/support/gl_fixture.h"

namespace fs = std::filesystem;
using namespace VantorGL;

namespace {

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string GeometryFileText() {
  return ReadText(fs::path(VANTOR_SOURCE_DIR) / "data" / "Shaders" / "test.geom");
}

// A scratch directory that holds a copy of the geometry file as the program
// finds it, made the working directory for the test's lifetime.
class ScratchDir {
 public:
  explicit ScratchDir(bool withGeometryFile, const std::string& override = "") {
    dir_ = fs::temp_directory_path() /
           ("vantor_shaders_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++));
    fs::create_directories(dir_ / "data" / "Shaders");
    if (withGeometryFile)
      std::ofstream(dir_ / "data" / "Shaders" / "test.geom", std::ios::binary)
          << (override.empty() ? GeometryFileText() : override);
    old_ = fs::current_path();
    fs::current_path(dir_);
  }
  ~ScratchDir() {
    fs::current_path(old_);
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  const fs::path& path() const { return dir_; }

 private:
  static inline int counter_ = 0;
  fs::path dir_, old_;
};

// An RGBA32F texture, nearest filtering, repeat wrap.
GLuint MakeTexture(int w, int h, const std::vector<float>& rgba) {
  GLuint t = 0;
  glGenTextures(1, &t);
  glBindTexture(GL_TEXTURE_2D, t);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, w, h, 0, GL_RGBA, GL_FLOAT, rgba.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  return t;
}

GLuint SolidTexture(float r, float g, float b, float a) {
  return MakeTexture(2, 2, {r, g, b, a, r, g, b, a, r, g, b, a, r, g, b, a});
}

struct Image {
  int w = 0, h = 0;
  std::vector<float> px;
  const float* at(int x, int y) const { return &px[(static_cast<size_t>(y) * w + x) * 4]; }
};

// Draws into a cleared float target of w x h with identity matrices (the caller's
// `setup` may change them) and reads the result back.
Image Render(int w, int h, const std::function<void()>& draw) {
  cRenderTextureSystem target;
  target.Create(w, h, 0);
  target.Begin();
  glViewport(0, 0, w, h);
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  draw();
  Image image{w, h, std::vector<float>(static_cast<size_t>(w) * h * 4)};
  glReadPixels(0, 0, w, h, GL_RGBA, GL_FLOAT, image.px.data());
  target.End();
  glDeleteTextures(1, &target.colorTexture);
  glDeleteTextures(1, &target.depthTexture);
  glDeleteRenderbuffers(1, &target.depthBuffer);
  glDeleteFramebuffers(1, &target.frameBuffer);
  return image;
}

// A quad over the whole view at height z, facing +z, texture coordinates [0, 1]^2.
void DrawQuad(float z = 0.0f) {
  glBegin(GL_TRIANGLE_STRIP);
  glNormal3f(0, 0, 1);
  glTexCoord2f(0, 0);
  glVertex3f(-1, -1, z);
  glTexCoord2f(1, 0);
  glVertex3f(1, -1, z);
  glTexCoord2f(0, 1);
  glVertex3f(-1, 1, z);
  glTexCoord2f(1, 1);
  glVertex3f(1, 1, z);
  glEnd();
}

GLint AttachedObjects(const cShaderSystem& effect) {
  GLint count = -1;
  effect.entryPoints().GetObjectParameterivARB(effect.program, GL_OBJECT_ATTACHED_OBJECTS_ARB,
                                                &count);
  return count;
}

// Reads the log that cDebugSystem writes while the test runs.
class LogCapture {
 public:
  LogCapture() {
    path_ = fs::temp_directory_path() / ("vantor_shader_log_" + std::to_string(::getpid()));
    cDebugSystem::Instance().Open(path_.string().c_str());
  }
  ~LogCapture() {
    cDebugSystem::Instance().file.close();
    std::error_code ec;
    fs::remove(path_, ec);
  }
  std::string Text() {
    cDebugSystem::Instance().Flush();
    return ReadText(path_);
  }

 private:
  fs::path path_;
};

class ShaderTest : public vantor_test::GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    while (glGetError() != GL_NO_ERROR) {
    }
  }
  void TearDown() override {
    platform::ClearHiddenGlExtensions();
    platform::ClearHiddenGlProcs();
    glUseProgram(0);
    for (int unit = 7; unit >= 0; --unit) {
      glActiveTexture(GL_TEXTURE0 + unit);
      glBindTexture(GL_TEXTURE_2D, 0);
      glDisable(GL_TEXTURE_2D);
      glMatrixMode(GL_TEXTURE);
      glLoadIdentity();
    }
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glViewport(0, 0, 256, 256);
    if (!textures_.empty()) glDeleteTextures(static_cast<GLsizei>(textures_.size()), textures_.data());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }
  GLuint Keep(GLuint texture) {
    textures_.push_back(texture);
    return texture;
  }
  std::vector<GLuint> textures_;
};

}  // namespace

// --- sources ------------------------------------------------------------------

TEST_F(ShaderTest, EverySourceCompilesOnMesaAndPassesGlslangValidator) {
  struct Case {
    std::string name, text, suffix;
    GLenum stage;
    bool glslang;
  };
  std::vector<Case> cases;
  for (const auto& s : shader_sources::All())
    cases.push_back({s.name, s.text, s.stage == GL_VERTEX_SHADER ? ".vert" : ".frag", s.stage, true});
  const std::string geometry = GeometryFileText();
  ASSERT_FALSE(geometry.empty());
  cases.push_back({"geometry file (4.00)", shader_sources::kGeometryPreamble400 + geometry, ".geom",
                   GL_GEOMETRY_SHADER, true});
  // glslang declares the compatibility built-ins of a geometry stage only from
  // 4.00 on, so the 1.50 form is checked by the driver alone.
  cases.push_back({"geometry file (1.50)", shader_sources::kGeometryPreamble150 + geometry, ".geom",
                   GL_GEOMETRY_SHADER, false});

  ASSERT_EQ(std::system("command -v glslangValidator >/dev/null 2>&1"), 0)
      << "glslangValidator missing (Debian glslang-tools; tools/setup.sh installs it)";
  fs::path dir = fs::temp_directory_path() / ("vantor_glslang_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  int index = 0;
  for (const Case& c : cases) {
    GLuint shader = glCreateShader(c.stage);
    const char* text = c.text.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    char log[4096] = "";
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    EXPECT_TRUE(ok) << c.name << ": " << log;
    glDeleteShader(shader);

    if (!c.glslang) continue;
    fs::path file = dir / (std::to_string(index++) + c.suffix);
    std::ofstream(file, std::ios::binary) << c.text;
    fs::path out = dir / "out.txt";
    std::string command = "glslangValidator '" + file.string() + "' >'" + out.string() + "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << c.name << ":\n" << ReadText(out);
  }
  fs::remove_all(dir);
}

// --- framework ----------------------------------------------------------------

TEST_F(ShaderTest, DefaultStagesLinkAndWriteTheColourWithoutRed) {
  cShaderSystem effect;
  ASSERT_TRUE(effect.InitEntryPoints());
  ASSERT_TRUE(effect.CreateVertexShader());
  ASSERT_TRUE(effect.CreateGeometryShader());
  ASSERT_TRUE(effect.CreateFragmentShader());
  EXPECT_TRUE(effect.IsLinked());
  EXPECT_EQ(effect.geometryShader, 0u);
  Image out = Render(4, 4, [&] {
    effect.entryPoints().UseProgramObjectARB(effect.program);
    glColor4f(0.9f, 0.3f, 0.6f, 1.0f);
    DrawQuad();
    glColor4f(1, 1, 1, 1);
  });
  const float* p = out.at(2, 2);
  EXPECT_FLOAT_EQ(p[0], 0.0f);
  EXPECT_NEAR(p[1], 0.3f, 1e-3);
  EXPECT_NEAR(p[2], 0.6f, 1e-3);
}

TEST_F(ShaderTest, EntryPointRequirements) {
  {
    // Optional entry points may be missing.
    platform::HideGlProc("glActiveTextureARB");
    platform::HideGlProc("glUniform3fARB");
    platform::HideGlProc("glUniform2fvARB");
    cNormalMapping effect;
    EXPECT_TRUE(effect.InitEntryPoints());
    EXPECT_NE(effect.program, 0u);
    EXPECT_EQ(effect.entryPoints().ActiveTextureARB, nullptr);
    ASSERT_TRUE(effect.CreateVertexShader());
    ASSERT_TRUE(effect.CreateFragmentShader());
    GLuint colour = Keep(SolidTexture(1, 1, 1, 1));
    effect.colorTexture.texture = colour;
    effect.Apply();  // must not reach the missing glActiveTextureARB
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), colour);
    platform::ClearHiddenGlProcs();
  }
  for (const char* required : {"glUniform1iARB", "glCreateProgramObjectARB", "glGetInfoLogARB"}) {
    platform::HideGlProc(required);
    cBlurShader effect;
    EXPECT_FALSE(effect.InitEntryPoints()) << required;
    EXPECT_EQ(effect.program, 0u) << required;
    EXPECT_EQ(effect.entryPoints().CreateShaderObjectARB, nullptr) << required;
    platform::ClearHiddenGlProcs();
  }
}

TEST_F(ShaderTest, CompileAndLinkFailuresGoToTheLog) {
  struct BrokenEffect : cShaderSystem {
    BrokenEffect() : cShaderSystem("cBrokenEffect") {}
    bool CreateFragmentShader() override {
      return BuildStage(GL_FRAGMENT_SHADER_ARB, "#version 110\nvoid main() { gl_FragColor = nope; }\n",
                        fragmentShader, "fragment") &&
             LinkProgram();
    }
  };
  struct UnlinkableEffect : cShaderSystem {
    UnlinkableEffect() : cShaderSystem("cUnlinkableEffect") {}
    // Compiles, but reads a varying the default vertex stage never writes.
    bool CreateFragmentShader() override {
      return BuildStage(GL_FRAGMENT_SHADER_ARB,
                        "#version 110\nvarying vec3 unwritten;\n"
                        "void main() { gl_FragColor = vec4(unwritten, 1.0); }\n",
                        fragmentShader, "fragment") &&
             LinkProgram();
    }
  };
  LogCapture log;
  {
    BrokenEffect broken;
    ASSERT_TRUE(broken.InitEntryPoints());
    ASSERT_TRUE(broken.CreateVertexShader());
    EXPECT_FALSE(broken.CreateFragmentShader());
    EXPECT_FALSE(broken.IsLinked());
    EXPECT_NE(broken.fragmentShader, 0u);
    EXPECT_EQ(AttachedObjects(broken), 1);
  }
  {
    UnlinkableEffect unlinkable;
    ASSERT_TRUE(unlinkable.InitEntryPoints());
    ASSERT_TRUE(unlinkable.CreateVertexShader());
    EXPECT_FALSE(unlinkable.CreateFragmentShader());
    EXPECT_EQ(AttachedObjects(unlinkable), 2);  // the fragment stage stays attached
  }
  const std::string text = log.Text();
  EXPECT_NE(text.find("(cBrokenEffect) fragment: did not compile"), std::string::npos) << text;
  EXPECT_NE(text.find("nope"), std::string::npos) << text;  // the compiler's own words
  EXPECT_NE(text.find("(cUnlinkableEffect) program: did not link"), std::string::npos) << text;
  EXPECT_NE(text.find("unwritten", text.find("did not link")), std::string::npos) << text;
}

TEST_F(ShaderTest, WithoutShaderObjectsEveryEffectBuildsAndAppliesNothing) {
  for (const char* hidden : {"GL_ARB_shader_objects", "GL_ARB_shading_language_100"}) {
    SCOPED_TRACE(hidden);
    platform::HideGlExtension(hidden);
    ScratchDir dir(true);
    GLuint marker = Keep(SolidTexture(1, 0, 0, 1));
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, marker);

    cGeometryShader geometry;
    cNormalMapping normalMapping;
    cBlurShader blur;
    cWaterShader water;
    cGaussianBlurShader bloom;
    EXPECT_FALSE(geometry.InitEntryPoints());
    EXPECT_FALSE(geometry.CreateVertexShader());
    EXPECT_FALSE(geometry.CreateGeometryShader());
    EXPECT_FALSE(geometry.CreateFragmentShader());
    EXPECT_FALSE(normalMapping.InitEntryPoints());
    EXPECT_FALSE(normalMapping.CreateVertexShader());
    EXPECT_FALSE(normalMapping.CreateFragmentShader());
    EXPECT_FALSE(blur.InitEntryPoints());
    EXPECT_FALSE(blur.CreateVertexShader());
    EXPECT_FALSE(blur.CreateFragmentShader());
    EXPECT_FALSE(water.InitEntryPoints());
    EXPECT_FALSE(water.CreateVertexShader());
    EXPECT_FALSE(water.CreateFragmentShader());
    EXPECT_FALSE(bloom.InitEntryPoints());
    EXPECT_FALSE(bloom.CreateVertexShader());
    EXPECT_FALSE(bloom.CreateBloomShader(1024, 768));

    normalMapping.colorTexture.texture = marker + 1000;
    water.reflectionTexture = marker + 1000;
    bloom.sourceTexture = marker + 1000;
    geometry.Apply();
    normalMapping.Apply();
    blur.Apply();
    water.Apply();
    water.Release();
    bloom.Apply();

    for (const cShaderSystem* e :
         std::initializer_list<const cShaderSystem*>{&geometry, &normalMapping, &blur, &water, &bloom}) {
      EXPECT_EQ(e->program, 0u);
      EXPECT_EQ(e->vertexShader + e->fragmentShader + e->geometryShader, 0u);
    }
    GLint program = -1, unit = 0, bound = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(program, 0);
    EXPECT_EQ(unit, GL_TEXTURE0);
    EXPECT_EQ(static_cast<GLuint>(bound), marker);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    platform::ClearHiddenGlExtensions();
  }
}

// --- blur and bloom -----------------------------------------------------------

TEST_F(ShaderTest, BlurIsThirteenTapsOverTen) {
  cBlurShader blur;
  ASSERT_TRUE(blur.InitEntryPoints());
  ASSERT_TRUE(blur.CreateVertexShader());
  ASSERT_TRUE(blur.CreateFragmentShader());
  ASSERT_GE(blur.locSampler0, 0);
  ASSERT_GE(blur.locBlurFactor, 0);

  const int n = 8;
  std::vector<float> texels(n * n * 4);
  unsigned seed = 12345;
  for (float& v : texels) {
    seed = seed * 1103515245u + 12345u;
    v = static_cast<float>((seed >> 16) & 0x7fff) / 32767.0f;
  }
  GLuint texture = Keep(MakeTexture(n, n, texels));
  // Taps up to two texels from the centre, none of them near a texel edge.
  blur.blurFactor = 0.256f;

  Image out = Render(n, n, [&] {
    blur.Apply();
    glActiveTexture(GL_TEXTURE0);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    DrawQuad();
    glUseProgram(0);
  });

  const float offsets[12][2] = {
      {-0.326212f, -0.405805f}, {-0.840144f, -0.073580f}, {-0.695914f, 0.457137f},
      {-0.203345f, 0.620716f},  {0.962340f, -0.194983f},  {0.473434f, -0.480026f},
      {0.519456f, 0.767022f},   {0.185461f, -0.893124f},  {0.507431f, 0.064425f},
      {0.896420f, 0.412458f},   {-0.321940f, -0.932615f}, {-0.791559f, -0.597705f}};
  int checked = 0;
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      float u = (x + 0.5f) / n, v = (y + 0.5f) / n;
      double sum[4] = {0, 0, 0, 0};
      bool nearEdge = false;
      auto tap = [&](float su, float sv) {
        float fx = su * n, fy = sv * n;
        if (std::fabs(fx - std::round(fx)) < 0.01f || std::fabs(fy - std::round(fy)) < 0.01f)
          nearEdge = true;  // nearest filtering could go either way
        int tx = ((static_cast<int>(std::floor(fx)) % n) + n) % n;
        int ty = ((static_cast<int>(std::floor(fy)) % n) + n) % n;
        for (int c = 0; c < 4; ++c) sum[c] += texels[(ty * n + tx) * 4 + c];
      };
      tap(u, v);
      for (const auto& o : offsets) tap(u + blur.blurFactor * o[0], v + blur.blurFactor * o[1]);
      if (nearEdge) continue;
      ++checked;
      for (int c = 0; c < 4; ++c)
        EXPECT_NEAR(out.at(x, y)[c], sum[c] / 10.0, 3e-3) << x << "," << y << " channel " << c;
    }
  }
  EXPECT_EQ(checked, n * n);
}

TEST_F(ShaderTest, BloomSpreadsOneTexelAndThresholdsTheResult) {
  cGaussianBlurShader bloom;
  ASSERT_TRUE(bloom.InitEntryPoints());
  ASSERT_TRUE(bloom.CreateVertexShader());
  ASSERT_TRUE(bloom.CreateBloomShader(1024, 768));
  EXPECT_EQ(bloom.width, 1024.0f);
  EXPECT_EQ(bloom.height, 768.0f);
  for (GLint loc : {bloom.locSampler0, bloom.locBlurFactor, bloom.locWidth, bloom.locHeight,
                    bloom.locAlpha, bloom.locBloom})
    EXPECT_GE(loc, 0);

  const int n = 8;
  auto draw = [&](GLuint texture, int across, int down) {
    return Render(across, down, [&] {
      bloom.sourceTexture = texture;
      bloom.Apply();
      DrawQuad();
      glUseProgram(0);
    });
  };
  // One texel apart: the taps land on texel centres. Wider than high, so that
  // a width taken for the height puts the taps off by a factor of two.
  const int w = 8, h = 4;
  bloom.width = w;
  bloom.height = h;
  bloom.blurFactor = 1.0f;

  // One bright texel on black, no threshold.
  std::vector<float> dot(w * h * 4, 0.0f);
  for (int i = 0; i < w * h; ++i) dot[i * 4 + 3] = 1.0f;
  for (int c = 0; c < 3; ++c) dot[(2 * w + 3) * 4 + c] = 1.0f;
  Image spread = draw(Keep(MakeTexture(w, h, dot)), w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      int dx = std::abs(x - 3), dy = std::abs(y - 2);
      float expected = (dx > 1 || dy > 1) ? 0.0f : (dx == 0 ? 2.0f : 1.0f) * (dy == 0 ? 2.0f : 1.0f) / 16.0f;
      EXPECT_NEAR(spread.at(x, y)[0], expected, 1e-3) << x << "," << y;
      EXPECT_NEAR(spread.at(x, y)[2], expected, 1e-3) << x << "," << y;
      EXPECT_NEAR(spread.at(x, y)[3], 1.0f, 1e-3) << x << "," << y;  // alpha 1 leaves it
    }
  }

  bloom.width = n;
  bloom.height = n;
  // Threshold 0.5: 0.5 goes to 0, 0.75 to 0.5; the alpha scale then halves alpha.
  std::vector<float> halves(n * n * 4);
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x)
      for (int c = 0; c < 4; ++c) halves[(y * n + x) * 4 + c] = c == 3 ? 1.0f : (x < n / 2 ? 0.5f : 0.75f);
  GLuint halvesTexture = Keep(MakeTexture(n, n, halves));
  bloom.bloom = 0.5f;
  bloom.alpha = 0.5f;
  Image bright = draw(halvesTexture, n, n);
  for (int y = 0; y < n; ++y) {
    for (int x : {1, 2}) EXPECT_NEAR(bright.at(x, y)[1], 0.0f, 1e-3) << x << "," << y;
    for (int x : {5, 6}) EXPECT_NEAR(bright.at(x, y)[1], 0.5f, 1e-3) << x << "," << y;
    EXPECT_NEAR(bright.at(1, y)[3], 0.5f, 1e-3);
  }

  // Threshold exactly 1 no longer divides by zero: a hard step, never NaN.
  std::vector<float> steps = halves;
  for (int y = 0; y < n; ++y)
    for (int x = n / 2; x < n; ++x) steps[(y * n + x) * 4] = 1.5f;
  bloom.bloom = 1.0f;
  bloom.alpha = 1.0f;
  Image step = draw(Keep(MakeTexture(n, n, steps)), n, n);
  for (float v : step.px) {
    EXPECT_TRUE(std::isfinite(v));
    EXPECT_GE(v, 0.0f);
    EXPECT_LE(v, 1.0f);
  }
  EXPECT_NEAR(step.at(1, 1)[0], 0.0f, 1e-3);  // below the threshold
  EXPECT_NEAR(step.at(6, 1)[0], 1.0f, 1e-3);  // above it
}

// --- normal mapping -----------------------------------------------------------

namespace {
// The normal-mapping colour of a white surface facing +z at eye-space height 1,
// drawn over [-1, 1]^2 under an orthographic view, with a flat normal map.
// The eye direction at the vertices is normalize(-x, -y, -1), interpolated
// linearly: exactly (-x, -y, -1) / sqrt 3 inside the quad.
float NormalMappedWhite(float x, float y, const float light[3]) {
  float len = std::sqrt(light[0] * light[0] + light[1] * light[1] + light[2] * light[2]);
  float L[3] = {light[0] / len, light[1] / len, light[2] / len};
  float diffuse = std::max(L[2], 0.0f);                // N = (0, 0, 1)
  float R[3] = {L[0], L[1], -L[2]};                    // reflect(L, N)
  float E[3] = {-x / std::sqrt(3.0f), -y / std::sqrt(3.0f), -1.0f / std::sqrt(3.0f)};
  float specular = std::pow(std::max(E[0] * R[0] + E[1] * R[1] + E[2] * R[2], 0.0f), 8.0f);
  return 0.2f + std::min(diffuse + specular, 1.0f);
}
}  // namespace

TEST_F(ShaderTest, NormalMappingLightsAFlatMapAndKeepsBlackBlack) {
  cNormalMapping effect;
  ASSERT_TRUE(effect.InitEntryPoints());
  ASSERT_TRUE(effect.CreateVertexShader());
  ASSERT_TRUE(effect.CreateGeometryShader());
  ASSERT_TRUE(effect.CreateFragmentShader());
  for (GLint loc : {effect.locLightPosition, effect.locSurfaceColor, effect.locSpecularFactor,
                    effect.locColorMap, effect.locNormalMap})
    EXPECT_GE(loc, 0);

  effect.normalTexture.texture = Keep(SolidTexture(0.5f, 0.5f, 1.0f, 1.0f));
  GLuint white = Keep(SolidTexture(1, 1, 1, 1));
  GLuint black = Keep(SolidTexture(0, 0, 0, 1));
  const int n = 16;
  auto draw = [&](GLuint colour, float lx, float ly, float lz) {
    effect.colorTexture.texture = colour;
    effect.lightPosition[0] = lx;
    effect.lightPosition[1] = ly;
    effect.lightPosition[2] = lz;
    return Render(n, n, [&] {
      glMatrixMode(GL_PROJECTION);
      glOrtho(-1, 1, -1, 1, -2, 2);
      glMatrixMode(GL_MODELVIEW);
      effect.Apply();
      GLint unit = 0;
      glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
      EXPECT_EQ(unit, GL_TEXTURE1);  // left for the caller
      DrawQuad(1.0f);
      glUseProgram(0);
      glActiveTexture(GL_TEXTURE0);
    });
  };

  const float lights[][3] = {{0, 0, 10}, {0, 6, 8}, {10, 0, 0}};
  for (const auto& light : lights) {
    Image out = draw(white, light[0], light[1], light[2]);
    for (int y = 0; y < n; ++y) {
      for (int x = 0; x < n; ++x) {
        float px = (x + 0.5f) / n * 2 - 1, py = (y + 0.5f) / n * 2 - 1;
        float expected = NormalMappedWhite(px, py, light);
        EXPECT_NEAR(out.at(x, y)[0], expected, 3e-3)
            << x << "," << y << " light " << light[0] << "," << light[1] << "," << light[2];
        EXPECT_NEAR(out.at(x, y)[3], 1.2f, 3e-3);  // 0.2 C + 1 C
      }
    }
    Image dark = draw(black, light[0], light[1], light[2]);
    for (int y = 0; y < n; ++y)
      for (int x = 0; x < n; ++x)
        for (int c = 0; c < 3; ++c) EXPECT_EQ(dark.at(x, y)[c], 0.0f);
  }

  // Without a "Tangent" attribute the frame is built from the normal, for any
  // facing: a light along the normal lights fully (a degenerate frame gives NaN).
  effect.colorTexture.texture = white;
  const float normals[][3] = {{1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, -1}, {0.6f, 0, 0.8f}};
  for (const auto& normal : normals) {
    effect.lightPosition[0] = 10 * normal[0];
    effect.lightPosition[1] = 10 * normal[1];
    effect.lightPosition[2] = 10 * normal[2];
    Image out = Render(4, 4, [&] {
      effect.Apply();
      glBegin(GL_TRIANGLE_STRIP);
      glNormal3fv(normal);
      glTexCoord2f(0, 0);
      glVertex3f(-1, -1, 0);
      glTexCoord2f(1, 0);
      glVertex3f(1, -1, 0);
      glTexCoord2f(0, 1);
      glVertex3f(-1, 1, 0);
      glTexCoord2f(1, 1);
      glVertex3f(1, 1, 0);
      glEnd();
      glUseProgram(0);
      glActiveTexture(GL_TEXTURE0);
    });
    for (float v : out.px) EXPECT_NEAR(v, 1.2f, 3e-3) << normal[0] << "," << normal[1] << "," << normal[2];
  }
}

// --- water --------------------------------------------------------------------

namespace {
float WaterDisplacement(float x, float z, float timer) {
  float phase = (timer / 5000.0f) * 25.0f;
  return 0.235f * std::sin(0.35f * x + phase) + 0.235f * std::sin(0.87f * z + phase);
}
}  // namespace

TEST_F(ShaderTest, WaterRipplesAndLightsWithTheCpuArithmetic) {
  cWaterShader water;
  ASSERT_TRUE(water.InitEntryPoints());
  ASSERT_TRUE(water.CreateVertexShader());
  ASSERT_TRUE(water.CreateFragmentShader());
  for (GLint loc : {water.locLightPosition, water.locColorMap, water.locNormalMap,
                    water.locReflectMap, water.locTimer})
    EXPECT_GE(loc, 0);

  water.colorTexture.texture = Keep(SolidTexture(1, 1, 1, 1));
  water.normalTexture.texture = Keep(SolidTexture(0.5f, 0.5f, 1.0f, 1.0f));
  water.reflectionTexture = Keep(SolidTexture(1, 1, 1, 1));
  water.refractionTexture = water.reflectionTexture;

  // 64 x 64 pixels over x in [-16, 16], y in [-1, 1]: one row is 1/32 in y.
  const int n = 64;
  const float y0 = 1.0f / 64.0f;  // the centre of row 32
  auto draw = [&](float timer, float lightY, const std::vector<float>& xs) {
    water.timer = timer;
    water.lightPosition[0] = 0;
    water.lightPosition[1] = lightY;
    water.lightPosition[2] = 0;
    return Render(n, n, [&] {
      glMatrixMode(GL_PROJECTION);
      glOrtho(-16, 16, -1, 1, -2, 2);
      glActiveTexture(GL_TEXTURE7);
      glMatrixMode(GL_TEXTURE);
      glLoadIdentity();
      glMatrixMode(GL_MODELVIEW);
      water.Apply();
      GLint unit = 0;
      glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
      EXPECT_EQ(unit, GL_TEXTURE3);
      glBegin(GL_POINTS);
      glTexCoord2f(0, 0);
      for (float x : xs) glVertex3f(x, y0, 0);
      glEnd();
      water.Release();
      GLint program = -1;
      glGetIntegerv(GL_CURRENT_PROGRAM, &program);
      glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
      EXPECT_EQ(program, 0);
      EXPECT_EQ(unit, GL_TEXTURE0);
    });
  };
  auto rowOf = [&](const Image& image, int column) {
    int found = -1;
    for (int y = 0; y < n; ++y)
      if (image.at(column, y)[3] > 0.1f) found = (found == -1) ? y : -2;
    return found;  // -1 nothing, -2 more than one row
  };

  // At timer 0 the origin does not move.
  Image atZero = draw(0.0f, 1000.0f, {1e-4f});
  int zeroColumn = -1;
  for (int x = 31; x <= 32; ++x)
    if (rowOf(atZero, x) >= 0) zeroColumn = x;
  ASSERT_NE(zeroColumn, -1);
  EXPECT_EQ(rowOf(atZero, zeroColumn), 32);

  // One point per column follows the two sines, at two times.
  std::vector<float> xs;
  for (int i = 0; i < n; ++i) xs.push_back(-16.0f + (i + 0.5f) * 0.5f);
  for (float timer : {0.0f, 314.159265f, 1234.5f}) {
    Image out = draw(timer, 1000.0f, xs);
    for (int i = 0; i < n; ++i) {
      float rowPosition = (y0 + WaterDisplacement(xs[i], 0, timer) + 1.0f) * 32.0f;
      float fraction = rowPosition - std::floor(rowPosition);
      if (fraction < 0.05f || fraction > 0.95f) continue;  // on a row boundary
      EXPECT_EQ(rowOf(out, i), static_cast<int>(std::floor(rowPosition))) << "timer " << timer << " x " << xs[i];
    }
  }
  // At phase pi/2 the origin rises by the two amplitudes, 0.47: from row 32 to 47.
  EXPECT_EQ(rowOf(draw(314.159265f, 1000.0f, {1e-4f}), zeroColumn), 47);

  // Colour: (reflection + C x (lit, 1)) / 3 with lit from the light above; a light
  // below leaves lit black.
  for (float lightY : {1000.0f, -1000.0f}) {
    Image out = draw(0.0f, lightY, xs);
    for (int i = 0; i < n; ++i) {
      int row = rowOf(out, i);
      if (row < 0) continue;
      // Eye-space position of the undisplaced point; tangent frame t = x, b = -z, n = y.
      float p[3] = {xs[i], y0, 0};
      float toLight[3] = {-p[0], lightY - p[1], -p[2]};
      float ll = std::sqrt(toLight[0] * toLight[0] + toLight[1] * toLight[1] + toLight[2] * toLight[2]);
      float l[3] = {toLight[0] / ll, toLight[1] / ll, toLight[2] / ll};
      float pl = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
      float hv[3] = {p[0] / pl + l[0], p[1] / pl + l[1], p[2] / pl + l[2]};
      float hl = std::sqrt(hv[0] * hv[0] + hv[1] * hv[1] + hv[2] * hv[2]);
      float lambert = std::max(l[1], 0.0f);  // N = (0, 0, 1) in (t, b, n)
      float lit = 0.0f;
      if (lambert > 0.0f) {
        float h = std::max(hv[1] / hl, 0.0f);
        lit = std::min(0.3f * lambert + std::pow(h, 16.0f) + 10.0f * std::pow(h, 32.0f), 1.0f);
      }
      EXPECT_NEAR(out.at(i, row)[0], (1.0f + lit) / 3.0f, 2e-3) << "light " << lightY << " x " << xs[i];
      EXPECT_NEAR(out.at(i, row)[3], 2.0f / 3.0f, 2e-3);
    }
  }

  // Where the maps are sampled: at the texture coordinate times 25, the normal
  // map also at that plus timer / 10700 and minus timer / 10200. Maps of 64
  // texels across: the colour map's alpha counts its texels (it comes through as
  // (1 + alpha) / 3), and the normal map's first four point down so hard that
  // any sample of the three landing there turns the sum away from the light
  // (lit black: red 1/3). One point per column of 256, spanning one tile.
  std::vector<float> ramp, normals;
  for (int i = 0; i < 64; ++i) {
    ramp.insert(ramp.end(), {1, 1, 1, i / 64.0f});
    normals.insert(normals.end(), {0.5f, 0.5f, i < 4 ? -50.0f : 1.0f, 1});
  }
  water.colorTexture.texture = Keep(MakeTexture(64, 1, ramp));
  water.normalTexture.texture = Keep(MakeTexture(64, 1, normals));
  water.lightPosition[0] = 0;
  water.lightPosition[1] = 1000;
  water.lightPosition[2] = 0;
  const int columns = 256;
  for (float timer : {0.0f, 14300.0f}) {
    water.timer = timer;
    const Image out = Render(columns, n, [&] {
      glMatrixMode(GL_PROJECTION);
      glOrtho(-16, 16, -1, 1, -2, 2);
      glActiveTexture(GL_TEXTURE7);
      glMatrixMode(GL_TEXTURE);
      glLoadIdentity();
      glMatrixMode(GL_MODELVIEW);
      water.Apply();
      glBegin(GL_POINTS);
      for (int i = 0; i < columns; ++i) {
        glTexCoord2f((i + 0.5f) / columns / 25.0f, 0.3f);
        glVertex3f(-16.0f + (i + 0.5f) * 32.0f / columns, y0, 0);
      }
      glEnd();
      water.Release();
    });
    int dark = 0;
    for (int i = 0; i < columns; ++i) {
      int row = -1;
      for (int y = 0; y < n && row < 0; ++y)
        if (out.at(i, y)[3] > 0.1f) row = y;
      ASSERT_GE(row, 0) << "column " << i;
      const float* px = out.at(i, row);
      const double u = (i + 0.5) / columns;  // the coordinate times 25: one tile
      EXPECT_NEAR(3 * px[3] - 1, std::floor(u * 64) / 64, 1e-3) << "colour map at column " << i;
      bool down = false, onAnEdge = false;
      for (double at : {u, u + timer / 10700.0, u - timer / 10200.0}) {
        const double texel = (at - std::floor(at)) * 64;
        down |= texel < 4;
        onAnEdge |= std::fabs(texel - 4) < 0.05 || texel < 0.05 || texel > 63.95;
      }
      if (onAnEdge) continue;
      dark += down;
      if (down) {
        EXPECT_NEAR(px[0], 1.0f / 3.0f, 2e-3) << "timer " << timer << " column " << i << " should face away";
      } else {
        EXPECT_GT(px[0], 0.4f) << "timer " << timer << " column " << i << " should be lit";
      }
    }
    EXPECT_GT(dark, timer == 0 ? 12 : 40) << "timer " << timer;
  }
}

// --- geometry effect ----------------------------------------------------------

TEST_F(ShaderTest, GeometryEffectLinksThreeStagesTintsBlueAndExplodes) {
  ScratchDir dir(true);
  cGeometryShader effect;
  ASSERT_TRUE(effect.InitEntryPoints());
  ASSERT_TRUE(effect.CreateVertexShader());
  ASSERT_TRUE(effect.CreateGeometryShader());
  ASSERT_TRUE(effect.CreateFragmentShader());
  EXPECT_NE(effect.geometryShader, 0u);
  EXPECT_EQ(AttachedObjects(effect), 3);
  EXPECT_TRUE(effect.IsLinked());
  EXPECT_GE(effect.locSampler0, 0);
  EXPECT_GE(effect.locExplotionProgress, 0);

  effect.texture = Keep(SolidTexture(0.2f, 0.4f, 0.9f, 1.0f));
  const int n = 32;
  // A triangle tilted so that its face normal is (0, 1, 1) / sqrt 2: the
  // explosion moves it up the view by progress / sqrt 2.
  auto draw = [&](float progress) {
    effect.explotionProgress = progress;
    return Render(n, n, [&] {
      glMatrixMode(GL_PROJECTION);
      glOrtho(-1, 1, -1, 1, -2, 2);
      glMatrixMode(GL_MODELVIEW);
      effect.Apply();
      glBegin(GL_TRIANGLES);
      glTexCoord2f(0, 0);
      glVertex3f(-0.5f, -0.5f, 0.5f);
      glTexCoord2f(1, 0);
      glVertex3f(0.5f, -0.5f, 0.5f);
      glTexCoord2f(0.5f, 1);
      glVertex3f(0.0f, 0.5f, -0.5f);
      glEnd();
      glUseProgram(0);
    });
  };
  auto lowestRow = [&](const Image& image) {
    for (int y = 0; y < n; ++y)
      if (image.at(n / 2, y)[3] > 0.5f) return y;
    return -1;
  };
  Image still = draw(0.0f);
  const float* p = still.at(n / 2, n / 2);
  EXPECT_NEAR(p[0], 0.2f, 1e-3);
  EXPECT_NEAR(p[1], 0.4f, 1e-3);
  EXPECT_NEAR(p[2], 0.5f, 1e-3);
  EXPECT_NEAR(p[3], 1.0f, 1e-3);
  EXPECT_EQ(lowestRow(still), 8);  // y = -0.5

  Image moved = draw(0.4f);
  // y = -0.5 + 0.4 / sqrt 2 = -0.2172: row 12.52, so the first covered centre is row 13.
  EXPECT_EQ(lowestRow(moved), 13);
  EXPECT_NEAR(moved.at(n / 2, 20)[2], 0.5f, 1e-3);
}

TEST_F(ShaderTest, GeometryStageFailsWithoutItsFileAndTheProgramLinksWithTwo) {
  for (bool emptyFile : {false, true}) {
    ScratchDir dir(false);
    if (emptyFile) std::ofstream(dir.path() / "data" / "Shaders" / "test.geom");
    LogCapture log;
    cGeometryShader effect;
    ASSERT_TRUE(effect.InitEntryPoints());
    ASSERT_TRUE(effect.CreateVertexShader());
    EXPECT_FALSE(effect.CreateGeometryShader());
    EXPECT_EQ(effect.geometryShader, 0u);
    ASSERT_TRUE(effect.CreateFragmentShader());
    EXPECT_EQ(AttachedObjects(effect), 2);
    EXPECT_EQ(effect.locExplotionProgress, -1);
    EXPECT_NE(log.Text().find("(cGeometryShader) geometry: Data/Shaders/test.geom missing or empty"),
              std::string::npos);
  }
  {
    // A file that does not compile fails the stage, with the log written; the
    // message names the file's own line, not the one the version line before
    // it makes.
    ScratchDir dir(true, "// not\n// yet\nvoid main() { this is not glsl; }\n");
    LogCapture log;
    cGeometryShader effect;
    ASSERT_TRUE(effect.InitEntryPoints());
    ASSERT_TRUE(effect.CreateVertexShader());
    EXPECT_FALSE(effect.CreateGeometryShader());
    ASSERT_TRUE(effect.CreateFragmentShader());
    EXPECT_EQ(AttachedObjects(effect), 2);
    EXPECT_NE(log.Text().find("(cGeometryShader) geometry: did not compile"), std::string::npos);
    EXPECT_EQ(effect.buildError().rfind("Data/Shaders/test.geom:3:", 0), 0u) << effect.buildError();
  }
}
