# The Debian package: `cmake --build <build> --target package` writes
# ovra-printer-k246_<version>_<arch>.deb into the build folder.
# Included from the top-level CMakeLists.txt after add_subdirectory(packaging), whose
# generated maintainer scripts it packs.

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "${OVRA_PACKAGE_NAME}")
set(CPACK_PACKAGE_VENDOR "Ovra")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "Ovra printer support <support@ovra.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Support suite for Ovra K246 laser printers and multifunction printers")
set(CPACK_PACKAGE_DESCRIPTION "Print service with printer status over USB and network, tray status monitor,
printer settings tool, firmware update helper and scan daemon for the Ovra
laser printers and multifunction printers. Installed under
/opt/ovra/ovra-printer-k246/.")

# The units, the udev rule and the menu entries have absolute destinations: the staging
# install goes through DESTDIR, so that every file lands inside the package and the
# prefix stays the install root.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
# The programs go without their debugging symbols, as in any Debian package.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://ovra.invalid/")
# The shared libraries (Qt 5, libusb 1.0, libcups, the C++ runtime) come from dpkg-shlibdeps;
# the rest are programs the suite runs: cancel (cups-client), ps (procps), and
# deb-systemd-helper for the maintainer scripts (init-system-helpers).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "cups-client, procps, init-system-helpers (>= 1.52)")
# The SANE backend is loaded by the SANE library's dll backend.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "cups, libsane1")
set(OVRA_DEBIAN_SCRIPTS "${CMAKE_BINARY_DIR}/packaging/generated/debian")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    "${OVRA_DEBIAN_SCRIPTS}/postinst;${OVRA_DEBIAN_SCRIPTS}/prerm;${OVRA_DEBIAN_SCRIPTS}/postrm;${OVRA_DEBIAN_SCRIPTS}/conffiles")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
# The folders on the way to the files are readable by everyone, whatever the umask.
set(CPACK_PRE_BUILD_SCRIPTS "${PROJECT_SOURCE_DIR}/packaging/folder-modes.cmake")
# It does not own /opt, which purging it would otherwise remove.
set(CPACK_POST_BUILD_SCRIPTS "${PROJECT_SOURCE_DIR}/packaging/unown-opt.cmake")

include(CPack)
