# Run by CPack on its staging tree just before it packs (CPACK_PRE_BUILD_SCRIPTS). dpkg
# creates a folder the system lacks with the mode the package gives it, and the folders
# that the installation made on its way to the files (/opt/ovra, /etc/sane.d, the icon
# theme's, ...) have the mode the umask of whoever built the package left them: 0700
# under umask 077, which would shut the desktop user out of the suite. They get 0755;
# the install root's own folders keep the modes the install rules gave them.
set(stage "${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
string(REGEX REPLACE "/+$" "" root "${stage}${CPACK_INSTALL_PREFIX}")
file(GLOB_RECURSE entries LIST_DIRECTORIES true "${stage}/*")
set(folders "")
foreach(entry IN LISTS entries)
  string(FIND "${entry}/" "${root}/" at)
  if(IS_DIRECTORY "${entry}" AND NOT IS_SYMLINK "${entry}" AND NOT at EQUAL 0)
    list(APPEND folders "${entry}")
  endif()
endforeach()
if(folders)
  file(CHMOD ${folders} DIRECTORY_PERMISSIONS
       OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endif()
