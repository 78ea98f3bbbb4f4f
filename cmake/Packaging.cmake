# Install layout and the Debian package.
#   bin/khgl                                  the program
#   lib/<multiarch>/khgl/khgl_text.so         its text rules for other SQLite programs
#   share/khgl/                               its pictures, guide and Qt catalogue (found as
#                                             ../share/khgl from bin/)
#   share/applications/, share/metainfo/      menu entry and AppStream metadata
#   share/icons/hicolor/<size>/apps/khgl.png  the leaf icon
#   share/doc/khgl/, share/man/man1/          copyright, changelog, manual page
# The program finds its pictures relative to its own executable, so the layout must keep bin/
# and share/ side by side; any prefix works.
set(KHGL_APP_ID cn.lichuan_shop.khgl)
set(KHGL_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

file(GLOB KHGL_PICTURES CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/assets/*.dll ${PROJECT_SOURCE_DIR}/assets/*.ico
  ${PROJECT_SOURCE_DIR}/assets/*.html)
install(FILES ${KHGL_PICTURES} DESTINATION share/khgl)
install(FILES ${KHGL_PACKAGING_DIR}/${KHGL_APP_ID}.desktop DESTINATION share/applications)
install(FILES ${KHGL_PACKAGING_DIR}/${KHGL_APP_ID}.metainfo.xml DESTINATION share/metainfo)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/assets/icons/khgl-${size}.png
    DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME khgl.png)
endforeach()

# Debian wants its copyright file, and the changelog and manual page compressed without a
# time stamp.
find_program(KHGL_GZIP gzip REQUIRED)
set(KHGL_CHANGELOG ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian.gz)
set(KHGL_MANUAL ${CMAKE_CURRENT_BINARY_DIR}/khgl.1.gz)
add_custom_command(OUTPUT ${KHGL_CHANGELOG}
  COMMAND ${KHGL_GZIP} -9nc ${KHGL_PACKAGING_DIR}/changelog > ${KHGL_CHANGELOG}
  DEPENDS ${KHGL_PACKAGING_DIR}/changelog VERBATIM)
add_custom_command(OUTPUT ${KHGL_MANUAL}
  COMMAND ${KHGL_GZIP} -9nc ${KHGL_PACKAGING_DIR}/khgl.1 > ${KHGL_MANUAL}
  DEPENDS ${KHGL_PACKAGING_DIR}/khgl.1 VERBATIM)
add_custom_target(khgl_package_docs ALL DEPENDS ${KHGL_CHANGELOG} ${KHGL_MANUAL})
install(FILES ${KHGL_PACKAGING_DIR}/copyright ${KHGL_CHANGELOG} DESTINATION share/doc/khgl)
install(FILES ${KHGL_MANUAL} DESTINATION share/man/man1)

set(CPACK_PACKAGE_NAME khgl)
set(CPACK_PACKAGE_VENDOR "栎川电子商务")
set(CPACK_PACKAGE_CONTACT "栎川电子商务 <support@lichuan-shop.cn>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "back-office manager for a small online shop")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "栎川电子商务管理系统 keeps a small online shop's customer purchase records,\n"
  "mail to customers, goods bought and sold, stock, reminders with music and\n"
  "sales charts, for one operator at one desk. The interface is Chinese.\n"
  "The shop's data lives in ~/.local/share/khgl/ (khgl.dll, an SQLite file).")
set(CPACK_PACKAGE_INSTALL_DIRECTORY khgl)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.lichuan-shop.cn)
# The libraries come from the executable's own links; what it loads at run time does not show
# there: the GStreamer plugins that play WAV and MP3, Qt's Chinese dialog texts, a CJK font.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, qt6-translations-l10n, fonts-wqy-microhei | fonts-noto-cjk | fonts-wqy-zenhei")
set(CPACK_GENERATOR DEB)
include(CPack)
