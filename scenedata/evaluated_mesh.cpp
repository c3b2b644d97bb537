#include "scenedata/evaluated_mesh.h"

#include <epoxy/gl.h>

#include <array>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/gl_extensions.h"

namespace VantorGL {
namespace {

// Hands the evaluator's vertex on untouched, to be recorded.
constexpr char kCaptureSource[] =
    "#version 110\n"
    "varying vec4 meshVertex;\n"
    "varying vec4 meshTexCoord;\n"
    "void main() {\n"
    "  meshVertex = gl_Vertex;\n"
    "  meshTexCoord = gl_MultiTexCoord0;\n"
    "  gl_Position = gl_Vertex;\n"
    "}\n";
constexpr GLsizei kStride = 8 * sizeof(GLfloat);  // meshVertex, meshTexCoord

using Vertex = std::array<GLfloat, 8>;

std::string_view BytesOf(const Vertex& v) { return {reinterpret_cast<const char*>(v.data()), sizeof v}; }

// Corners are alike when their bits are: the draw must give what the recorded ones gave.
struct VertexBits {
  size_t operator()(const Vertex& v) const { return std::hash<std::string_view>{}(BytesOf(v)); }
};

struct SameBits {
  bool operator()(const Vertex& a, const Vertex& b) const { return BytesOf(a) == BytesOf(b); }
};

}  // namespace

// The grid's triangles share their corners: each corner kept once and the
// triangles drawn through indices, in their order, so the driver shades a
// corner once instead of up to six times (on a software renderer, on the
// thread that feeds the others).
void cEvaluatedMesh::ShareCorners() {
  std::vector<Vertex> recorded(static_cast<size_t>(count_));
  GLint boundVertices = 0, boundIndices = 0;
  glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &boundVertices);
  glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &boundIndices);
  glBindBuffer(GL_ARRAY_BUFFER, buffer_);
  glGetBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(recorded.size() * sizeof(Vertex)), recorded.data());
  std::unordered_map<Vertex, GLuint, VertexBits, SameBits> index;
  std::vector<Vertex> corners;
  std::vector<GLuint> indices;
  indices.reserve(recorded.size());
  for (const Vertex& v : recorded) {
    const auto [at, added] = index.emplace(v, static_cast<GLuint>(corners.size()));
    if (added) corners.push_back(v);
    indices.push_back(at->second);
  }
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(corners.size() * sizeof(Vertex)), corners.data(),
               GL_STATIC_DRAW);
  glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(boundVertices));
  glGenBuffers(1, &indices_);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indices_);
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof(GLuint)), indices.data(),
               GL_STATIC_DRAW);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLuint>(boundIndices));
  corners_ = static_cast<int32_t>(corners.size());
}

bool cEvaluatedMesh::Capture(int32_t columns, int32_t rows) {
  if (buffer_ != 0) return true;
  if (failed_ || columns <= 0 || rows <= 0 || platform::GlVersion() < 20 ||
      !platform::HasGlExtension("GL_EXT_transform_feedback")) {
    failed_ = true;
    return false;
  }
  failed_ = true;  // until the buffer holds the whole mesh
  const GLsizei vertices = 2 * columns * rows * 3;

  const GLuint shader = glCreateShader(GL_VERTEX_SHADER);
  const char* source = kCaptureSource;
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  const GLuint program = glCreateProgram();
  glAttachShader(program, shader);
  const char* varyings[2] = {"meshVertex", "meshTexCoord"};
  glTransformFeedbackVaryings(program, 2, varyings, GL_INTERLEAVED_ATTRIBS);
  glLinkProgram(program);
  GLint linked = GL_FALSE;
  glGetProgramiv(program, GL_LINK_STATUS, &linked);

  GLuint buffer = 0, query = 0;
  GLuint written = 0;
  if (linked == GL_TRUE) {
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_TRANSFORM_FEEDBACK_BUFFER, buffer);
    glBufferData(GL_TRANSFORM_FEEDBACK_BUFFER, static_cast<GLsizeiptr>(vertices) * kStride, nullptr,
                 GL_STATIC_DRAW);
    glGenQueries(1, &query);
    GLint previous = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &previous);
    glUseProgram(program);
    glBindBufferBase(GL_TRANSFORM_FEEDBACK_BUFFER, 0, buffer);
    glEnable(GL_RASTERIZER_DISCARD);
    glBeginQuery(GL_TRANSFORM_FEEDBACK_PRIMITIVES_WRITTEN, query);
    glBeginTransformFeedback(GL_TRIANGLES);
    glEvalMesh2(GL_FILL, 0, columns, 0, rows);
    glEndTransformFeedback();
    glEndQuery(GL_TRANSFORM_FEEDBACK_PRIMITIVES_WRITTEN);
    glDisable(GL_RASTERIZER_DISCARD);
    glBindBufferBase(GL_TRANSFORM_FEEDBACK_BUFFER, 0, 0);
    glBindBuffer(GL_TRANSFORM_FEEDBACK_BUFFER, 0);
    glUseProgram(static_cast<GLuint>(previous));
    glGetQueryObjectuiv(query, GL_QUERY_RESULT, &written);
    glDeleteQueries(1, &query);
  }
  glDeleteProgram(program);
  glDeleteShader(shader);
  // A mesh only partly recorded (a driver that tessellates otherwise) is not used.
  if (static_cast<GLsizei>(written) * 3 != vertices) {
    if (buffer != 0) glDeleteBuffers(1, &buffer);
    return false;
  }
  buffer_ = buffer;
  count_ = vertices;
  failed_ = false;
  ShareCorners();
  return true;
}

void cEvaluatedMesh::Draw() const {
  if (buffer_ == 0) return;
  glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
  glBindBuffer(GL_ARRAY_BUFFER, buffer_);
  glClientActiveTexture(GL_TEXTURE0);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(4, GL_FLOAT, kStride, nullptr);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glTexCoordPointer(4, GL_FLOAT, kStride, reinterpret_cast<const void*>(4 * sizeof(GLfloat)));
  GLint bound = 0;
  glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &bound);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indices_);
  glDrawRangeElements(GL_TRIANGLES, 0, static_cast<GLuint>(corners_ - 1), count_, GL_UNSIGNED_INT, nullptr);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLuint>(bound));
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glPopClientAttrib();
}

}  // namespace VantorGL
