# Where `cmake --install` and the Debian package put the programs, the icon and the
# desktop entry. quorvcli and quorvbatch find quorv-pdf2swf beside themselves, so all
# programs share bin.
include(GNUInstallDirs)

install(TARGETS Quorvane quorvcli quorvbatch quorvofficed quorv-pdf2swf quorv-pdf2ofd
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The office service as a systemd user unit; the user enables it.
install(FILES ${PROJECT_SOURCE_DIR}/data/quorvoffice.service
        DESTINATION lib/systemd/user)
# The desktop entry's command: runs Quorvane in the user's settings folder.
install(PROGRAMS ${PROJECT_SOURCE_DIR}/data/quorvane-launcher.sh
        DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME quorvane)
install(FILES ${PROJECT_SOURCE_DIR}/data/quorvane.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 32 48 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/data/icons/quorvane-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME quorvane.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/data/icons/quorvane.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The licence, and the licences of what the package links, starts and draws with.
install(FILES ${PROJECT_SOURCE_DIR}/data/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorvane)

# cpack -G DEB: quorvane_<version>_<arch>.deb installing under /usr.
set(CPACK_PACKAGE_NAME quorvane)
set(CPACK_PACKAGE_VENDOR Quorvane)
set(CPACK_PACKAGE_CONTACT "Quorvane developers <quorvane@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Batch converter of Word and Excel documents to PDF, XPS and SWF")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/COPYING)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# Libraries the binaries link come from dpkg-shlibdeps; what they start or load by name
# (LibreOffice, Ghostscript, the Qt platform plugin and translations, fonts) is listed.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libreoffice-writer, libreoffice-calc, libreoffice-impress, bubblewrap, ghostscript, poppler-data, qt6-qpa-plugins, qt6-translations-l10n, fonts-noto-cjk, fonts-liberation, fonts-crosextra-carlito, fonts-crosextra-caladea, fonts-lxgw-wenkai")
# The FangSong stand-in comes with TeX Live's Chinese fonts; a converter without it draws
# FangSong paragraphs in the sans face, so it is recommended, not required.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "texlive-lang-chinese")
include(CPack)
