# vantorgl_add_show: one call gives a show made on VantorGL its programs and its
# stage, the same inside the engine's tree and in a project of its own that found
# the installed engine (find_package(VantorGL CONFIG REQUIRED)).
#
#   vantorgl_add_show(NAME name
#     PLAYER main.cpp          the player's entry point: takes no arguments, reads
#                              its data from the working directory
#     SOURCES file...          the show itself: its application, scenes and
#                              registry, and its CreateShow (makers/show.h), through
#                              which the makers' programs play it
#     [DATA dir...]            folders whose content is copied into the stage as
#                              it stands (pictures, models, the property file)
#     [DEPENDS target...]      targets that write generated data into the stage
#     [STAGE dir])             default: ${CMAKE_CURRENT_BINARY_DIR}/stage
#
# Targets: `name` (the player), `name-capture`, `name-preview`, `name_show` (the
# show's library, for tests) and `name-stage` (built by default: the show's DATA
# and the engine's geometry stage, Data/Shaders/test.geom, copied in). The three programs are copied into the stage
# when built; `name_STAGE` is set to the stage folder in the caller's scope.
include_guard(GLOBAL)

function(vantorgl_add_show)
  cmake_parse_arguments(PARSE_ARGV 0 SHOW "" "NAME;PLAYER;STAGE" "SOURCES;DATA;DEPENDS")
  if(NOT SHOW_NAME OR NOT SHOW_PLAYER OR NOT SHOW_SOURCES)
    message(FATAL_ERROR "vantorgl_add_show: NAME, PLAYER and SOURCES are required")
  endif()
  set(name ${SHOW_NAME})
  if(NOT SHOW_STAGE)
    set(SHOW_STAGE ${CMAKE_CURRENT_BINARY_DIR}/stage)
  endif()

  # The show's code, once for its three programs.
  add_library(${name}_show STATIC ${SHOW_SOURCES})
  target_include_directories(${name}_show PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name}_show PUBLIC VantorGL::makers)
  if(DEFINED VANTOR_WARNINGS)
    target_compile_options(${name}_show PRIVATE ${VANTOR_WARNINGS})
  endif()

  add_executable(${name} ${SHOW_PLAYER})
  target_link_libraries(${name} PRIVATE ${name}_show)

  # The makers' programs: their whole work is in the makers' library; each main
  # only hands over the command line.
  foreach(program capture preview)
    set(main ${CMAKE_CURRENT_BINARY_DIR}/${name}-${program}-main.cpp)
    string(TOUPPER ${program} upper)
    string(SUBSTRING ${upper} 0 1 first)
    string(SUBSTRING ${program} 1 -1 rest)
    file(CONFIGURE OUTPUT ${main} CONTENT
"// Written by vantorgl_add_show: the ${program} program of the show ${name}.
#include \"makers/programs.h\"

int main(int argc, char** argv) { return VantorGL::Run${first}${rest}Program(argc, argv, &VantorGL::CreateShow); }
")
    add_executable(${name}-${program} ${main})
    target_link_libraries(${name}-${program} PRIVATE ${name}_show)
  endforeach()

  if(DEFINED VANTOR_WARNINGS)
    foreach(t ${name} ${name}-capture ${name}-preview)
      target_compile_options(${t} PRIVATE ${VANTOR_WARNINGS})
    endforeach()
  endif()

  # The stage: the working directory the programs run from.
  foreach(t ${name} ${name}-capture ${name}-preview)
    add_custom_command(TARGET ${t} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E make_directory ${SHOW_STAGE}
      COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${t}> ${SHOW_STAGE}/
      VERBATIM)
  endforeach()
  set(copy_args)
  foreach(dir ${SHOW_DATA})
    get_filename_component(dir ${dir} ABSOLUTE)
    list(APPEND copy_args ${dir})
  endforeach()
  string(REPLACE ";" "|" copy_list "${copy_args}")
  add_custom_target(${name}-stage ALL
    COMMAND ${CMAKE_COMMAND} -DFROM=${copy_list} -DTO=${SHOW_STAGE}
            -DGEOMETRY_STAGE=${VANTORGL_GEOMETRY_STAGE}
            -P ${_VANTORGL_SHOW_DIR}/VantorGLCopyData.cmake
    COMMENT "Copying ${name}'s data into its stage"
    VERBATIM)
  if(SHOW_DEPENDS)
    add_dependencies(${name}-stage ${SHOW_DEPENDS})
  endif()
  set_target_properties(${name} PROPERTIES VANTORGL_STAGE ${SHOW_STAGE})
  set(${name}_STAGE ${SHOW_STAGE} PARENT_SCOPE)
endfunction()

set(_VANTORGL_SHOW_DIR ${CMAKE_CURRENT_LIST_DIR})
