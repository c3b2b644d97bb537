// The camera flight over the landscape as an ASE export: a scene block, the
// camera "Camera01" with its transforms, settings and animation (position and
// rotation tracks), and its target "Camera01.Target" with a position track.
// Written through the content library's ASE writer (tools/content/ase_writer.h):
// Z up, ticks of 1/4800 s.
#include <cmath>
#include <string>

#include "ase_writer.h"
#include "content.h"

namespace content {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kFirstFrame = 0;
constexpr int kLastFrame = 900;  // 30 s at 30 frames per second
constexpr int kFrameSpeed = 30;
constexpr int kTicksPerFrame = 160;
constexpr int kKeyEveryFrames = 15;

struct V3 {
  double x, y, z;
};
V3 Sub(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 CrossV(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
V3 Norm(V3 a) {
  const double l = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
  return {a.x / l, a.y / l, a.z / l};
}

struct Quat {
  double w, x, y, z;
};
Quat Mul(Quat a, Quat b) {
  return {a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z, a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
          a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x, a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w};
}
Quat Conj(Quat q) { return {q.w, -q.x, -q.y, -q.z}; }

// Rotation of a camera (looking down its local -Z, local Y up) at `eye` that
// looks at `target`, in the exporter's Z-up world.
Quat LookRotation(V3 eye, V3 target) {
  const V3 back = Norm(Sub(eye, target));               // local +Z
  const V3 right = Norm(CrossV({0, 0, 1}, back));       // local +X
  const V3 up = CrossV(back, right);                    // local +Y
  // Columns right, up, back form the rotation matrix.
  const double m00 = right.x, m01 = up.x, m02 = back.x;
  const double m10 = right.y, m11 = up.y, m12 = back.y;
  const double m20 = right.z, m21 = up.z, m22 = back.z;
  const double trace = m00 + m11 + m22;
  Quat q;
  if (trace > 0) {
    const double s = std::sqrt(trace + 1.0) * 2;
    q = {0.25 * s, (m21 - m12) / s, (m02 - m20) / s, (m10 - m01) / s};
  } else if (m00 > m11 && m00 > m22) {
    const double s = std::sqrt(1.0 + m00 - m11 - m22) * 2;
    q = {(m21 - m12) / s, 0.25 * s, (m01 + m10) / s, (m02 + m20) / s};
  } else if (m11 > m22) {
    const double s = std::sqrt(1.0 + m11 - m00 - m22) * 2;
    q = {(m02 - m20) / s, (m01 + m10) / s, 0.25 * s, (m12 + m21) / s};
  } else {
    const double s = std::sqrt(1.0 + m22 - m00 - m11) * 2;
    q = {(m10 - m01) / s, (m02 + m20) / s, (m12 + m21) / s, 0.25 * s};
  }
  return q;
}

// The flight: a figure of eight over the hills, low over the lake, and back.
V3 EyeAt(double f) {
  const double a = 2.0 * kPi * f;
  return {620.0 * std::sin(a), 420.0 * std::sin(2.0 * a), 260.0 + 90.0 * std::cos(a)};
}
V3 TargetAt(double f) {
  const V3 ahead = EyeAt(f + 0.04);
  return {ahead.x * 0.6, ahead.y * 0.6, 40.0 + 30.0 * std::sin(2.0 * kPi * f * 2.0)};
}

void PositionTrack(std::string& out, V3 (*path)(double)) {
  AseLine(out, 2, "*CONTROL_POS_TRACK {");
  for (int frame = kFirstFrame; frame <= kLastFrame; frame += kKeyEveryFrames) {
    const V3 p = path(static_cast<double>(frame) / kLastFrame);
    AseLine(out, 3, "*CONTROL_POS_SAMPLE " + std::to_string(frame * kTicksPerFrame) + "\t" + AseNumber(p.x) +
                     "\t" + AseNumber(p.y) + "\t" + AseNumber(p.z));
  }
  AseLine(out, 2, "}");
}

}  // namespace

std::string MakeCameraExport() {
  std::string out;
  AseHeader(out, {"tessaly content tool - camera flight over testScenary", "scenary.max", kFirstFrame, kLastFrame,
                  kFrameSpeed, kTicksPerFrame});

  const V3 eye0 = EyeAt(0), target0 = TargetAt(0);
  AseLine(out, 0, "*CAMERAOBJECT {");
  AseLine(out, 1, "*NODE_NAME \"Camera01\"");
  AseLine(out, 1, "*CAMERA_TYPE Target");
  AseNodeTm(out, 1, "Camera01", eye0.x, eye0.y, eye0.z);
  AseNodeTm(out, 1, "Camera01.Target", target0.x, target0.y, target0.z);
  AseLine(out, 1, "*CAMERA_SETTINGS {");
  AseLine(out, 2, "*TIMEVALUE 0");
  AseLine(out, 2, "*CAMERA_NEAR 0.0000");
  AseLine(out, 2, "*CAMERA_FAR 1000.0000");
  AseLine(out, 2, "*CAMERA_FOV 0.7854");
  AseLine(out, 2, "*CAMERA_TDIST " + AseNumber(std::sqrt(std::pow(eye0.x - target0.x, 2) +
                                                 std::pow(eye0.y - target0.y, 2) +
                                                 std::pow(eye0.z - target0.z, 2))));
  AseLine(out, 1, "}");

  AseLine(out, 1, "*TM_ANIMATION {");
  AseLine(out, 2, "*NODE_NAME \"Camera01\"");
  PositionTrack(out, EyeAt);
  // Rotation keys as exporters write them: the first absolute, each later one
  // the turn from the previous key, as axis and angle (radians).
  AseLine(out, 2, "*CONTROL_ROT_TRACK {");
  Quat previous{1, 0, 0, 0};
  for (int frame = kFirstFrame; frame <= kLastFrame; frame += kKeyEveryFrames) {
    const double f = static_cast<double>(frame) / kLastFrame;
    const Quat q = LookRotation(EyeAt(f), TargetAt(f));
    Quat d = Mul(q, Conj(previous));
    if (d.w < 0) d = {-d.w, -d.x, -d.y, -d.z};
    const double s = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    const double angle = 2.0 * std::atan2(s, d.w);
    const V3 axis = s > 1e-9 ? V3{d.x / s, d.y / s, d.z / s} : V3{0, 0, 1};
    AseLine(out, 3, "*CONTROL_ROT_SAMPLE " + std::to_string(frame * kTicksPerFrame) + "\t" +
                     AseNumber(axis.x) + "\t" + AseNumber(axis.y) + "\t" + AseNumber(axis.z) + "\t" + AseNumber(angle));
    previous = q;
  }
  AseLine(out, 2, "}");
  AseLine(out, 1, "}");

  AseLine(out, 1, "*TM_ANIMATION {");
  AseLine(out, 2, "*NODE_NAME \"Camera01.Target\"");
  PositionTrack(out, TargetAt);
  AseLine(out, 1, "}");
  AseLine(out, 0, "}");
  return out;
}

}  // namespace content
