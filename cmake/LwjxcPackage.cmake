# Installation and the Debian package:
#   cmake --build <dir> --target package  ->  lwjxc_<version>_amd64.deb
# The program and the demo-data generator in /usr/bin, the menu entry, the
# suitcase icon (SVG, and PNGs rendered from it with
# `rsvg-convert -w N -h N lwjxc.svg`) and the AppStream metainfo.

install(TARGETS lwjxc RUNTIME DESTINATION bin)
if(TARGET lwjxc-datagen)
    install(TARGETS lwjxc-datagen RUNTIME DESTINATION bin)
endif()
install(FILES ${CMAKE_SOURCE_DIR}/packaging/com.velmora.lwjxc.desktop DESTINATION share/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/com.velmora.lwjxc.metainfo.xml DESTINATION share/metainfo)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/icons/hicolor DESTINATION share/icons)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lwjxc)
set(CPACK_PACKAGE_VENDOR Velmora)
set(CPACK_PACKAGE_CONTACT "Velmora <support@velmora.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "岚蔚箱包销售管理软件 - purchase, sales and stock manager for a bag shop")
set(CPACK_PACKAGE_DESCRIPTION
    "A counter program for a shop that sells suitcases, backpacks and bags: stock, sales with receipts, "
    "reports, exports and backups, on SQLite or a shared PostgreSQL server. Chinese user interface.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://velmora.invalid/lwjxc")
# Depends from the shared libraries the binaries link (dpkg-shlibdeps), plus
# what is loaded at run time and so invisible to it: the database drivers,
# Qt's Chinese texts and a font with Chinese glyphs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, libqt6sql6-psql, qt6-translations-l10n, fonts-noto-cjk, fonts-wqy-microhei, fonts-arphic-uming")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-user-dirs")
include(CPack)
