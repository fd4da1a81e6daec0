# `make package`: a Debian package of what `cmake --install` puts in place. Its
# dependencies come from the shared libraries the programs link (dpkg-shlibdeps), so the
# list follows the build instead of being kept by hand.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME cinvora)
set(CPACK_PACKAGE_VENDOR "The Cinvora developers")
set(CPACK_PACKAGE_CONTACT "The Cinvora developers <support@cinvora.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Video and audio converter")
set(CPACK_PACKAGE_DESCRIPTION
  "Converts a list of video and audio files to other formats and devices, a bounded\n number at a time, with a player and trim editor; cinvora-cli does the same without a window.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://cinvora.org/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The program's own libraries sit beside it in the package; dpkg-shlibdeps must not look
# for them in other packages.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/lib)
# Debug information stays in the build tree; zstd keeps packing quick.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE zstd)
include(CPack)
