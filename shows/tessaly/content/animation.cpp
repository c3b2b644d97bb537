// The camera flight over the landscape as an ASE export: a scene block, the
// camera "Camera01" with its transforms, settings and animation (position and
// rotation tracks), and its target "Camera01.Target" with a position track.
// Written the way modelling tools write it: Z up, ticks of 1/4800 s, tabs for
// indentation and single tabs between numbers, lines well under 128 characters.
#include <cmath>
#include <cstdio>
#include <string>

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

std::string Num(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.4f", std::fabs(v) < 5e-5 ? 0.0 : v);
  return buf;
}

void Line(std::string& out, int indent, const std::string& text) {
  out.append(static_cast<size_t>(indent), '\t');
  out += text;
  out += '\n';
}

void NodeTm(std::string& out, int indent, const std::string& name, V3 pos) {
  Line(out, indent, "*NODE_TM {");
  Line(out, indent + 1, "*NODE_NAME \"" + name + "\"");
  Line(out, indent + 1, "*INHERIT_POS 0 0 0");
  Line(out, indent + 1, "*INHERIT_ROT 0 0 0");
  Line(out, indent + 1, "*INHERIT_SCL 0 0 0");
  Line(out, indent + 1, "*TM_ROW0 1.0000\t0.0000\t0.0000");
  Line(out, indent + 1, "*TM_ROW1 0.0000\t1.0000\t0.0000");
  Line(out, indent + 1, "*TM_ROW2 0.0000\t0.0000\t1.0000");
  Line(out, indent + 1, "*TM_ROW3 " + Num(pos.x) + "\t" + Num(pos.y) + "\t" + Num(pos.z));
  Line(out, indent + 1, "*TM_POS " + Num(pos.x) + "\t" + Num(pos.y) + "\t" + Num(pos.z));
  Line(out, indent + 1, "*TM_ROTAXIS 0.0000\t0.0000\t0.0000");
  Line(out, indent + 1, "*TM_ROTANGLE 0.0000");
  Line(out, indent + 1, "*TM_SCALE 1.0000\t1.0000\t1.0000");
  Line(out, indent + 1, "*TM_SCALEAXIS 0.0000\t0.0000\t0.0000");
  Line(out, indent + 1, "*TM_SCALEAXISANG 0.0000");
  Line(out, indent, "}");
}

void PositionTrack(std::string& out, V3 (*path)(double)) {
  Line(out, 2, "*CONTROL_POS_TRACK {");
  for (int frame = kFirstFrame; frame <= kLastFrame; frame += kKeyEveryFrames) {
    const V3 p = path(static_cast<double>(frame) / kLastFrame);
    Line(out, 3, "*CONTROL_POS_SAMPLE " + std::to_string(frame * kTicksPerFrame) + "\t" + Num(p.x) +
                     "\t" + Num(p.y) + "\t" + Num(p.z));
  }
  Line(out, 2, "}");
}

}  // namespace

std::string MakeCameraExport() {
  std::string out;
  Line(out, 0, "*3DSMAX_ASCIIEXPORT\t200");
  Line(out, 0, "*COMMENT \"tessaly content tool - camera flight over testScenary\"");
  Line(out, 0, "*SCENE {");
  Line(out, 1, "*SCENE_FILENAME \"scenary.max\"");
  Line(out, 1, "*SCENE_FIRSTFRAME " + std::to_string(kFirstFrame));
  Line(out, 1, "*SCENE_LASTFRAME " + std::to_string(kLastFrame));
  Line(out, 1, "*SCENE_FRAMESPEED " + std::to_string(kFrameSpeed));
  Line(out, 1, "*SCENE_TICKSPERFRAME " + std::to_string(kTicksPerFrame));
  Line(out, 1, "*SCENE_BACKGROUND_STATIC 0.0000\t0.0000\t0.0000");
  Line(out, 1, "*SCENE_AMBIENT_STATIC 0.0000\t0.0000\t0.0000");
  Line(out, 0, "}");
  Line(out, 0, "*MATERIAL_LIST {");
  Line(out, 1, "*MATERIAL_COUNT 0");
  Line(out, 0, "}");

  const V3 eye0 = EyeAt(0), target0 = TargetAt(0);
  Line(out, 0, "*CAMERAOBJECT {");
  Line(out, 1, "*NODE_NAME \"Camera01\"");
  Line(out, 1, "*CAMERA_TYPE Target");
  NodeTm(out, 1, "Camera01", eye0);
  NodeTm(out, 1, "Camera01.Target", target0);
  Line(out, 1, "*CAMERA_SETTINGS {");
  Line(out, 2, "*TIMEVALUE 0");
  Line(out, 2, "*CAMERA_NEAR 0.0000");
  Line(out, 2, "*CAMERA_FAR 1000.0000");
  Line(out, 2, "*CAMERA_FOV 0.7854");
  Line(out, 2, "*CAMERA_TDIST " + Num(std::sqrt(std::pow(eye0.x - target0.x, 2) +
                                                 std::pow(eye0.y - target0.y, 2) +
                                                 std::pow(eye0.z - target0.z, 2))));
  Line(out, 1, "}");

  Line(out, 1, "*TM_ANIMATION {");
  Line(out, 2, "*NODE_NAME \"Camera01\"");
  PositionTrack(out, EyeAt);
  // Rotation keys as exporters write them: the first absolute, each later one
  // the turn from the previous key, as axis and angle (radians).
  Line(out, 2, "*CONTROL_ROT_TRACK {");
  Quat previous{1, 0, 0, 0};
  for (int frame = kFirstFrame; frame <= kLastFrame; frame += kKeyEveryFrames) {
    const double f = static_cast<double>(frame) / kLastFrame;
    const Quat q = LookRotation(EyeAt(f), TargetAt(f));
    Quat d = Mul(q, Conj(previous));
    if (d.w < 0) d = {-d.w, -d.x, -d.y, -d.z};
    const double s = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    const double angle = 2.0 * std::atan2(s, d.w);
    const V3 axis = s > 1e-9 ? V3{d.x / s, d.y / s, d.z / s} : V3{0, 0, 1};
    Line(out, 3, "*CONTROL_ROT_SAMPLE " + std::to_string(frame * kTicksPerFrame) + "\t" +
                     Num(axis.x) + "\t" + Num(axis.y) + "\t" + Num(axis.z) + "\t" + Num(angle));
    previous = q;
  }
  Line(out, 2, "}");
  Line(out, 1, "}");

  Line(out, 1, "*TM_ANIMATION {");
  Line(out, 2, "*NODE_NAME \"Camera01.Target\"");
  PositionTrack(out, TargetAt);
  Line(out, 1, "}");
  Line(out, 0, "}");
  return out;
}

}  // namespace content
