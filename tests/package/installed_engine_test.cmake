# The engine as its install puts it in a prefix, found by projects. Two shows in
# sibling folders of one project: each show's stage holds its own data, its
# property file under its own name, and the engine's geometry stage. A project
# for which the engine is optional: it keeps its own variables, and where a
# library the engine needs is missing it is told which and goes on.
#   cmake -DBUILD=<the engine's build> -DWORK=<scratch folder> -P installed_engine_test.cmake
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGN}\nended with ${status}:\n${out}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK})
run(${CMAKE_COMMAND} --install ${BUILD} --component engine --prefix ${WORK}/prefix)
run(${CMAKE_COMMAND} -S ${CMAKE_CURRENT_LIST_DIR}/two_shows -B ${WORK}/build -DCMAKE_PREFIX_PATH=${WORK}/prefix)
run(${CMAKE_COMMAND} --build ${WORK}/build --target one-stage two-stage)
set(failures)
foreach(show one two)
  set(stage ${WORK}/build/${show}/stage)
  foreach(file data/${show}.qelProperty data/${show}.txt Data/Shaders/test.geom)
    if(NOT EXISTS ${stage}/${file})
      list(APPEND failures "${show}'s stage lacks ${file}")
    endif()
  endforeach()
  if(EXISTS ${stage}/data/show.qelProperty)
    list(APPEND failures "${show}'s stage holds its property file under the source's name too")
  endif()
endforeach()
if(EXISTS ${WORK}/build/one/stage/data/two.txt OR EXISTS ${WORK}/build/two/stage/data/one.txt)
  list(APPEND failures "a stage holds the other show's data")
endif()

run(${CMAKE_COMMAND} -S ${CMAKE_CURRENT_LIST_DIR}/optional -B ${WORK}/optional -DCMAKE_PREFIX_PATH=${WORK}/prefix)
if(NOT out MATCHES "VantorGL found: 1")
  list(APPEND failures "the optional project did not find the engine:\n${out}")
endif()
file(MAKE_DIRECTORY ${WORK}/no-pkgconfig)
run(${CMAKE_COMMAND} -E env PKG_CONFIG_LIBDIR=${WORK}/no-pkgconfig PKG_CONFIG_PATH=
    ${CMAKE_COMMAND} -S ${CMAKE_CURRENT_LIST_DIR}/optional -B ${WORK}/optional-without -DCMAKE_PREFIX_PATH=${WORK}/prefix)
if(NOT out MATCHES "VantorGL found: 0" OR NOT out MATCHES "sdl2 \\(libsdl2-dev\\)")
  list(APPEND failures "without the engine's libraries, the optional project was not told which:\n${out}")
endif()

if(failures)
  string(REPLACE ";" "\n" failures "${failures}")
  message(FATAL_ERROR "${failures}")
endif()
file(REMOVE_RECURSE ${WORK})
