# Where an installation puts things (GNUInstallDirs), known before the targets are made:
# the program finds its shipped files through KALVIRA_SHARE_FROM_BIN, the shipped folder
# relative to the folder of its executable. The install rules themselves are in
# KalviraPackage.cmake, read after every target exists.
include(GNUInstallDirs)

set(KALVIRA_APP_ID "org.example.kalvira.Kalvira")
set(KALVIRA_SHARE_DIR "${CMAKE_INSTALL_DATADIR}/kalvira")
file(RELATIVE_PATH KALVIRA_SHARE_FROM_BIN "${CMAKE_INSTALL_FULL_BINDIR}"
     "${CMAKE_INSTALL_FULL_DATADIR}/kalvira")
