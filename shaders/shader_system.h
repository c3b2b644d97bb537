#pragma once
// cShaderSystem: the base of every GLSL effect. Each effect loads the ARB
// shader-object entry points into its own table, owns one program object and up
// to three stage objects, and builds its stages through three virtual operations
// that the effects override with their own sources.
//
// Build order, called once by the resource registry with the context current:
//   InitEntryPoints(); CreateVertexShader(); [CreateGeometryShader();] CreateFragmentShader();
// CreateFragmentShader links, so it is always last. Compile and link failures
// write the info log to debug.log (source: the effect's class name) and return
// false; the effect then stays unusable but harmless.
//
// Each stage's source is a file of the show's data, kShaderFolder + its name
// ("Data/Shaders/water.frag"): the engine's own version is copied into every
// show's stage, and a show may put its own there instead. Where the file is
// absent or empty, the engine's built-in text (shader_sources.h) is used.
// Rebuild() builds an effect again from its files while it runs (the preview,
// on a saved change) and keeps the program in use unless the new one links.
//
// When InitEntryPoints fails (no shader objects, or a required entry point
// missing), every build and every apply of the effect does nothing: no call ever
// goes through a missing entry point.
//
// Effects are not copyable: they own GL objects. Main thread only.
#include <epoxy/gl.h>

#include <memory>
#include <string>
#include <vector>

namespace VantorGL {

// The entry points of the shader-object extension, in lookup order. Null until
// loaded; borrowed from the driver.
struct ShaderEntryPoints {
  PFNGLCREATEPROGRAMOBJECTARBPROC CreateProgramObjectARB = nullptr;
  PFNGLCREATESHADEROBJECTARBPROC CreateShaderObjectARB = nullptr;
  PFNGLLINKPROGRAMARBPROC LinkProgramARB = nullptr;
  PFNGLCOMPILESHADERARBPROC CompileShaderARB = nullptr;
  PFNGLGETINFOLOGARBPROC GetInfoLogARB = nullptr;
  PFNGLDELETEOBJECTARBPROC DeleteObjectARB = nullptr;
  PFNGLUSEPROGRAMOBJECTARBPROC UseProgramObjectARB = nullptr;
  PFNGLSHADERSOURCEARBPROC ShaderSourceARB = nullptr;
  PFNGLATTACHOBJECTARBPROC AttachObjectARB = nullptr;
  PFNGLGETOBJECTPARAMETERIVARBPROC GetObjectParameterivARB = nullptr;
  PFNGLGETUNIFORMLOCATIONARBPROC GetUniformLocationARB = nullptr;
  PFNGLUNIFORM4FARBPROC Uniform4fARB = nullptr;
  PFNGLUNIFORM3FARBPROC Uniform3fARB = nullptr;  // optional
  PFNGLUNIFORM2FARBPROC Uniform2fARB = nullptr;
  PFNGLUNIFORM1FARBPROC Uniform1fARB = nullptr;
  PFNGLUNIFORM1IARBPROC Uniform1iARB = nullptr;
  PFNGLUNIFORM2FVARBPROC Uniform2fvARB = nullptr;      // optional
  PFNGLACTIVETEXTUREARBPROC ActiveTextureARB = nullptr;  // optional
};

// Longest info log read from a stage or program.
inline constexpr int kShaderInfoLogLimit = 4096;

// Where the effects' stage sources are read from, relative to the show's data.
inline constexpr const char* kShaderFolder = "Data/Shaders/";

// A stage's source as handed to the compiler.
struct StageSource {
  std::string file;     // as the show names it: kShaderFolder + the stage's name
  std::string text;     // the file's text, or the built-in text
  int lineOffset = 0;   // lines put in front of the file's text (a version line)
};

class cShaderSystem {
 public:
  // `className` names the effect in debug.log lines; it must outlive the effect
  // (a string literal).
  explicit cShaderSystem(const char* className = "cShaderSystem");
  virtual ~cShaderSystem();
  cShaderSystem(const cShaderSystem&) = delete;
  cShaderSystem& operator=(const cShaderSystem&) = delete;

  // Slot 0: builds and attaches the default vertex stage (position by the
  // model-view-projection matrix, vertex colour passed on).
  virtual bool CreateVertexShader();
  // Slot 1: builds and attaches the default fragment stage (the colour with red
  // set to 0), then links.
  virtual bool CreateFragmentShader();
  // Slot 2: no geometry stage by default.
  virtual bool CreateGeometryShader() { return true; }

  // Tests for "GL_ARB_shading_language_100" and "GL_ARB_shader_objects", looks
  // the entry points up by name and creates the program. Once per effect.
  bool InitEntryPoints();

  // The whole text file at `path` (found through ResolvePath), NUL-terminated;
  // null when it cannot be read or is empty. The caller owns the buffer.
  static std::unique_ptr<char[]> ReadShaderFile(const char* path);

  // Trades entry points, program, stages, link state and build messages with
  // `other`: an effect built again beside this one hands its build over, and
  // takes the old objects away to delete them when it goes.
  void SwapProgram(cShaderSystem& other);

  // Builds the effect again from its sources as they are now, beside the
  // program in use, through the same slots as the first build. Every stage must
  // compile and the program link; only then does the effect take the new
  // program (and its uniform locations) and delete the old one. Otherwise the
  // old program stays in use, untouched, and buildError() says why. False
  // without entry points. Context current.
  bool Rebuild();
  // The driver's messages from the effect's latest build, one per line, a
  // compiler's led by the file and line it is about ("Data/Shaders/water.frag:
  // 12:3: error: ..."); empty when every stage compiled and the program linked.
  const std::string& buildError() const { return buildError_; }
  // The files this effect's builds read or looked for (kShaderFolder + name,
  // present or not), in the order read: where a changed source is to be watched.
  const std::vector<std::string>& sourceFiles() const { return sourceFiles_; }

  // Every effect alive now, in the order made. Main thread.
  static const std::vector<cShaderSystem*>& Effects();

  bool HasEntryPoints() const { return program != 0; }
  // True once the last link succeeded.
  bool IsLinked() const { return linked_; }
  const ShaderEntryPoints& entryPoints() const { return gl_; }
  const char* className() const { return className_; }

  GLhandleARB program = 0;          // 0 until InitEntryPoints succeeds
  GLhandleARB vertexShader = 0;     // 0 while not created
  GLhandleARB fragmentShader = 0;
  GLhandleARB geometryShader = 0;

 protected:
  // Every stage in the order of the first build, stopping at the first that
  // fails: vertex, geometry, then fragment (which links). Rebuild runs it; an
  // effect whose fragment stage is built by another call overrides it.
  virtual bool BuildStages();

  // The source of the stage `name` ("water.frag"): the show's file
  // kShaderFolder + name where it can be read and is not empty, else `builtIn`.
  // The file joins sourceFiles().
  StageSource SourceOf(const char* name, const char* builtIn);
  // Reads `file` as it is (no built-in text): false when missing or empty.
  // The file joins sourceFiles().
  bool ReadSource(const std::string& file, std::string* text);

  // Creates a stage of `type` from one NUL-terminated source, compiles it and,
  // on success, attaches it. On failure the log goes to debug.log under `stageName`.
  bool BuildStage(GLenum type, const char* source, GLhandleARB& handle, const char* stageName);
  // The same from a file's source: the driver's messages also go to
  // buildError(), led by the file and line.
  bool BuildStage(GLenum type, const StageSource& source, GLhandleARB& handle, const char* stageName);
  // Links the program; on failure the log goes to debug.log.
  bool LinkProgram();
  // -1 when the name is not an active uniform or the effect has no program.
  GLint UniformLocation(const char* name) const;

  // Uniform setters that skip a missing location or an optional entry point.
  void SetInt(GLint location, GLint value) const;
  void SetFloat(GLint location, float value) const;
  void SetVec3(GLint location, float x, float y, float z) const;
  // Makes `unit` (0 based) the active texture unit; false without the entry point.
  bool SelectTextureUnit(int unit) const;
  // Makes the program current when it linked; returns whether it did.
  bool UseProgram() const;

  void LogLines(const char* stageName, const char* what, const char* log) const;
  void AddBuildError(const std::string& line);

  ShaderEntryPoints gl_;

 private:
  const char* className_;
  bool linked_ = false;
  std::string buildError_;
  std::vector<std::string> sourceFiles_;
};

}  // namespace VantorGL
