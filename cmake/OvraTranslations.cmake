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
