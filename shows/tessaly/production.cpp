#include "production.h"

#include <epoxy/gl.h>

#include "platform/gl_extensions.h"
#include "platform/message_box.h"
#include "shell/exit.h"

using namespace VantorGL;

TAV05::~TAV05() { font.DeleteFontLists(); }

// What is drawn next goes into a window (and perhaps a context) made again: the
// slide scene's target is drawn afresh rather than trusted.
void TAV05::OnBeforeRelease() { demo.ForgetPicture(); }

void TAV05::ApplyProductionSettings() {
  nearPlane = 0.1f;
  antiAliasing = true;
  samples = 4;
  farPlane = 10000.0f;
  showSetupDialog = false;
  fullscreen = true;
  title = "Tessaly 2011";
  width = 1280;
  height = 720;
  bitsPerPixel = 32;
}

void TAV05::OnStart() {
  ahead.AddTune(kLoadingMusic);
  ahead.AddPicture(kLoadingPicture);
  // Both scenes build the title face's outline font once loading is done.
  ahead.AddWork(&FontRecord::PrepareOutlineFont);
  cResources::ListAhead(ahead);
  demo.registry.ahead = &ahead;
}

bool TAV05::LoadStep() {
  if (platform::GlVersion() < 21) {
    platform::ShowMessageBox("OpenGL 2.1 not supported.. lol", "OpenGL 2.1 not supported", platform::MB_OK);
    ExitProgram(1, "OpenGL 2.1 not supported: the driver offers OpenGL " +
                       std::to_string(platform::GlVersion() / 10) + "." +
                       std::to_string(platform::GlVersion() % 10));
  }
  // The pictures go into their textures beside the main thread from here on.
  ahead.UploadThrough(windowSystem().MakeSharedContext(deviceContext, renderContext));
  loadingMusic.path = kLoadingMusic;
  if (std::optional<audio::PreparedFile> tune = ahead.TakeTune(kLoadingMusic)) {
    loadingMusic.Open(std::move(*tune));
  } else {
    loadingMusic.Open();
  }

  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glEnable(GL_TEXTURE_2D);
  if (!ahead.LoadPicture(kLoadingPicture, loadingScreen)) loadingScreen.Load(kLoadingPicture);
  loadingScreen.Bind();
  glLoadIdentity();
  glColor4f(1, 1, 1, 1);
  glTranslatef(0, 0, -4);
  glScalef(3.08f, 2.08f, 0);
  DrawUnitQuad();
  loadingScreen.Unbind();

  loadingMusic.loop = true;
  loadingMusic.PlayFromStart();
  loading = false;
  return true;
}

bool TAV05::Initialise() {
  glClearColor(0, 0, 0, 0);
  glClearDepth(1.0);
  demo.width = width;
  demo.height = height;
  demo.Init();
  // Everything loaded ahead has been taken: the loading threads end here.
  ahead.Stop();
  demo.registry.ahead = nullptr;
  SetDemoWindow();
  loadingMusic.Stop();
  return true;
}

void TAV05::SetDemoWindow() {
  demo.windowStartMs = ParseMusicTime("0:00.0");
  demo.windowEndMs = ParseMusicTime("0:47.0");
}

bool TAV05::Update() {
  RunUpdate(demo);
  return false;
}

bool TAV05::Draw() {
  RunDraw(demo);
  return !demo.IsFinished();
}

bool TAV05::IsFinished() { return demo.IsFinished(); }
