# `make package`: a Debian package of what `cmake --install` puts in place, with nothing
# lintian objects to (the test desktop.package runs it). Its dependencies come from the
# shared libraries the programs link (dpkg-shlibdeps), so the list follows the build
# instead of being kept by hand.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME cinvora)
set(CPACK_PACKAGE_VENDOR "The Cinvora developers")
set(CPACK_PACKAGE_CONTACT "The Cinvora developers <support@cinvora.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Video and audio converter")
set(CPACK_PACKAGE_DESCRIPTION
  "Converts a list of video and audio files to other formats and devices, a
bounded number at a time, with a player and a trim editor. The command line
program cinvora-cli does the same without a window.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://cinvora.org/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The program's own libraries sit in its private folder; dpkg-shlibdeps must not look for
# them in other packages.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
# Nothing links Qt's Wayland platform plugin: Qt loads it by name on a Wayland session, so
# dpkg-shlibdeps cannot find it. The libraries found are added to this list.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-wayland")
# Debug information stays in the build tree.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

# The licence (the metainfo's project_license, GPL-3.0-or-later) in Debian's
# machine-readable form, and the package's changelog, whose first entry must be this
# version's.
set(CINVORA_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/cinvora)
install(FILES ${PROJECT_SOURCE_DIR}/resources/debian/copyright DESTINATION ${CINVORA_DOCDIR})
file(READ ${PROJECT_SOURCE_DIR}/resources/debian/changelog CINVORA_CHANGELOG_TOP LIMIT 200)
string(REGEX MATCH "^[^\n]*" CINVORA_CHANGELOG_TOP "${CINVORA_CHANGELOG_TOP}")
if(NOT CINVORA_CHANGELOG_TOP MATCHES "^cinvora \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "resources/debian/changelog begins with \"${CINVORA_CHANGELOG_TOP}\": its first entry "
                      "must be for version ${PROJECT_VERSION}, the project's (add one on top)")
endif()
cinvora_install_gzipped(${PROJECT_SOURCE_DIR}/resources/debian/changelog ${CINVORA_DOCDIR})
include(CPack)
