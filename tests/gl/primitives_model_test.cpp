// The sphere, the cube, a model and the particles drawn into Mesa's GL, every
// emitted vertex captured with its attributes, in emission order.
#include <epoxy/gl.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "scenedata/geo_sphere.h"
#include "scenedata/model_3ds.h"
#include "scenedata/particle_system.h"
#include "tests/support/chunk3ds.h"
#include "tests/support/gl_fixture.h"

using namespace VantorGL;
using vantor_test::GlTest;

namespace {

struct CapturedVertex {
  float pos[4];
  float normal[3];
  float tex[4];
};

// Every vertex a draw call emits, through transform feedback with rasterisation
// off: the position under the model-view matrix, the normal and texture
// coordinate exactly as given. (Feedback mode rounds window coordinates, too
// coarse for a single-precision check, and Mesa splits quads into triangles there
// as here.)
class AttributeCapture {
 public:
  explicit AttributeCapture(size_t maxVertices) {
    static const char* kSource =
        "#version 120\n"
        "varying vec4 capPos; varying vec3 capNormal; varying vec4 capTex;\n"
        "void main() { capPos = gl_ModelViewMatrix * gl_Vertex; capNormal = gl_Normal; capTex = gl_MultiTexCoord0;\n"
        "  gl_Position = vec4(0.0, 0.0, 0.0, 1.0); }\n";
    shader_ = glCreateShader(GL_VERTEX_SHADER);
    glShaderSource(shader_, 1, &kSource, nullptr);
    glCompileShader(shader_);
    GLint ok = 0;
    glGetShaderiv(shader_, GL_COMPILE_STATUS, &ok);
    EXPECT_TRUE(ok) << "capture shader did not compile";
    program_ = glCreateProgram();
    glAttachShader(program_, shader_);
    const char* names[] = {"capPos", "capNormal", "capTex"};
    glTransformFeedbackVaryings(program_, 3, names, GL_INTERLEAVED_ATTRIBS);
    glLinkProgram(program_);
    glGetProgramiv(program_, GL_LINK_STATUS, &ok);
    EXPECT_TRUE(ok) << "capture program did not link";
    glGenBuffers(1, &buffer_);
    glBindBuffer(GL_TRANSFORM_FEEDBACK_BUFFER, buffer_);
    glBufferData(GL_TRANSFORM_FEEDBACK_BUFFER, static_cast<GLsizeiptr>(maxVertices * sizeof(CapturedVertex)),
                 nullptr, GL_STATIC_READ);
    glGenQueries(1, &query_);
    glUseProgram(program_);
    glEnable(GL_RASTERIZER_DISCARD);
    glBindBufferBase(GL_TRANSFORM_FEEDBACK_BUFFER, 0, buffer_);
    glBeginQuery(GL_TRANSFORM_FEEDBACK_PRIMITIVES_WRITTEN, query_);
    glBeginTransformFeedback(GL_TRIANGLES);
  }

  std::vector<CapturedVertex> End() {
    glEndTransformFeedback();
    glEndQuery(GL_TRANSFORM_FEEDBACK_PRIMITIVES_WRITTEN);
    glDisable(GL_RASTERIZER_DISCARD);
    glUseProgram(0);
    GLuint primitives = 0;
    glGetQueryObjectuiv(query_, GL_QUERY_RESULT, &primitives);
    std::vector<CapturedVertex> out(primitives * 3);
    glGetBufferSubData(GL_TRANSFORM_FEEDBACK_BUFFER, 0, static_cast<GLsizeiptr>(out.size() * sizeof(CapturedVertex)),
                       out.data());
    glBindBufferBase(GL_TRANSFORM_FEEDBACK_BUFFER, 0, 0);
    glBindBuffer(GL_TRANSFORM_FEEDBACK_BUFFER, 0);
    glDeleteQueries(1, &query_);
    glDeleteBuffers(1, &buffer_);
    glDeleteProgram(program_);
    glDeleteShader(shader_);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    return out;
  }

 private:
  GLuint shader_ = 0, program_ = 0, buffer_ = 0, query_ = 0;
};

}  // namespace

TEST_F(GlTest, GeoSphereEmits3840UnitVerticesWithNormalsAsPositions) {
  const float X = 0.5257311f, Z = 0.8506508f;
  for (float radius : {1.0f, 2.5f}) {
    SCOPED_TRACE(radius);
    AttributeCapture capture(4096);
    DrawGeoSphere(radius);
    const auto v = capture.End();
    ASSERT_EQ(v.size(), 3840u);
    // The first vertex is vertex 0 of the icosahedron, (-X, 0, Z), with (-X, 0).
    EXPECT_FLOAT_EQ(v[0].pos[0], -X * radius);
    EXPECT_EQ(v[0].pos[1], 0.0f);
    EXPECT_FLOAT_EQ(v[0].pos[2], Z * radius);
    EXPECT_FLOAT_EQ(v[0].tex[0], -X);
    EXPECT_EQ(v[0].tex[1], 0.0f);
    for (size_t i = 0; i < v.size(); ++i) {
      const float* n = v[i].normal;
      const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
      ASSERT_NEAR(length, 1.0f, 4 * 1.2e-7f) << i;  // a few single-precision steps
      for (int k = 0; k < 3; ++k) ASSERT_EQ(v[i].pos[k], n[k] * radius) << i;
      ASSERT_EQ(v[i].tex[0], n[0]) << i;
      ASSERT_EQ(v[i].tex[1], n[1]) << i;
    }
    // Each triangle runs counter-clockwise seen from the centre: its normal by the
    // right-hand rule points inwards.
    for (size_t t = 0; t < v.size(); t += 3) {
      const float* a = v[t].pos;
      const float* b = v[t + 1].pos;
      const float* c = v[t + 2].pos;
      const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
      const float w[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
      const float n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
      ASSERT_LT(n[0] * (a[0] + b[0] + c[0]) + n[1] * (a[1] + b[1] + c[1]) + n[2] * (a[2] + b[2] + c[2]), 0.0f)
          << "triangle " << t / 3;
    }
  }
}

namespace {
// The right-hand normal of the triangle starting at v[t].
void TriangleNormal(const std::vector<CapturedVertex>& v, size_t t, float n[3]) {
  const float* a = v[t].pos;
  const float* b = v[t + 1].pos;
  const float* c = v[t + 2].pos;
  const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
  const float w[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
  n[0] = u[1] * w[2] - u[2] * w[1];
  n[1] = u[2] * w[0] - u[0] * w[2];
  n[2] = u[0] * w[1] - u[1] * w[0];
}

void LoadIdentities() {
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
}
void PopMatrices() {
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
}
}  // namespace

TEST_F(GlTest, CubeEmitsSixOutwardFacesOfEdgeTwo) {
  struct Corner {
    float s, t, x, y, z;
  };
  const float normals[6][3] = {{0, 0, 1}, {0, 0, -1}, {0, 1, 0}, {0, -1, 0}, {1, 0, 0}, {-1, 0, 0}};
  const Corner corners[6][4] = {
      {{0, 0, -1, -1, 1}, {1, 0, 1, -1, 1}, {1, 1, 1, 1, 1}, {0, 1, -1, 1, 1}},
      {{1, 0, -1, -1, -1}, {1, 1, -1, 1, -1}, {0, 1, 1, 1, -1}, {0, 0, 1, -1, -1}},
      {{0, 1, -1, 1, -1}, {0, 0, -1, 1, 1}, {1, 0, 1, 1, 1}, {1, 1, 1, 1, -1}},
      {{1, 1, -1, -1, -1}, {0, 1, 1, -1, -1}, {0, 0, 1, -1, 1}, {1, 0, -1, -1, 1}},
      {{1, 0, 1, -1, -1}, {1, 1, 1, 1, -1}, {0, 1, 1, 1, 1}, {0, 0, 1, -1, 1}},
      {{0, 0, -1, -1, -1}, {1, 0, -1, -1, 1}, {1, 1, -1, 1, 1}, {0, 1, -1, 1, -1}},
  };
  LoadIdentities();
  AttributeCapture capture(64);
  DrawCube();
  const auto v = capture.End();
  PopMatrices();
  ASSERT_EQ(v.size(), 36u);  // six quads, two triangles each
  for (size_t f = 0; f < 6; ++f) {
    SCOPED_TRACE(f);
    std::vector<bool> seen(4, false);
    for (size_t i = f * 6; i < f * 6 + 6; ++i) {
      for (int k = 0; k < 3; ++k) EXPECT_EQ(v[i].normal[k], normals[f][k]);
      bool found = false;
      for (size_t c = 0; c < 4; ++c) {
        const Corner& e = corners[f][c];
        if (v[i].pos[0] == e.x && v[i].pos[1] == e.y && v[i].pos[2] == e.z && v[i].tex[0] == e.s &&
            v[i].tex[1] == e.t) {
          seen[c] = found = true;
        }
      }
      EXPECT_TRUE(found) << "vertex " << i << " is no corner of its face";
    }
    EXPECT_EQ(seen, std::vector<bool>(4, true));
    for (size_t t = f * 6; t < f * 6 + 6; t += 3) {
      float n[3];
      TriangleNormal(v, t, n);  // counter-clockwise seen from outside: points outwards
      EXPECT_GT(n[0] * normals[f][0] + n[1] * normals[f][1] + n[2] * normals[f][2], 0.0f);
    }
  }
}

namespace {
std::vector<uint8_t> TwoMeshModel() {
  using namespace vantor_test;
  // Mesh "A": one triangle with mapping coordinates; mesh "B": one without, two groups.
  return File3ds({Object("A", {VertexList({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}),
                               MappingList({{0.25f, 0.5f}, {0.75f, 0.5f}, {0.5f, 1.0f}}),
                               FaceList({{0, 1, 2}}, {FaceGroup("m", {0})})}),
                  Object("B", {VertexList({{0, 0, 0}, {0, 0, 1}, {1, 0, 0}, {1, 0, 1}}),
                               FaceList({{0, 1, 2}, {2, 1, 3}}, {FaceGroup("m", {1}), FaceGroup("n", {0})})})});
}
}  // namespace

TEST_F(GlTest, ModelDrawsEachGroupUnderItsTransformAndLeavesStateAsFound) {
  c3DsModelSystem model;
  const auto bytes = TwoMeshModel();
  ASSERT_TRUE(model.LoadFromBytes(bytes.data(), bytes.size()));
  model.position[0] = 0.1f;
  model.position[1] = 0.2f;
  model.position[2] = 0.3f;
  model.rotation[0] = 90.0f;
  model.rotation[1] = 90.0f;
  model.scale = 0.5f;

  // A texture-coordinate array left enabled by the caller must not feed mesh B.
  const float stale[16] = {};
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glTexCoordPointer(2, GL_FLOAT, 0, stale);
  glTexCoord2f(9.0f, 8.0f);
  glNormal3f(0, 0, 1);
  LoadIdentities();
  GLint depth = 0;
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);

  AttributeCapture capture(64);
  model.Draw();
  const auto v = capture.End();

  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
  EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
  EXPECT_FALSE(glIsEnabled(GL_NORMAL_ARRAY));
  GLvoid* pointer = nullptr;
  glGetPointerv(GL_TEXTURE_COORD_ARRAY_POINTER, &pointer);
  EXPECT_EQ(pointer, stale);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  GLint after = 0;
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &after);
  EXPECT_EQ(after, depth);

  ASSERT_EQ(v.size(), 9u);  // A's group, then B's two groups in group order
  // v' = T Rx(90) Ry(90) (s v): Ry(90) (x, y, z) = (z, y, -x); Rx(90) (x, y, z) = (x, -z, y).
  auto expected = [&](float x, float y, float z, float out[3]) {
    x *= 0.5f, y *= 0.5f, z *= 0.5f;
    const float ry[3] = {z, y, -x};
    out[0] = ry[0] + 0.1f;
    out[1] = -ry[2] + 0.2f;
    out[2] = ry[1] + 0.3f;
  };
  // Mesh A's stored vertices: (0,0,0), (1,0,0), (0,0,-1); its normal (0,1,0).
  const float storedA[3][3] = {{0, 0, 0}, {1, 0, 0}, {0, 0, -1}};
  const float uvA[3][2] = {{0.25f, 0.5f}, {0.75f, 0.5f}, {0.5f, 1.0f}};
  for (size_t i = 0; i < 3; ++i) {
    float e[3];
    expected(storedA[i][0], storedA[i][1], storedA[i][2], e);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(v[i].pos[k], e[k], 1e-6f) << i;
    EXPECT_EQ(v[i].tex[0], uvA[i][0]);
    EXPECT_EQ(v[i].tex[1], uvA[i][1]);
    EXPECT_EQ(v[i].normal[1], 1.0f);
  }
  // Mesh B's first group is its face 1, the file's vertices 2, 1, 3:
  // (1,0,0), (0,0,1), (1,0,1), stored as (1,0,0), (0,1,0), (1,1,0).
  const float storedB[3][3] = {{1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
  for (size_t i = 0; i < 3; ++i) {
    float e[3];
    expected(storedB[i][0], storedB[i][1], storedB[i][2], e);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(v[3 + i].pos[k], e[k], 1e-6f) << i;
    EXPECT_EQ(v[3 + i].tex[0], 9.0f);  // the current coordinate: no array
    EXPECT_EQ(v[3 + i].tex[1], 8.0f);
  }

  // Without normals the current normal stays in force.
  model.normals = 0;
  AttributeCapture flat(64);
  model.Draw();
  const auto w = flat.End();
  ASSERT_EQ(w.size(), 9u);
  for (const auto& x : w) EXPECT_EQ(x.normal[2], 1.0f);

  // Invisible: nothing drawn, the matrix stack untouched.
  model.visible = 0;
  AttributeCapture none(64);
  model.Draw();
  EXPECT_TRUE(none.End().empty());
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &after);
  EXPECT_EQ(after, depth);
  PopMatrices();
}

TEST_F(GlTest, ParticlesDrawOneCubeEachAtTheirPlaces) {
  cParticleSystem ps;
  ps.Init();
  for (auto& p : ps.particles) {
    p.size = 0.01f;
    p.position[0] = static_cast<float>(p.index % 10) * 0.1f - 0.5f;
    p.position[1] = static_cast<float>(p.index / 100) * 0.1f - 0.5f;
    p.rotationAxis[1] = 1.0f;
    p.angle = 90.0f;
  }
  LoadIdentities();
  AttributeCapture capture(500 * 36);
  ps.DrawAllParticles();
  const auto v = capture.End();
  PopMatrices();
  ASSERT_EQ(v.size(), 500u * 36);
  EXPECT_EQ(ps.current, &ps.particles[499]);
  // Particle 7's front face, turned 90 degrees about y, faces +x and lies at x = 0.21.
  float n[3];
  TriangleNormal(v, 7 * 36, n);
  EXPECT_GT(n[0], 0.0f);
  for (size_t i = 7 * 36; i < 7 * 36 + 6; ++i) {
    EXPECT_NEAR(v[i].pos[0], 0.21f, 1e-6f);
    EXPECT_NEAR(std::fabs(v[i].pos[1] + 0.5f), 0.01f, 1e-6f);
  }
}
