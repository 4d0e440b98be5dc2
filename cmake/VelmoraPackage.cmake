# The Debian package: `cpack -G DEB` in a build folder gives velmora_<version>_<arch>.deb
# with what `cmake --install` installs. Library dependencies come from dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "photo screen saver: your pictures tile by tile through 31 image effects")
set(CPACK_PACKAGE_DESCRIPTION "Velmora shows the pictures of a folder full screen, cut into 8 x 6 tiles; one
tile at a time goes through an image effect and turns over like a card. It runs
as a display hack of XScreenSaver (pick Velmora in its settings) or on its own.")
set(CPACK_PACKAGE_CONTACT "Velmora developers <velmora@localhost>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The metafile renderer draws text with these fonts, found at run time. libheif decodes HEIC
# and AVIF through plugins that later Debian releases package apart from the library (before
# that the library holds them), which the library links do not show.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-urw-base35, libheif-plugin-libde265 | libheif1 (<< 1.16), libheif-plugin-dav1d | libheif1 (<< 1.16)")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xscreensaver")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
