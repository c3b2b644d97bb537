# The stage: the working directory the programs run from (build/stage). The
# program itself is copied in; the content tool writes the data tree beside it.
add_custom_command(TARGET tessaly POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VANTOR_STAGE}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:tessaly> ${VANTOR_STAGE}/
  VERBATIM)
add_custom_command(TARGET tessaly-capture POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VANTOR_STAGE}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:tessaly-capture> ${VANTOR_STAGE}/
  VERBATIM)
add_custom_command(TARGET tessaly-preview POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VANTOR_STAGE}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:tessaly-preview> ${VANTOR_STAGE}/
  VERBATIM)
