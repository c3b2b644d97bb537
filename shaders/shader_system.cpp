#include "shaders/shader_system.h"

#include <algorithm>
#include <cctype>
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

std::vector<cShaderSystem*>& LiveEffects() {
  static std::vector<cShaderSystem*> effects;
  return effects;
}

// Reads a number at `p`; false when there is none.
bool Number(const char*& p, long& value) {
  if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
  value = 0;
  while (std::isdigit(static_cast<unsigned char>(*p)) && value < 100000000) value = value * 10 + (*p++ - '0');
  return true;
}

// One line of a driver's compile log, led by the file and line it names
// instead of the source string's number: Mesa writes "0:12(3): error: ...",
// NVIDIA "0(12) : error ...", glslang-based drivers "ERROR: 0:12: ...".
std::string WithFileAndLine(const std::string& line, const StageSource& source) {
  const char* start = line.c_str();
  while (*start == ' ' || *start == '\t') ++start;
  const char* p = start;
  std::string severity;
  for (const char* word : {"ERROR: ", "WARNING: "})
    if (std::strncmp(p, word, std::strlen(word)) == 0) {
      severity = std::string(word, std::strlen(word) - 2);
      p += std::strlen(word);
    }
  long index = 0, row = 0, column = -1;  // the source string's index is always 0 here
  const char* q = p;
  bool found = false;
  if (Number(q, index)) {
    if (*q == ':' && Number(++q, row)) {
      const char* r = q;
      if (*r == '(' && Number(++r, column) && *r == ')') q = r + 1;
      else column = -1;
      found = *q == ':';
    } else if (*q == '(' && Number(++q, row) && *q == ')') {
      ++q;
      while (*q == ' ') ++q;
      found = *q == ':';
    }
  }
  if (!found) return source.file + ": " + start;
  ++q;
  while (*q == ' ') ++q;
  std::string out = source.file + ":" + std::to_string(std::max(1L, row - source.lineOffset));
  if (column >= 0) out += ":" + std::to_string(column);
  out += ": ";
  if (!severity.empty()) {
    std::transform(severity.begin(), severity.end(), severity.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    out += severity + ": ";
  }
  return out + q;
}

// The non-empty lines of a driver's log.
std::vector<std::string> Lines(const char* log) {
  std::vector<std::string> lines;
  for (const char* line = log; line && *line;) {
    const char* end = std::strchr(line, '\n');
    size_t length = end ? static_cast<size_t>(end - line) : std::strlen(line);
    if (length > 0 && line[length - 1] == '\r') --length;
    if (length > 0) lines.emplace_back(line, length);
    line = end ? end + 1 : nullptr;
  }
  return lines;
}

}  // namespace

cShaderSystem::cShaderSystem(const char* className) : className_(className) {
  LiveEffects().push_back(this);
}

const std::vector<cShaderSystem*>& cShaderSystem::Effects() { return LiveEffects(); }

cShaderSystem::~cShaderSystem() {
  std::vector<cShaderSystem*>& live = LiveEffects();
  live.erase(std::remove(live.begin(), live.end(), this), live.end());
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
  std::swap(buildError_, other.buildError_);
}

bool cShaderSystem::Rebuild() {
  if (!HasEntryPoints()) return false;
  const GLhandleARB kept[4] = {program, vertexShader, geometryShader, fragmentShader};
  const bool keptLinked = linked_;
  const GLhandleARB fresh = gl_.CreateProgramObjectARB();
  if (fresh == 0) {
    buildError_ = std::string(className_) + ": the driver made no new program";
    return false;
  }
  program = fresh;
  vertexShader = geometryShader = fragmentShader = 0;
  linked_ = false;
  buildError_.clear();
  // The derived slots look their uniforms up only once the program linked, so
  // a failed build leaves the locations of the program in use as they were.
  const bool built = BuildStages() && linked_;
  if (!built && buildError_.empty()) buildError_ = std::string(className_) + ": did not build (see debug.log)";
  GLhandleARB made[4] = {program, vertexShader, geometryShader, fragmentShader};
  const GLhandleARB* discard = built ? kept : made;
  for (int i = 3; i >= 0; --i)
    if (discard[i]) gl_.DeleteObjectARB(discard[i]);
  if (!built) {
    program = kept[0];
    vertexShader = kept[1];
    geometryShader = kept[2];
    fragmentShader = kept[3];
    linked_ = keptLinked;
  }
  return built;
}

bool cShaderSystem::BuildStages() {
  return CreateVertexShader() && CreateGeometryShader() && CreateFragmentShader();
}

bool cShaderSystem::ReadSource(const std::string& file, std::string* text) {
  if (std::find(sourceFiles_.begin(), sourceFiles_.end(), file) == sourceFiles_.end()) sourceFiles_.push_back(file);
  std::unique_ptr<char[]> read = ReadShaderFile(file.c_str());
  if (!read) return false;
  *text = read.get();
  return true;
}

StageSource cShaderSystem::SourceOf(const char* name, const char* builtIn) {
  StageSource source;
  source.file = std::string(kShaderFolder) + name;
  if (!ReadSource(source.file, &source.text)) source.text = builtIn;
  return source;
}

bool cShaderSystem::InitEntryPoints() {
  if (program != 0) return true;  // already loaded: keep the program and its stages
  buildError_.clear();
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

bool cShaderSystem::BuildStage(GLenum type, const StageSource& source, GLhandleARB& handle,
                               const char* stageName) {
  if (BuildStage(type, source.text.c_str(), handle, stageName)) return true;
  if (!HasEntryPoints()) return false;
  char log[kShaderInfoLogLimit];
  GLsizei length = 0;
  log[0] = '\0';
  if (handle != 0) gl_.GetInfoLogARB(handle, kShaderInfoLogLimit, &length, log);
  const std::vector<std::string> lines = Lines(log);
  if (lines.empty()) AddBuildError(source.file + ": did not compile");
  for (const std::string& line : lines) AddBuildError(WithFileAndLine(line, source));
  return false;
}

void cShaderSystem::AddBuildError(const std::string& line) {
  if (!buildError_.empty()) buildError_ += '\n';
  buildError_ += line;
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
    AddBuildError(std::string(className_) + ": the program did not link");
    for (const std::string& line : Lines(log)) AddBuildError(line);
  }
  return linked_;
}

void cShaderSystem::LogLines(const char* stageName, const char* what, const char* log) const {
  cDebugSystem& debug = cDebugSystem::Instance();
  std::string prefix = std::string(stageName) + ": ";
  debug.Log(className_, prefix + what);
  for (const std::string& line : Lines(log)) debug.Log(className_, prefix + line);
}

bool cShaderSystem::CreateVertexShader() {
  return BuildStage(GL_VERTEX_SHADER_ARB,
                    SourceOf("default.vert", shader_sources::kDefaultVertex),
                    vertexShader, "vertex");
}

bool cShaderSystem::CreateFragmentShader() {
  if (!BuildStage(GL_FRAGMENT_SHADER_ARB,
                  SourceOf("default.frag", shader_sources::kDefaultFragment),
                  fragmentShader, "fragment"))
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
