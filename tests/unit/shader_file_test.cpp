// Reading a shader file: whole text, NUL-terminated, found without regard to
// case; nothing for a missing or empty file.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "shaders/shader_system.h"

namespace fs = std::filesystem;
using VantorGL::cShaderSystem;

TEST(ShaderFile, ReadsWholeTextAndRefusesMissingOrEmptyFiles) {
  fs::path dir = fs::temp_directory_path() / ("vantor_shader_file_" + std::to_string(::getpid()));
  fs::create_directories(dir / "data" / "Shaders");
  const std::string text = "void main()\n{\n}\n";
  std::ofstream(dir / "data" / "Shaders" / "test.geom", std::ios::binary) << text;
  std::ofstream(dir / "data" / "Shaders" / "empty.geom", std::ios::binary);

  std::string base = dir.string();
  auto found = cShaderSystem::ReadShaderFile((base + "/Data/Shaders/test.geom").c_str());
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(std::strlen(found.get()), text.size());
  EXPECT_EQ(std::string(found.get()), text);

  EXPECT_EQ(cShaderSystem::ReadShaderFile((base + "/Data/Shaders/empty.geom").c_str()), nullptr);
  EXPECT_EQ(cShaderSystem::ReadShaderFile((base + "/Data/Shaders/none.geom").c_str()), nullptr);
  EXPECT_EQ(cShaderSystem::ReadShaderFile(nullptr), nullptr);
  fs::remove_all(dir);
}
