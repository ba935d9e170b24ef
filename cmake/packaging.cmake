# What the device gets (the install component "device"): the program, the
# launcher that the device's shell starts it with, and the icon the Help text
# shows. The launcher and the icon live at fixed device paths, whatever the
# prefix. The stand-ins are not part of it.
install(PROGRAMS ${PROJECT_SOURCE_DIR}/emulator/launcher/lirro.oar
        DESTINATION /opt/vexa/arm/bin COMPONENT device)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/lirro.png
        DESTINATION /usr/share/gui_shell/apps/lirro COMPONENT device)

# The Debian package: `cpack -G DEB` in the build directory, for the
# architecture the build is for.
set(CPACK_PACKAGE_NAME lirro)
set(CPACK_PACKAGE_VENDOR lirro)
set(CPACK_PACKAGE_CONTACT "lirro developers <lirro@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "File manager for an e-ink reading device")
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};lirro;device;/")
# Staged through DESTDIR, so the fixed device paths land in the package and
# never on the machine that builds it.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
# Only lirro is packaged: installing must not build every other target first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so dpkg-shlibdeps can't see them: the SQLite driver of
# the device databases, the shell of the launcher, and the commands the
# program runs for viewing, the share and synchronising.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt5sql5-sqlite, bash")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "unzip, bsdextrautils, rsync, cifs-utils, wpasupplicant")
if(CMAKE_CROSSCOMPILING)
    # CPack would name this machine's architecture.
    execute_process(COMMAND dpkg-architecture -t ${CMAKE_LIBRARY_ARCHITECTURE} -qDEB_HOST_ARCH
                    OUTPUT_VARIABLE CPACK_DEBIAN_PACKAGE_ARCHITECTURE
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
include(CPack)
