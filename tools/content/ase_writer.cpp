#include "ase_writer.h"

#include <cmath>
#include <cstdio>

namespace content {

std::string AseNumber(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.4f", std::fabs(v) < 5e-5 ? 0.0 : v);
  return buf;
}

void AseLine(std::string& out, int indent, const std::string& text) {
  out.append(static_cast<size_t>(indent), '\t');
  out += text;
  out += '\n';
}

void AseHeader(std::string& out, const AseScene& scene) {
  AseLine(out, 0, "*3DSMAX_ASCIIEXPORT\t200");
  AseLine(out, 0, "*COMMENT \"" + scene.comment + "\"");
  AseLine(out, 0, "*SCENE {");
  AseLine(out, 1, "*SCENE_FILENAME \"" + scene.fileName + "\"");
  AseLine(out, 1, "*SCENE_FIRSTFRAME " + std::to_string(scene.firstFrame));
  AseLine(out, 1, "*SCENE_LASTFRAME " + std::to_string(scene.lastFrame));
  AseLine(out, 1, "*SCENE_FRAMESPEED " + std::to_string(scene.frameSpeed));
  AseLine(out, 1, "*SCENE_TICKSPERFRAME " + std::to_string(scene.ticksPerFrame));
  AseLine(out, 1, "*SCENE_BACKGROUND_STATIC 0.0000\t0.0000\t0.0000");
  AseLine(out, 1, "*SCENE_AMBIENT_STATIC 0.0000\t0.0000\t0.0000");
  AseLine(out, 0, "}");
  AseLine(out, 0, "*MATERIAL_LIST {");
  AseLine(out, 1, "*MATERIAL_COUNT 0");
  AseLine(out, 0, "}");
}

void AseNodeTm(std::string& out, int indent, const std::string& name, double x, double y, double z) {
  const std::string at = AseNumber(x) + "\t" + AseNumber(y) + "\t" + AseNumber(z);
  AseLine(out, indent, "*NODE_TM {");
  AseLine(out, indent + 1, "*NODE_NAME \"" + name + "\"");
  AseLine(out, indent + 1, "*INHERIT_POS 0 0 0");
  AseLine(out, indent + 1, "*INHERIT_ROT 0 0 0");
  AseLine(out, indent + 1, "*INHERIT_SCL 0 0 0");
  AseLine(out, indent + 1, "*TM_ROW0 1.0000\t0.0000\t0.0000");
  AseLine(out, indent + 1, "*TM_ROW1 0.0000\t1.0000\t0.0000");
  AseLine(out, indent + 1, "*TM_ROW2 0.0000\t0.0000\t1.0000");
  AseLine(out, indent + 1, "*TM_ROW3 " + at);
  AseLine(out, indent + 1, "*TM_POS " + at);
  AseLine(out, indent + 1, "*TM_ROTAXIS 0.0000\t0.0000\t0.0000");
  AseLine(out, indent + 1, "*TM_ROTANGLE 0.0000");
  AseLine(out, indent + 1, "*TM_SCALE 1.0000\t1.0000\t1.0000");
  AseLine(out, indent + 1, "*TM_SCALEAXIS 0.0000\t0.0000\t0.0000");
  AseLine(out, indent + 1, "*TM_SCALEAXISANG 0.0000");
  AseLine(out, indent, "}");
}

}  // namespace content
