# Resources compiled into the engine: the setup dialog's template and banner,
# bundled by glib-compile-resources into a C source under generated/.
find_program(GLIB_COMPILE_RESOURCES glib-compile-resources REQUIRED)

set(VANTOR_SETUP_RESOURCE_DIR ${CMAKE_CURRENT_SOURCE_DIR}/platform/resources)
set(VANTOR_SETUP_RESOURCE_XML ${VANTOR_SETUP_RESOURCE_DIR}/setup_dialog.gresource.xml)
set(VANTOR_SETUP_RESOURCE_C ${CMAKE_CURRENT_BINARY_DIR}/generated/setup_dialog_resources.c)

execute_process(
  COMMAND ${GLIB_COMPILE_RESOURCES} --generate-dependencies
          --sourcedir=${VANTOR_SETUP_RESOURCE_DIR} ${VANTOR_SETUP_RESOURCE_XML}
  OUTPUT_VARIABLE VANTOR_SETUP_RESOURCE_FILES
  OUTPUT_STRIP_TRAILING_WHITESPACE)
string(REPLACE "\n" ";" VANTOR_SETUP_RESOURCE_FILES "${VANTOR_SETUP_RESOURCE_FILES}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${VANTOR_SETUP_RESOURCE_XML})

add_custom_command(
  OUTPUT ${VANTOR_SETUP_RESOURCE_C}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/generated
  COMMAND ${GLIB_COMPILE_RESOURCES} --generate-source --c-name vantor_setup
          --sourcedir=${VANTOR_SETUP_RESOURCE_DIR} --target=${VANTOR_SETUP_RESOURCE_C}
          ${VANTOR_SETUP_RESOURCE_XML}
  DEPENDS ${VANTOR_SETUP_RESOURCE_XML} ${VANTOR_SETUP_RESOURCE_FILES}
  COMMENT "Bundling the setup dialog resources"
  VERBATIM)
# Generated code is not ours to keep warning-free.
set_source_files_properties(${VANTOR_SETUP_RESOURCE_C} PROPERTIES GENERATED TRUE COMPILE_OPTIONS -w)
target_sources(vantorgl PRIVATE ${VANTOR_SETUP_RESOURCE_C})
