# The libraries the engine is built on, each found through pkg-config as an
# imported target. Used by the engine's own build and, installed beside the
# engine's CMake package, by every project that finds VantorGL.
find_package(PkgConfig REQUIRED)
find_package(OpenGL REQUIRED)
find_package(Threads REQUIRED)
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
pkg_check_modules(SDL2_IMAGE REQUIRED IMPORTED_TARGET SDL2_image)
find_package(JPEG REQUIRED)
pkg_check_modules(EPOXY REQUIRED IMPORTED_TARGET epoxy)
pkg_check_modules(GLU REQUIRED IMPORTED_TARGET glu)
pkg_check_modules(PNG REQUIRED IMPORTED_TARGET libpng)
pkg_check_modules(ZLIB REQUIRED IMPORTED_TARGET zlib)
pkg_check_modules(FREETYPE REQUIRED IMPORTED_TARGET freetype2)
pkg_check_modules(FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)
pkg_check_modules(MPG123 REQUIRED IMPORTED_TARGET libmpg123)
pkg_check_modules(FFTW3F REQUIRED IMPORTED_TARGET fftw3f)
pkg_check_modules(GTK3 REQUIRED IMPORTED_TARGET gtk+-3.0)
pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)
pkg_check_modules(ALSA REQUIRED IMPORTED_TARGET alsa)
find_library(MP3LAME_LIBRARY mp3lame)

set(VANTOR_ENGINE_DEPENDENCIES
  PkgConfig::SDL2 PkgConfig::SDL2_IMAGE JPEG::JPEG PkgConfig::EPOXY PkgConfig::GLU
  PkgConfig::PNG PkgConfig::ZLIB PkgConfig::FREETYPE PkgConfig::FONTCONFIG
  PkgConfig::MPG123 PkgConfig::FFTW3F PkgConfig::GTK3 PkgConfig::X11 PkgConfig::ALSA
  OpenGL::GL Threads::Threads)

# The sync editor's project files (sync/rocket_project.h) are XML, read with expat.
pkg_check_modules(EXPAT REQUIRED IMPORTED_TARGET expat)
list(APPEND VANTOR_ENGINE_DEPENDENCIES PkgConfig::EXPAT)
