# The Debian package: `cpack -G DEB` in a build folder gives velmora_<version>_<arch>.deb
# with what `cmake --install` installs. Library dependencies come from dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "photo screen saver: your pictures tile by tile through 31 image effects")
set(CPACK_PACKAGE_DESCRIPTION "Velmora shows the pictures of a folder full screen, cut into 8 x 6 tiles; one
tile at a time goes through an image effect and turns over like a card. It runs
as a display hack of XScreenSaver (pick Velmora in its settings) or on its own.")
set(CPACK_PACKAGE_CONTACT "${VELMORA_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_RELEASE ${VELMORA_DEB_RELEASE})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Found at run time, so dpkg-shlibdeps cannot see them: the metafile renderer draws text with
# the URW fonts, and the settings window's captions are Japanese. libheif decodes HEIC and AVIF
# through plugins that later Debian releases package apart from the library (before that the
# library holds them).
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "fonts-urw-base35, fonts-ipafont-gothic | fonts-noto-cjk | fonts-vlgothic | fonts-takao-gothic | fonts-ipaexfont-gothic, libheif-plugin-libde265 | libheif1 (<< 1.16), libheif-plugin-dav1d | libheif1 (<< 1.16)")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xscreensaver")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The autostart entry is a configuration file the administrator may edit: dpkg keeps their edits.
file(WRITE "${CMAKE_BINARY_DIR}/deb-control/conffiles" "${VELMORA_AUTOSTART_DIR}/velmora-idle.desktop\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${CMAKE_BINARY_DIR}/deb-control/conffiles")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
