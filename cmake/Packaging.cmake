# Install rules and the Debian package: the program and the files it reads beside it live in
# /usr/lib/hostvane (it finds them next to its executable), /usr/bin/hostvane links there.
set(HV_LIBDIR lib/hostvane)
set(HV_PKG ${CMAKE_SOURCE_DIR}/packaging)
set(HV_PKG_OUT ${CMAKE_BINARY_DIR}/packaging)

install(TARGETS hostvane RUNTIME DESTINATION ${HV_LIBDIR})
# The one file the package grants cap_net_raw (postinst).
install(TARGETS hostvane_icmp_helper RUNTIME DESTINATION ${HV_LIBDIR})
install(TARGETS hostvane_gui LIBRARY DESTINATION ${HV_LIBDIR}
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
install(DIRECTORY ${HV_DIST}/Languages ${HV_DIST}/skins DESTINATION ${HV_LIBDIR})
install(DIRECTORY ${CMAKE_BINARY_DIR}/help/ DESTINATION ${HV_LIBDIR}/help
        FILES_MATCHING PATTERN "*.chm")
install(FILES ${HV_DIST}/Hostvane.ini DESTINATION ${HV_LIBDIR})

file(MAKE_DIRECTORY ${HV_PKG_OUT})
file(CREATE_LINK ../lib/hostvane/hostvane ${HV_PKG_OUT}/hostvane SYMBOLIC)
install(FILES ${HV_PKG_OUT}/hostvane DESTINATION bin)

# Debian wants the manual page and the changelog compressed, reproducibly (-n: no time stamp).
add_custom_command(OUTPUT ${HV_PKG_OUT}/hostvane.1.gz ${HV_PKG_OUT}/changelog.gz
    COMMAND gzip -9nc ${HV_PKG}/hostvane.1 > ${HV_PKG_OUT}/hostvane.1.gz
    COMMAND gzip -9nc ${HV_PKG}/changelog > ${HV_PKG_OUT}/changelog.gz
    DEPENDS ${HV_PKG}/hostvane.1 ${HV_PKG}/changelog
    COMMENT "Compressing the manual page and the changelog")
add_custom_target(hv_package_docs ALL DEPENDS ${HV_PKG_OUT}/hostvane.1.gz ${HV_PKG_OUT}/changelog.gz)
install(FILES ${HV_PKG_OUT}/hostvane.1.gz DESTINATION share/man/man1)
install(FILES ${HV_PKG_OUT}/changelog.gz ${HV_PKG}/copyright DESTINATION share/doc/hostvane)

install(FILES ${HV_PKG}/org.example.Hostvane.desktop DESTINATION share/applications)
install(FILES ${HV_PKG}/org.example.Hostvane.metainfo.xml DESTINATION share/metainfo)
install(FILES ${HV_PKG}/icons/hostvane.svg DESTINATION share/icons/hicolor/scalable/apps)
foreach(side 16 22 24 32 48 64 128 256)
    install(FILES ${HV_PKG}/icons/hostvane-${side}.png
            DESTINATION share/icons/hicolor/${side}x${side}/apps RENAME hostvane.png)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME hostvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "The Hostvane developers <hostvane@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "network monitor in the notification area")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Hostvane watches a list of hosts from the notification area (the system
tray). It checks every host once per check period, with an ICMP echo for
an IPv4 address or a computer name and a TCP connection to port 80 for a
web server. When a host is lost or answers again its icon changes in the
tray menu and the host state table, a line with the time goes into the
event log, and a pop-up lists the changes.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.example.org/hostvane")
# Dependencies come from the shared libraries the program links (dpkg-shlibdeps). Qt's
# platform plugins are loaded, not linked: libqt6gui6 recommends qt6-qpa-plugins.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libcap2-bin")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${HV_PKG}/postinst ${HV_PKG}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR})
include(CPack)
