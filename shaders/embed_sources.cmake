# Writes the C++ source that builds the effects' GLSL files into the engine
# (cmake -P; shaders/shaders.cmake runs it): a player whose data holds no
# shader files draws with exactly these texts.
#   -DOUT=file.cpp -DSOURCES=name=file|name=file...  (symbol = GLSL file)
string(REPLACE "|" ";" pairs "${SOURCES}")
set(text "// Written by shaders/embed_sources.cmake from shaders/glsl/: edit those files.\n")
string(APPEND text "#include \"shaders/shader_sources.h\"\n\nnamespace VantorGL::shader_sources {\n")
foreach(pair IN LISTS pairs)
  string(REGEX MATCH "^([A-Za-z0-9_]+)=(.+)$" ok "${pair}")
  if(NOT ok)
    message(FATAL_ERROR "embed_sources: bad entry '${pair}'")
  endif()
  set(symbol ${CMAKE_MATCH_1})
  file(READ "${CMAKE_MATCH_2}" glsl)
  # A raw string holds any text but its own closing delimiter.
  string(FIND "${glsl}" ")glsl\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "embed_sources: ${CMAKE_MATCH_2} holds the delimiter )glsl\"")
  endif()
  string(APPEND text "\nconst char* const ${symbol} = R\"glsl(${glsl})glsl\";\n")
endforeach()
string(APPEND text "\n}  // namespace VantorGL::shader_sources\n")
# Written only when it changes, so that an unchanged source compiles nothing again.
file(WRITE "${OUT}.new" "${text}")
file(COPY_FILE "${OUT}.new" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.new")
