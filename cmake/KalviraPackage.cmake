# The installation (cmake --install) and the Debian package (cpack -G DEB).
#
#   bin/                             kalvira, kalvira-admin, kalvira-play
#   share/kalvira/                   what ships beside the program: config.ini, templates/,
#                                    skins/, pictures/ (each listener's copy is seeded
#                                    from here into ~/.local/share/kalvira)
#   share/applications/              the desktop entry
#   share/metainfo/                  the AppStream metainfo
#   share/icons/hicolor/*/apps/      the icon, scalable and in fixed sizes
#   share/doc/kalvira/               README.md
set(kalvira_data "${PROJECT_SOURCE_DIR}/data")

install(TARGETS kalvira kalvira-admin kalvira-play RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
install(FILES "${kalvira_data}/config.ini" DESTINATION "${KALVIRA_SHARE_DIR}")
install(DIRECTORY "${kalvira_data}/templates" "${kalvira_data}/pictures"
        DESTINATION "${KALVIRA_SHARE_DIR}")
install(FILES "${PROJECT_BINARY_DIR}/app/skins/kalvira.qss"
              "${PROJECT_BINARY_DIR}/app/skins/kalvira-night.qssz"
        DESTINATION "${KALVIRA_SHARE_DIR}/skins")
install(FILES "${kalvira_data}/desktop/${KALVIRA_APP_ID}.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${kalvira_data}/desktop/${KALVIRA_APP_ID}.metainfo.xml"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
install(FILES "${kalvira_data}/kalvira.svg" RENAME "${KALVIRA_APP_ID}.svg"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
foreach(size IN LISTS KALVIRA_ICON_SIZES)
  install(FILES "${PROJECT_BINARY_DIR}/desktop/icons/${size}/${KALVIRA_APP_ID}.png"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps")
endforeach()
install(FILES "${PROJECT_SOURCE_DIR}/README.md" DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/kalvira")

# The Debian package. The libraries' packages are found by dpkg-shlibdeps; the fonts the
# windows are measured in are not linked, so they are named here.
set(CPACK_PACKAGE_NAME "kalvira")
set(CPACK_PACKAGE_VENDOR "The Kalvira developers")
set(CPACK_PACKAGE_CONTACT "The Kalvira developers <kalvira@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "intelligent radio made from your own MP3 collection")
set(CPACK_PACKAGE_DESCRIPTION
    "Kalvira sorts the MP3 files of your drives by genre into five radio stations and plays\n random tracks of the station you choose, with a chat feed of the radio's listeners.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://kalvira.example.org")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "sound")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-crosextra-carlito, fonts-wine")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "playerctl")
set(CPACK_GENERATOR "DEB")
include(CPack)
