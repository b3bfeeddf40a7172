# Installation and the Debian package. The agent's folder is its bundle: the executable, its
# configuration document, the browser host and the unpacked extension sit together under
# lib/hourloom; bin/hourloom links to it (the agent finds Info.json beside its real path).
# A desktop application belongs under /usr; the browser manifests name the host by this prefix,
# so choose another one at configure time (-DCMAKE_INSTALL_PREFIX=...), not at install time.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX /usr CACHE PATH "Installation prefix" FORCE)
endif()
include(GNUInstallDirs)

set(HOURLOOM_BUNDLE_DIR lib/hourloom)
set(HOURLOOM_HOST_PATH ${CMAKE_INSTALL_PREFIX}/${HOURLOOM_BUNDLE_DIR}/hourloom-browser-host)

install(TARGETS hourloom hourloom-browser-host RUNTIME DESTINATION ${HOURLOOM_BUNDLE_DIR})
install(FILES ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/Info.json DESTINATION ${HOURLOOM_BUNDLE_DIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/browser/extension/ DESTINATION ${HOURLOOM_BUNDLE_DIR}/browser-extension)
# Its manifest as the build wrote it, with the signing key's public half and the update address.
install(FILES ${HOURLOOM_EXTENSION_MANIFEST} DESTINATION ${HOURLOOM_BUNDLE_DIR}/browser-extension)
install(CODE "file(MAKE_DIRECTORY \"\$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  file(CREATE_LINK ../${HOURLOOM_BUNDLE_DIR}/hourloom \"\$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/hourloom\" SYMBOLIC)")
install(FILES ${PROJECT_SOURCE_DIR}/packaging/hourloom.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The GNOME Shell extension: both forms beside the agent, where --install-gnome-extension takes the
# one the user's shell loads; and the form of this release's shell in the system's extensions
# folder, for every user: a shell finds it there at login, so each user enables it once
# (hourloom --install-gnome-extension does, or the Extensions application) without logging in again.
install(DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/gnome-extension DESTINATION ${HOURLOOM_BUNDLE_DIR})
if(HOURLOOM_GNOME_EXTENSION_PACKAGE_FORM)
  install(DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/gnome-extension/${HOURLOOM_GNOME_EXTENSION_PACKAGE_FORM}/
          DESTINATION ${CMAKE_INSTALL_DATADIR}/gnome-shell/extensions)
endif()

# The browsers' system-wide native-messaging folders, so the extension finds its host for every user.
configure_file(${PROJECT_SOURCE_DIR}/packaging/chromium-host.json.in ${CMAKE_BINARY_DIR}/packaging/chromium/org.hourloom.browser_bridge.json @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/firefox-host.json.in ${CMAKE_BINARY_DIR}/packaging/firefox/org.hourloom.browser_bridge.json @ONLY)
foreach(folder /etc/chromium/native-messaging-hosts /etc/opt/chrome/native-messaging-hosts
               /etc/opt/edge/native-messaging-hosts /etc/brave/native-messaging-hosts)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/chromium/org.hourloom.browser_bridge.json DESTINATION ${folder})
endforeach()
install(FILES ${CMAKE_BINARY_DIR}/packaging/firefox/org.hourloom.browser_bridge.json DESTINATION lib/mozilla/native-messaging-hosts)

# The packed extension, and the files that make Chromium-family browsers install it at their next
# start. Chrome and Edge read one <id>.json per extension from their folder of external
# extensions. Debian's Chromium starts with --load-extension for every entry of its folder
# (/etc/chromium.d/extensions), so an entry there is an unpacked extension, not a listing.
# Firefox needs an enterprise policy instead, which stays the administrator's choice: the
# package ships one beside the extension (README, "Browser bridge").
install(FILES ${HOURLOOM_EXTENSION_CRX} ${HOURLOOM_EXTENSION_XPI} DESTINATION ${HOURLOOM_BUNDLE_DIR})
string(JSON HOURLOOM_EXTENSION_VERSION GET "${extension_manifest}" version)
set(HOURLOOM_EXTENSION_CRX_PATH ${CMAKE_INSTALL_PREFIX}/${HOURLOOM_BUNDLE_DIR}/hourloom-browser-bridge.crx)
set(HOURLOOM_EXTENSION_XPI_PATH ${CMAKE_INSTALL_PREFIX}/${HOURLOOM_BUNDLE_DIR}/hourloom-browser-bridge.xpi)
configure_file(${PROJECT_SOURCE_DIR}/packaging/chromium-external-extension.json.in
               ${CMAKE_BINARY_DIR}/packaging/chromium/${HOURLOOM_EXTENSION_ID}.json @ONLY)
# A release's XPI is signed by Mozilla (unlisted signing, README "Browser bridge"); only a
# development build, whose XPI nobody signed, turns Firefox's signature check off.
set(HOURLOOM_FIREFOX_UNSIGNED_PREFERENCE "")
if(NOT HOURLOOM_ENVIRONMENT STREQUAL "Production")
  set(HOURLOOM_FIREFOX_UNSIGNED_PREFERENCE ",\n    \"Preferences\": {\n      \"xpinstall.signatures.required\": {\"Value\": false, \"Status\": \"locked\"}\n    }")
endif()
configure_file(${PROJECT_SOURCE_DIR}/packaging/firefox-policies.json.in ${CMAKE_BINARY_DIR}/packaging/firefox/policies.json @ONLY)
foreach(folder google-chrome microsoft-edge)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/chromium/${HOURLOOM_EXTENSION_ID}.json DESTINATION ${CMAKE_INSTALL_DATADIR}/${folder}/extensions)
endforeach()
install(CODE "file(MAKE_DIRECTORY \"\$ENV{DESTDIR}${CMAKE_INSTALL_FULL_DATADIR}/chromium/extensions\")
  file(CREATE_LINK ${CMAKE_INSTALL_PREFIX}/${HOURLOOM_BUNDLE_DIR}/browser-extension
       \"\$ENV{DESTDIR}${CMAKE_INSTALL_FULL_DATADIR}/chromium/extensions/hourloom-browser-bridge\" SYMBOLIC)")
install(FILES ${CMAKE_BINARY_DIR}/packaging/firefox/policies.json DESTINATION ${CMAKE_INSTALL_DATADIR}/hourloom/firefox)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME hourloom)
set(CPACK_PACKAGE_VENDOR "Hourloom")
set(CPACK_PACKAGE_CONTACT "Hourloom <support@hourloom.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop time-tracking agent in the tray")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its plugins at run time, so the shared-library dependencies never see them: without the
# SVG icon engine the tray icon is empty, without the xcb platform nothing shows at all, without
# the TLS backend no upload reaches an https:// service. The package depends on the packages that
# hold them on the building release (Debian 13 moved the SVG plugins into a package of their own).
set(hourloom_runtime_plugins iconengines/libqsvgicon.so imageformats/libqsvg.so platforms/libqxcb.so
                             tls/libqopensslbackend.so)
set(hourloom_plugin_packages "")
find_program(HOURLOOM_DPKG_QUERY dpkg-query)
foreach(plugin ${hourloom_runtime_plugins})
  if(NOT HOURLOOM_DPKG_QUERY)
    break()
  endif()
  execute_process(COMMAND ${HOURLOOM_DPKG_QUERY} --search "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_PLUGINS}/${plugin}"
                  OUTPUT_VARIABLE owner RESULT_VARIABLE status ERROR_QUIET)
  if(status EQUAL 0)
    string(REGEX REPLACE ":.*" "" owner "${owner}")
    list(APPEND hourloom_plugin_packages ${owner})
  else()
    message(WARNING "No installed package holds Qt's ${plugin}: the Debian package will not depend on it "
                    "(scripts/bootstrap installs it)")
  endif()
endforeach()
list(REMOVE_DUPLICATES hourloom_plugin_packages)
list(JOIN hourloom_plugin_packages ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
