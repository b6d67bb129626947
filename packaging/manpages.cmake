# Man pages of the installed programs and tools, made at build time by help2man from
# their --help and --version, and the tools' links in /usr/bin. Included from
# packaging/CMakeLists.txt once every program's target exists.

set(OVRA_MAN_DIR "/usr/share/man" CACHE PATH "Where the man pages are installed")
set(OVRA_LINK_DIR "/usr/bin" CACHE PATH "Where the tools' links are installed")
# The tools a user runs from a shell (the README asks for their output in a bug report;
# ovra-check says what is wrong with a desk).
set(OVRA_LINKED_TOOLS ovra-status ovra-decode ovra-check)

foreach(tool ${OVRA_LINKED_TOOLS})
  if(TARGET ${tool})
    install(TARGETS ${tool} RUNTIME DESTINATION bin)
  endif()
endforeach()
install(CODE "
  foreach(tool ${OVRA_LINKED_TOOLS})
    set(link \"\$ENV{DESTDIR}${OVRA_LINK_DIR}/\${tool}\")
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}${OVRA_LINK_DIR}\")
    file(CREATE_LINK \"${OVRA_BIN}/\${tool}\" \"\${link}\" SYMBOLIC)
  endforeach()
")

# The sanitizer and fuzz builds are for tests only: no man pages (help2man would run
# the instrumented programs).
if(OVRA_SANITIZE OR OVRA_TSAN OR OVRA_FUZZ)
  return()
endif()
find_program(HELP2MAN help2man REQUIRED)

set(man_build ${CMAKE_CURRENT_BINARY_DIR}/man)
set(man_include ${CMAKE_CURRENT_SOURCE_DIR}/man/programs.h2m)
set(man_pages "")
# ovra_man_page(TARGET PAGE SECTION "what it is"): PAGE.SECTION.gz from TARGET's --help.
function(ovra_man_page target page section what)
  set(out ${man_build}/man${section}/${page}.${section})
  add_custom_command(OUTPUT ${out}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${man_build}/man${section}
    COMMAND ${HELP2MAN} --no-info --section=${section} --name=${what} --include=${man_include}
            --output=${out} $<TARGET_FILE:${target}>
    COMMAND gzip -9nf ${out}
    DEPENDS ${target} ${man_include}
    COMMENT "Man page ${page}(${section})"
    VERBATIM)
  install(FILES ${out}.gz DESTINATION ${OVRA_MAN_DIR}/man${section})
  set(man_pages ${man_pages} ${out}.gz PARENT_SCOPE)
endfunction()

# target, page, section, what it is; a program left out of the build has no page.
set(pages
  "OvraPrintService|OvraPrintService|8|printer status service of the Ovra printers"
  "OvraScanDaemon|OvraScanDaemon|8|scan daemon of the Ovra multifunction printers"
  "OvraPrinterTool|OvraPrinterTool|1|tray status monitor of the Ovra printers"
  "OvraPrintSetting|OvraPrintSetting|1|printer settings tool of the Ovra printers"
  "OvraFWUpdate|ovraK246FW|1|firmware update helper of the Ovra USB printers"
  "ovra-status|ovra-status|1|the Ovra printers and their states as the tray monitor reads them"
  "ovra-decode|ovra-decode|1|what the Ovra suite reads from printer status responses"
  "ovra-check|ovra-check|1|checks a desk whose Ovra printers or scanners do not work")
foreach(entry IN LISTS pages)
  string(REPLACE "|" ";" fields "${entry}")
  list(GET fields 0 target)
  list(GET fields 1 page)
  list(GET fields 2 section)
  list(GET fields 3 what)
  if(TARGET ${target})
    ovra_man_page(${target} ${page} ${section} "${what}")
  endif()
endforeach()
add_custom_target(ovra_man_pages ALL DEPENDS ${man_pages})
