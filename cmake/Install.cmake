# SPDX-License-Identifier: Apache-2.0
# Where `cmake --install` puts the driver: the folders of the CUPS on this
# machine, as cups-config reports them. Packagers may set each cache variable
# (and stage with DESTDIR).
find_program(TVL_CUPS_CONFIG cups-config)
set(tvl_serverbin /usr/lib/cups)
set(tvl_datadir /usr/share/cups)
if(TVL_CUPS_CONFIG)
  execute_process(COMMAND ${TVL_CUPS_CONFIG} --serverbin
    OUTPUT_VARIABLE tvl_serverbin OUTPUT_STRIP_TRAILING_WHITESPACE)
  execute_process(COMMAND ${TVL_CUPS_CONFIG} --datadir
    OUTPUT_VARIABLE tvl_datadir OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()

set(TVL_CUPS_SERVERBIN "${tvl_serverbin}" CACHE PATH
  "CUPS's program folder (cups-config --serverbin)")
set(TVL_CUPS_DATADIR "${tvl_datadir}" CACHE PATH
  "CUPS's data folder (cups-config --datadir)")
set(TVL_INSTALL_FILTERDIR "${TVL_CUPS_SERVERBIN}/filter" CACHE PATH
  "Where the filter rastertoTvlLabel is installed")
set(TVL_INSTALL_PPDDIR "${TVL_CUPS_DATADIR}/model/tavelin" CACHE PATH
  "Where the PPDs are installed (a folder that cups-driverd lists)")
set(TVL_INSTALL_MIMEDIR "${TVL_CUPS_DATADIR}/mime" CACHE PATH
  "Where the MIME type of native printer-command files is installed")

# cupsd runs only filters that are not writable by group or others.
install(TARGETS rastertoTvlLabel
  RUNTIME DESTINATION ${TVL_INSTALL_FILTERDIR}
  PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
              GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# A Debian package of the same files, the printer application and its
# systemd service included: cpack -G DEB in the build folder. Its scripts
# restart cupsd, which reads MIME types only when it starts, and tell
# systemd about the service.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavelin-label-driver)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "CUPS driver for Tavelin thermal label printers")
set(CPACK_PACKAGE_CONTACT "Tavelin label driver maintainers <root@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "cups-daemon")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${PROJECT_SOURCE_DIR}/cmake/deb/postinst
  ${PROJECT_SOURCE_DIR}/cmake/deb/prerm
  ${PROJECT_SOURCE_DIR}/cmake/deb/postrm)
include(CPack)
