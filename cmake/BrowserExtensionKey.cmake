# The browser extension's signing key, and what follows from it at configure time: the
# extension id, which every file naming the extension is written with (the host manifests, the
# external-extension listing, the agent's installer), and the manifest the build packs, with the
# key's public half and the address browsers ask for updates. The committed key is a
# development key whose private half anyone can read: a Production build refuses it.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(HOURLOOM_DEVELOPMENT_EXTENSION_KEY ${PROJECT_SOURCE_DIR}/browser/keys/development.pem)
set(HOURLOOM_EXTENSION_KEY ${HOURLOOM_DEVELOPMENT_EXTENSION_KEY} CACHE FILEPATH "RSA key (PEM) that signs the browser extension")
set(HOURLOOM_EXTENSION_UPDATE_URL "" CACHE STRING "Update manifest address of the packed extension for Chromium-family browsers")

if(HOURLOOM_ENVIRONMENT STREQUAL "Production")
  file(REAL_PATH ${HOURLOOM_EXTENSION_KEY} key_path)
  file(REAL_PATH ${HOURLOOM_DEVELOPMENT_EXTENSION_KEY} development_key_path)
  if(key_path STREQUAL development_key_path)
    message(FATAL_ERROR "A Production build does not sign the browser extension with the development key "
                        "(browser/keys/development.pem, public to anyone): pass the release's own with -DHOURLOOM_EXTENSION_KEY=<pem>.")
  endif()
  if(HOURLOOM_EXTENSION_UPDATE_URL STREQUAL "")
    message(FATAL_ERROR "A Production build needs -DHOURLOOM_EXTENSION_UPDATE_URL=<https address of the release's update manifest>, "
                        "or browsers look for the extension's updates in their own store.")
  endif()
endif()

execute_process(COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/browser/pack_extension.py --describe --key ${HOURLOOM_EXTENSION_KEY}
                OUTPUT_VARIABLE key_description OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE key_failed ERROR_VARIABLE key_error)
if(key_failed)
  message(FATAL_ERROR "The browser extension's key ${HOURLOOM_EXTENSION_KEY} cannot be read: ${key_error}")
endif()
separate_arguments(key_description UNIX_COMMAND "${key_description}")
list(GET key_description 0 HOURLOOM_EXTENSION_ID)
list(GET key_description 1 extension_public_key)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${HOURLOOM_EXTENSION_KEY} ${PROJECT_SOURCE_DIR}/browser/extension/manifest.json)

file(READ ${PROJECT_SOURCE_DIR}/browser/extension/manifest.json extension_manifest)
string(JSON extension_manifest SET "${extension_manifest}" key "\"${extension_public_key}\"")
if(NOT HOURLOOM_EXTENSION_UPDATE_URL STREQUAL "")
  string(JSON extension_manifest SET "${extension_manifest}" update_url "\"${HOURLOOM_EXTENSION_UPDATE_URL}\"")
endif()
set(HOURLOOM_EXTENSION_MANIFEST ${CMAKE_BINARY_DIR}/browser/manifest.json)
file(CONFIGURE OUTPUT ${HOURLOOM_EXTENSION_MANIFEST} CONTENT "${extension_manifest}\n" @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/src/platform/services/browser/BrowserExtensionId.h.in
               ${CMAKE_BINARY_DIR}/generated/platform/services/browser/BrowserExtensionId.h @ONLY)
