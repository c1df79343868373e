# The Debian package: `cpack -G DEB` in the build folder packs what `cmake --install` installs, under /usr.
# Its dependencies are the packages of the shared libraries the programs link (dpkg-shlibdeps, from
# dpkg-dev), plus what the reader runs without linking it.
set(CPACK_PACKAGE_NAME velm-reader)
set(CPACK_PACKAGE_VENDOR "Velm Reader developers")
# The program's version text as it stands: "1.6.quorin" is a valid Debian version, and a native one.
set(CPACK_PACKAGE_VERSION ${VELM_PROGRAM_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "offline reader for the Velm programming forum archive")
# Lines of the long description, as the control file shows them under the summary.
set(CPACK_PACKAGE_DESCRIPTION "Velm Reader browses the offline archive of the Velm programming forum:\n\
categories, forums, topics and replies kept in a local database, shown in one\n\
window with the forum tree, the topic list and the chosen topic as a page.\n\
The archive grows by supplement packages (.VLP) merged into it. The command\n\
velm reads the same archive from a terminal and, as velm serve (also a\n\
service), serves it read-only to browsers. A demo archive is included.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(VELM_PACKAGE_MAINTAINER "Velm Reader developers <velm-reader@example.org>"
  CACHE STRING "The Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VELM_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# A window needs a platform plugin, which no program links. (QtWebEngineProcess, which the web view runs,
# comes with the web engine library's own dependencies.) Every text of the window is Chinese: without a CJK
# font it shows boxes, so one is needed, the Ming face the articles ask for first.
# The package's script makes the user of the velm-serve service with adduser where systemd-sysusers is missing.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-arphic-uming | fonts-noto-cjk | fonts-wqy-zenhei, adduser")
# Opening links outside the reader; the desktop's type and menu caches.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, shared-mime-info, desktop-file-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The user of the velm-serve service and its settings file; the service stays disabled. velm serve's HTTP
# library (Boost.Beast) is compiled in: it adds no dependency.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_SOURCE_DIR}/cmake/deb/postinst)

include(CPack)
