# The manual pages and the Debian package (`cpack -G DEB`, or scripts/package).

# Manual pages written from the programs' own --help after they are built.
function(vlt_man_page target template)
  if(NOT TARGET ${target})
    return()
  endif()
  set(page ${PROJECT_BINARY_DIR}/man/${target}.1.gz)
  add_custom_command(OUTPUT ${page}
                     COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${target}> -DTEMPLATE=${template}
                             -DOUT=${page} -DVERSION=${PROJECT_VERSION} -DLIBDIR=${VLT_LIBDIR} ${ARGN}
                             -P ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
                     DEPENDS ${target} ${template} ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
                     COMMENT "Writing the manual page ${target}(1)" VERBATIM)
  add_custom_target(man_${target} ALL DEPENDS ${page})
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/man)
vlt_man_page(vlt ${PROJECT_SOURCE_DIR}/docs/man/vlt.1.in -DCOMMANDS=ON)
vlt_man_page(vlt-shell ${PROJECT_SOURCE_DIR}/docs/man/vlt-shell.1.in)

# The machine hive's folder, where the code looks for it (base::machineDir): root's, and
# nobody else may write in it.
install(DIRECTORY DESTINATION /var/lib/vaultine
        DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                              WORLD_READ WORLD_EXECUTE)

# Maintainer scripts: register the shell extension after installation, unregister it before
# removal, drop the machine hive on purge.
set(VLT_BINDIR ${CMAKE_INSTALL_FULL_BINDIR})
set(scripts)
foreach(script postinst prerm postrm)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/deb/${script}.in ${PROJECT_BINARY_DIR}/packaging/${script} @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                  WORLD_READ WORLD_EXECUTE)
  list(APPEND scripts ${PROJECT_BINARY_DIR}/packaging/${script})
endforeach()

# The package's copyright file and its Debian changelog, where Debian's policy puts them (the
# folder is named after the package, not the project). The changelog is compressed without a
# time stamp, so the same tree makes the same package.
set(VLT_PACKAGE_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/vlt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/packaging/deb/changelog)
execute_process(COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/packaging/deb/changelog
                OUTPUT_FILE ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz COMMAND_ERROR_IS_FATAL ANY)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/deb/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz
        DESTINATION ${VLT_PACKAGE_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vlt)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR VLT)
set(CPACK_PACKAGE_CONTACT "VLT developers <dev@vlt>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "lock files for yourself or for another person")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "VLT locks files into .Vtf files for yourself or for a person whose certificate you hold and
unlocks them with your profile's password, from the file managers' context menu (Dolphin,
Nautilus, Nemo, Thunar, Caja), the command line (vlt) or a double click. A tray program locks
the profile again after a while, a wizard creates the profile at the first login, and an
applet keeps the profile, the certificate stores and the settings. Locked files, profile
backups and certificate files are byte-compatible with the Windows suite. A file-manager action
that fails unseen says so in a desktop notification, through notify-send when it is installed.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(TARGET vlt_frontend_qt)
  # Qt finds its display plug-ins at run time; no library names them.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
endif()
# vlt-shell's desktop notifications; without it they go through gdbus, or nowhere.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS libnotify-bin)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${scripts})
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
