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
// When InitEntryPoints fails (no shader objects, or a required entry point
// missing), every build and every apply of the effect does nothing: no call ever
// goes through a missing entry point.
//
// Effects are not copyable: they own GL objects. Main thread only.
#include <epoxy/gl.h>

#include <memory>

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

class cShaderSystem {
 public:
  // `className` names the effect in debug.log lines; it must outlive the effect
  // (a string literal).
  explicit cShaderSystem(const char* className = "cShaderSystem") : className_(className) {}
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

  // Trades entry points, program, stages and link state with `other`: an effect
  // built again beside this one hands its build over, and takes the old objects
  // away to delete them when it goes.
  void SwapProgram(cShaderSystem& other);

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
  // Creates a stage of `type` from one NUL-terminated source, compiles it and,
  // on success, attaches it. On failure the log goes to debug.log under `stageName`.
  bool BuildStage(GLenum type, const char* source, GLhandleARB& handle, const char* stageName);
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

  ShaderEntryPoints gl_;

 private:
  const char* className_;
  bool linked_ = false;
};

}  // namespace VantorGL
