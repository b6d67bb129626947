# Run by CPack on each package it made (CPACK_POST_BUILD_SCRIPTS): the package must not
# list /opt itself (see unown-opt.sh).
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  execute_process(COMMAND sh "${CMAKE_CURRENT_LIST_DIR}/unown-opt.sh" "${package}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "cannot take /opt out of ${package}")
  endif()
endforeach()
