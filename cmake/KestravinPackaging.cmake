# Install rules and the two shipped forms of the application:
#   - a Debian package (`cpack -G DEB`), laid out in the usual system places;
#   - the portable bundle: one relocatable folder `Kestravin/`, made by the
#     target `kestravin-bundle` as Kestravin-<version>-<arch>.tar.xz (and, with
#     KESTRAVIN_SIGNING_KEY set, its Ed25519 signature beside it).
# The bundle's install rules belong to the component "bundle" and are left
# out of a plain install, so the Debian package never carries them.

include(GNUInstallDirs)

set(KESTRAVIN_DEB_UNIT_EXEC "/usr/libexec/kestravin/com.kestravin.helper")
set(kestravin_packaging_dir "${PROJECT_SOURCE_DIR}/packaging")
set(kestravin_generated_packaging "${PROJECT_BINARY_DIR}/packaging")

# The unit as packaged runs the daemon from the package's libexec folder.
file(READ "${kestravin_packaging_dir}/com.kestravin.helper.service" kestravin_unit)
string(REPLACE "/usr/local/libexec/kestravin/com.kestravin.helper" "${KESTRAVIN_DEB_UNIT_EXEC}"
    kestravin_deb_unit "${kestravin_unit}")
file(WRITE "${kestravin_generated_packaging}/deb/com.kestravin.helper.service" "${kestravin_deb_unit}")

# ---- The Debian package (plain install, prefix /usr) ----
install(TARGETS kestravin RUNTIME DESTINATION bin)
# The daemon's own rule (src/helper) puts it in libexec/kestravin.
install(FILES "${kestravin_generated_packaging}/deb/com.kestravin.helper.service"
    DESTINATION lib/systemd/system)
install(FILES "${kestravin_packaging_dir}/com.kestravin.helper.conf"
    DESTINATION share/dbus-1/system.d)
install(FILES "${kestravin_packaging_dir}/com.kestravin.helper.dbus-service"
    DESTINATION share/dbus-1/system-services RENAME com.kestravin.helper.service)
install(FILES "${kestravin_packaging_dir}/com.kestravin.app.desktop"
    DESTINATION share/applications)
install(FILES "${kestravin_packaging_dir}/com.kestravin.app.svg"
    DESTINATION share/icons/hicolor/scalable/apps)
install(FILES "${kestravin_packaging_dir}/deb/copyright"
    DESTINATION share/doc/kestravin)
string(REPLACE "-" "~" KESTRAVIN_DEB_VERSION "${PROJECT_VERSION}")
configure_file("${kestravin_packaging_dir}/deb/changelog" "${kestravin_generated_packaging}/deb/changelog" @ONLY)
add_custom_command(OUTPUT "${kestravin_generated_packaging}/deb/changelog.gz"
    COMMAND gzip -9nc "${kestravin_generated_packaging}/deb/changelog" > "${kestravin_generated_packaging}/deb/changelog.gz"
    DEPENDS "${kestravin_generated_packaging}/deb/changelog"
    VERBATIM)
add_custom_target(kestravin_deb_changelog ALL DEPENDS "${kestravin_generated_packaging}/deb/changelog.gz")
install(FILES "${kestravin_generated_packaging}/deb/changelog.gz" DESTINATION share/doc/kestravin)

# ---- The portable bundle (component "bundle", prefix = the Kestravin folder) ----
install(TARGETS kestravin com.kestravin.helper RUNTIME DESTINATION . COMPONENT bundle EXCLUDE_FROM_ALL)
install(FILES
        "${kestravin_packaging_dir}/com.kestravin.helper.service"
        "${kestravin_packaging_dir}/com.kestravin.helper.conf"
        "${kestravin_packaging_dir}/com.kestravin.helper.dbus-service"
        "${kestravin_packaging_dir}/com.kestravin.app.desktop"
        "${kestravin_packaging_dir}/com.kestravin.app-autostart.desktop"
        "${kestravin_packaging_dir}/com.kestravin.app.svg"
    DESTINATION packaging COMPONENT bundle EXCLUDE_FROM_ALL)
install(FILES "${PROJECT_SOURCE_DIR}/README.md" DESTINATION . COMPONENT bundle EXCLUDE_FROM_ALL)
# The mark by which the application knows it runs from a bundle.
file(WRITE "${kestravin_generated_packaging}/bundle/bundle.ini" "[bundle]\nversion=${PROJECT_VERSION}\n")
install(FILES "${kestravin_generated_packaging}/bundle/bundle.ini" DESTINATION . COMPONENT bundle EXCLUDE_FROM_ALL)

execute_process(COMMAND uname -m OUTPUT_VARIABLE kestravin_machine OUTPUT_STRIP_TRAILING_WHITESPACE)
set(KESTRAVIN_BUNDLE_ARCHIVE "${PROJECT_BINARY_DIR}/Kestravin-${PROJECT_VERSION}-${kestravin_machine}.tar.xz")
set(KESTRAVIN_SIGNING_KEY "" CACHE FILEPATH "Secret key file (kestravin-sign keygen) that signs the bundle archive")
set(kestravin_bundle_stage "${PROJECT_BINARY_DIR}/bundle-stage")
set(kestravin_bundle_commands
    COMMAND "${CMAKE_COMMAND}" -E rm -rf "${kestravin_bundle_stage}"
    COMMAND "${CMAKE_COMMAND}" --install "${PROJECT_BINARY_DIR}" --component bundle
        --prefix "${kestravin_bundle_stage}/Kestravin"
    COMMAND "${CMAKE_COMMAND}" -E chdir "${kestravin_bundle_stage}"
        tar --owner=0 --group=0 --numeric-owner -cJf "${KESTRAVIN_BUNDLE_ARCHIVE}" Kestravin)
if(KESTRAVIN_SIGNING_KEY)
    list(APPEND kestravin_bundle_commands
        COMMAND kestravin-sign sign "${KESTRAVIN_SIGNING_KEY}" "${KESTRAVIN_BUNDLE_ARCHIVE}"
            > "${KESTRAVIN_BUNDLE_ARCHIVE}.sig")
endif()
set(kestravin_bundle_depends kestravin com.kestravin.helper)
if(KESTRAVIN_SIGNING_KEY)
    list(APPEND kestravin_bundle_depends kestravin-sign)
endif()
add_custom_target(kestravin-bundle ${kestravin_bundle_commands}
    DEPENDS ${kestravin_bundle_depends}
    COMMENT "Making the portable bundle ${KESTRAVIN_BUNDLE_ARCHIVE}"
    VERBATIM)

# ---- CPack: the Debian package ----
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "kestravin")
set(CPACK_PACKAGE_VENDOR "Kestravin")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "Kestravin <support@kestravin.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "focus blocker for distracting sites and apps")
set(CPACK_PACKAGE_DESCRIPTION
    "Kestravin keeps distracting web sites and apps out of reach while you focus.\nA tray application and a small root daemon that writes the blocked hosts\ninto a marked section of /etc/hosts during the user's focus hours.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://kestravin.com")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "dbus, systemd, adduser")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    "${kestravin_packaging_dir}/deb/postinst"
    "${kestravin_packaging_dir}/deb/prerm"
    "${kestravin_packaging_dir}/deb/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
