# The build's own functions: translations compiled and embedded, and tests registered.

# ovra_add_translations(OUT_VAR QRC_NAME TS_FILE...)
# Compiles the .ts files to .qm and embeds them: the catalogues end up at
# :/Language/<name>.qm, in a resource file QRC_NAME.qrc whose Q_INIT_RESOURCE name is
# QRC_NAME. OUT_VAR gets the sources to add to the target (the .qrc and the .qm files).
function(ovra_add_translations out_var qrc_name)
  qt5_add_translation(qm_files ${ARGN})
  set(qrc ${CMAKE_CURRENT_BINARY_DIR}/${qrc_name}.qrc)
  set(content "<RCC><qresource prefix=\"/Language\">\n")
  foreach(qm IN LISTS qm_files)
    get_filename_component(name ${qm} NAME)
    string(APPEND content "<file alias=\"${name}\">${qm}</file>\n")
  endforeach()
  string(APPEND content "</qresource></RCC>\n")
  file(WRITE ${qrc}.in "${content}")
  configure_file(${qrc}.in ${qrc} COPYONLY)
  set_source_files_properties(${qrc} PROPERTIES OBJECT_DEPENDS "${qm_files}")
  set(${out_var} ${qrc} ${qm_files} PARENT_SCOPE)
endfunction()

# ovra_add_test(NAME [SOURCES file...] [LIBS target...] [INCLUDES folder...]
#               [LABELS label...] [LOCKS resource...] [TIMEOUT seconds]
#               [PRELOAD] [OFFSCREEN] [PLAIN] [ENVIRONMENT var=value...]
#               [PROPERTIES property value...] [GROUP target] [TARGET name]
#               [COMMAND program args...])
# The one way to register a test. NAME is "<folder>.<program>": the part after the first
# dot is the test program, built from <program>.cpp (or SOURCES), linked with LIBS, with INCLUDES on its include path.
#   COMMAND     runs that command instead, and no program is built (scripts, tools' runs).
#   PRELOAD     runs the program under umockdev-wrapper, so libusb and raw usbfs in the
#               test process see the emulated USB devices.
#   OFFSCREEN   gives Qt the offscreen platform.
#   PLAIN       a program without Qt: no moc, uic or rcc.
#   GROUP       a custom target that builds the program with its neighbours.
#   TARGET      the program's target name, where two folders have programs of one name.
#   LOCKS       resources the test holds alone (RESOURCE_LOCK): tests that name one never
#               run side by side.
#   PROPERTIES  further test properties of one value each (SKIP_RETURN_CODE, ...).
# TIMEOUT is 120 s unless given.
function(ovra_add_test name)
  cmake_parse_arguments(ARG "PRELOAD;OFFSCREEN;PLAIN" "TIMEOUT;GROUP;TARGET"
                        "SOURCES;LIBS;INCLUDES;LABELS;LOCKS;ENVIRONMENT;PROPERTIES;COMMAND" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  set(env ${ARG_ENVIRONMENT})
  if(ARG_OFFSCREEN)
    list(APPEND env "QT_QPA_PLATFORM=offscreen")
  endif()
  if(ARG_COMMAND)
    add_test(NAME ${name} COMMAND ${ARG_COMMAND})
  else()
    string(REGEX REPLACE "^[^.]*\\." "" program ${name})
    if(NOT ARG_SOURCES)
      set(ARG_SOURCES ${program}.cpp)
    endif()
    if(ARG_TARGET)
      set(program ${ARG_TARGET})
    endif()
    add_executable(${program} ${ARG_SOURCES})
    target_link_libraries(${program} PRIVATE ${ARG_LIBS})
    target_include_directories(${program} PRIVATE ${ARG_INCLUDES})
    set_target_properties(${program} PROPERTIES AUTOUIC OFF)
    if(ARG_PLAIN)
      set_target_properties(${program} PROPERTIES AUTOMOC OFF AUTORCC OFF)
    endif()
    if(ARG_GROUP)
      add_dependencies(${ARG_GROUP} ${program})
    endif()
    if(ARG_PRELOAD)
      add_test(NAME ${name} COMMAND ${UMOCKDEV_WRAPPER} $<TARGET_FILE:${program}>)
      # The umockdev preload library comes before the sanitizer runtime.
      if(OVRA_SANITIZE)
        list(APPEND env "ASAN_OPTIONS=verify_asan_link_order=0")
      endif()
    else()
      add_test(NAME ${name} COMMAND ${program})
    endif()
  endif()
  set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT ${ARG_TIMEOUT} ${ARG_PROPERTIES})
  if(env)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}")
  endif()
  if(ARG_LOCKS)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${ARG_LOCKS}")
  endif()
endfunction()
