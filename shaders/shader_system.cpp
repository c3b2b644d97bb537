#include "shaders/shader_system.h"

#include <cstring>
#include <string>
#include <utility>

#include "platform/gl_extensions.h"
#include "platform/gl_procs.h"
#include "shaders/shader_sources.h"
#include "shell/debug_system.h"
#include "shell/file_paths.h"

namespace VantorGL {
namespace {

// A shader file larger than this is refused rather than handed to the compiler.
constexpr size_t kShaderFileLimit = size_t{1} << 20;

template <typename T>
void Load(T& slot, const char* name) {
  slot = reinterpret_cast<T>(platform::GetGlProcAddress(name));
}

}  // namespace

cShaderSystem::~cShaderSystem() {
  if (!gl_.DeleteObjectARB) return;
  if (vertexShader) gl_.DeleteObjectARB(vertexShader);
  if (fragmentShader) gl_.DeleteObjectARB(fragmentShader);
  if (geometryShader) gl_.DeleteObjectARB(geometryShader);
  if (program) gl_.DeleteObjectARB(program);
  vertexShader = fragmentShader = geometryShader = program = 0;
}

void cShaderSystem::SwapProgram(cShaderSystem& other) {
  std::swap(gl_, other.gl_);
  std::swap(program, other.program);
  std::swap(vertexShader, other.vertexShader);
  std::swap(fragmentShader, other.fragmentShader);
  std::swap(geometryShader, other.geometryShader);
  std::swap(linked_, other.linked_);
}

bool cShaderSystem::InitEntryPoints() {
  if (program != 0) return true;  // already loaded: keep the program and its stages
  if (!platform::HasGlExtension("GL_ARB_shading_language_100") ||
      !platform::HasGlExtension("GL_ARB_shader_objects"))
    return false;

  ShaderEntryPoints e;
  Load(e.CreateProgramObjectARB, "glCreateProgramObjectARB");
  Load(e.CreateShaderObjectARB, "glCreateShaderObjectARB");
  Load(e.LinkProgramARB, "glLinkProgramARB");
  Load(e.CompileShaderARB, "glCompileShaderARB");
  Load(e.GetInfoLogARB, "glGetInfoLogARB");
  Load(e.DeleteObjectARB, "glDeleteObjectARB");
  Load(e.UseProgramObjectARB, "glUseProgramObjectARB");
  Load(e.ShaderSourceARB, "glShaderSourceARB");
  Load(e.AttachObjectARB, "glAttachObjectARB");
  Load(e.GetObjectParameterivARB, "glGetObjectParameterivARB");
  Load(e.GetUniformLocationARB, "glGetUniformLocationARB");
  Load(e.Uniform4fARB, "glUniform4fARB");
  Load(e.Uniform3fARB, "glUniform3fARB");
  Load(e.Uniform2fARB, "glUniform2fARB");
  Load(e.Uniform1fARB, "glUniform1fARB");
  Load(e.Uniform1iARB, "glUniform1iARB");
  Load(e.Uniform2fvARB, "glUniform2fvARB");
  Load(e.ActiveTextureARB, "glActiveTextureARB");

  // glUniform3fARB, glUniform2fvARB and glActiveTextureARB may be missing; their
  // callers test them.
  if (!e.CreateProgramObjectARB || !e.CreateShaderObjectARB || !e.CompileShaderARB ||
      !e.LinkProgramARB || !e.GetInfoLogARB || !e.DeleteObjectARB || !e.UseProgramObjectARB ||
      !e.ShaderSourceARB || !e.AttachObjectARB || !e.GetObjectParameterivARB ||
      !e.GetUniformLocationARB || !e.Uniform4fARB || !e.Uniform2fARB || !e.Uniform1fARB ||
      !e.Uniform1iARB)
    return false;

  // The table is kept only when complete, so a partial one never gets called.
  GLhandleARB created = e.CreateProgramObjectARB();
  if (created == 0) return false;
  gl_ = e;
  program = created;
  return true;
}

bool cShaderSystem::BuildStage(GLenum type, const char* source, GLhandleARB& handle,
                               const char* stageName) {
  if (!HasEntryPoints() || !source) return false;
  handle = gl_.CreateShaderObjectARB(type);
  if (handle == 0) {
    cDebugSystem::Instance().Log(className_, std::string(stageName) + " stage: not created");
    return false;
  }
  gl_.ShaderSourceARB(handle, 1, &source, nullptr);
  gl_.CompileShaderARB(handle);
  GLint compiled = 0;
  gl_.GetObjectParameterivARB(handle, GL_OBJECT_COMPILE_STATUS_ARB, &compiled);
  if (compiled == 0) {
    char log[kShaderInfoLogLimit];
    GLsizei length = 0;
    log[0] = '\0';
    gl_.GetInfoLogARB(handle, kShaderInfoLogLimit, &length, log);
    LogLines(stageName, "did not compile", log);
    return false;
  }
  gl_.AttachObjectARB(program, handle);
  return true;
}

bool cShaderSystem::LinkProgram() {
  if (!HasEntryPoints()) return false;
  gl_.LinkProgramARB(program);
  GLint linkedStatus = 0;
  gl_.GetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &linkedStatus);
  linked_ = linkedStatus != 0;
  if (!linked_) {
    char log[kShaderInfoLogLimit];
    GLsizei length = 0;
    log[0] = '\0';
    gl_.GetInfoLogARB(program, kShaderInfoLogLimit, &length, log);
    LogLines("program", "did not link", log);
  }
  return linked_;
}

void cShaderSystem::LogLines(const char* stageName, const char* what, const char* log) const {
  cDebugSystem& debug = cDebugSystem::Instance();
  std::string prefix = std::string(stageName) + ": ";
  debug.Log(className_, prefix + what);
  const char* line = log;
  while (line && *line) {
    const char* end = std::strchr(line, '\n');
    size_t length = end ? static_cast<size_t>(end - line) : std::strlen(line);
    if (length > 0 && line[length - 1] == '\r') --length;
    if (length > 0) debug.Log(className_, prefix + std::string(line, length));
    line = end ? end + 1 : nullptr;
  }
}

bool cShaderSystem::CreateVertexShader() {
  return BuildStage(GL_VERTEX_SHADER_ARB, shader_sources::kDefaultVertex, vertexShader, "vertex");
}

bool cShaderSystem::CreateFragmentShader() {
  if (!BuildStage(GL_FRAGMENT_SHADER_ARB, shader_sources::kDefaultFragment, fragmentShader,
                  "fragment"))
    return false;
  return LinkProgram();
}

GLint cShaderSystem::UniformLocation(const char* name) const {
  if (!HasEntryPoints()) return -1;
  return gl_.GetUniformLocationARB(program, name);
}

void cShaderSystem::SetInt(GLint location, GLint value) const {
  if (location >= 0 && gl_.Uniform1iARB) gl_.Uniform1iARB(location, value);
}

void cShaderSystem::SetFloat(GLint location, float value) const {
  if (location >= 0 && gl_.Uniform1fARB) gl_.Uniform1fARB(location, value);
}

void cShaderSystem::SetVec3(GLint location, float x, float y, float z) const {
  if (location >= 0 && gl_.Uniform3fARB) gl_.Uniform3fARB(location, x, y, z);
}

bool cShaderSystem::SelectTextureUnit(int unit) const {
  if (!gl_.ActiveTextureARB) return false;
  gl_.ActiveTextureARB(GL_TEXTURE0_ARB + static_cast<GLenum>(unit));
  return true;
}

bool cShaderSystem::UseProgram() const {
  if (!HasEntryPoints()) return false;
  // A program that did not link cannot be made current; draw with the fixed
  // pipeline instead of leaving some other program in use.
  gl_.UseProgramObjectARB(linked_ ? program : 0);
  return linked_;
}

std::unique_ptr<char[]> cShaderSystem::ReadShaderFile(const char* path) {
  if (!path) return nullptr;
  auto bytes = ReadFileBytes(path, kShaderFileLimit);
  if (!bytes || bytes->empty()) return nullptr;
  auto text = std::make_unique<char[]>(bytes->size() + 1);
  std::memcpy(text.get(), bytes->data(), bytes->size());
  text[bytes->size()] = '\0';
  return text;
}

}  // namespace VantorGL
