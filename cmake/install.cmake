# cmake --install --component engine: the engine for shows made outside this
# tree, alone (the shows' programs and data are components of their own, which
# a plain cmake --install adds). The target vantorgl-engine builds all of it,
# also where the build so far made only what playing needs (tools/play.sh).
# Headers under include/vantorgl (a show includes them as the engine does:
# "shell/timer.h"), the engine's and the makers' libraries, the CMake package
# (find_package(VantorGL CONFIG REQUIRED): the imported targets VantorGL::engine
# and VantorGL::makers and the call vantorgl_add_show) and the geometry stage
# every show's stage carries.
# The sanitizer and fuzzing builds are for this tree's tests only.
if(VANTOR_SANITIZE OR VANTOR_FUZZ)
  return()
endif()
include(CMakePackageConfigHelpers)

set(VANTORGL_CMAKE_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/VantorGL)
set(VANTORGL_DATA_INSTALL_DIR ${CMAKE_INSTALL_DATADIR}/vantorgl)

add_custom_target(vantorgl-engine DEPENDS vantorgl vantorgl_makers)
install(TARGETS vantorgl vantorgl_makers EXPORT VantorGLTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT engine)
# A stripped install (cmake --install --strip, the Debian package) takes the
# debug sections and the compiler's notes out of the static libraries too, as
# Debian ships them; their symbols stay, so that shows still link.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(lib $<TARGET_FILE_NAME:vantorgl> $<TARGET_FILE_NAME:vantorgl_makers>)
      execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-debug --remove-section=.comment --remove-section=.note
        --enable-deterministic-archives \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/\${lib}\")
    endforeach()
  endif()" COMPONENT engine)
foreach(dir shell scenes resources shaders properties scenedata platform sync makers)
  file(GLOB headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${dir}/*.h)
  install(FILES ${headers} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vantorgl/${dir} COMPONENT engine)
endforeach()
install(FILES ${VANTORGL_GEOMETRY_STAGE} DESTINATION ${VANTORGL_DATA_INSTALL_DIR} COMPONENT engine)
# The effects' GLSL sources, which a show's stage takes from here.
install(FILES ${VANTORGL_SHADER_FILES} DESTINATION ${VANTORGL_DATA_INSTALL_DIR}/shaders COMPONENT engine)
if(TARGET vantorgl-content)
  add_dependencies(vantorgl-engine vantorgl-content)
  install(TARGETS vantorgl-content EXPORT VantorGLTargets DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT engine)
  # Its manual page, made from --help as the makers' programs' are.
  find_program(VANTORGL_HELP2MAN help2man)
  if(VANTORGL_HELP2MAN)
    set(page ${PROJECT_BINARY_DIR}/manuals/vantorgl-content.1)
    add_custom_command(OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/manuals
      COMMAND ${VANTORGL_HELP2MAN} --no-info --section=1 --version-string=${PROJECT_VERSION}
              "--name=make one data file for a show made on VantorGL" --output=${page}
              $<TARGET_FILE:vantorgl-content>
      COMMAND gzip -9nf ${page}
      DEPENDS vantorgl-content VERBATIM)
    add_custom_target(vantorgl-content-manual ALL DEPENDS ${page}.gz)
    add_dependencies(vantorgl-engine vantorgl-content-manual)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT engine)
  endif()
endif()

install(EXPORT VantorGLTargets NAMESPACE VantorGL:: DESTINATION ${VANTORGL_CMAKE_INSTALL_DIR} COMPONENT engine)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VantorGLConfig.cmake.in
  ${PROJECT_BINARY_DIR}/VantorGLConfig.cmake
  INSTALL_DESTINATION ${VANTORGL_CMAKE_INSTALL_DIR}
  PATH_VARS VANTORGL_DATA_INSTALL_DIR)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/VantorGLConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
    ${PROJECT_BINARY_DIR}/VantorGLConfig.cmake
    ${PROJECT_BINARY_DIR}/VantorGLConfigVersion.cmake
    ${PROJECT_SOURCE_DIR}/cmake/VantorGLDependencies.cmake
    ${PROJECT_SOURCE_DIR}/cmake/VantorGLShow.cmake
    ${PROJECT_SOURCE_DIR}/cmake/VantorGLCopyData.cmake
  DESTINATION ${VANTORGL_CMAKE_INSTALL_DIR} COMPONENT engine)
