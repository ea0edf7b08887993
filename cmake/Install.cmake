# Installation like any Linux desktop program, and a Debian package:
#   cmake --install build --prefix /usr/local
#   cd build && cpack -G DEB
include(GNUInstallDirs)

foreach(program velmora velmora-cli velmora-devsim)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

if(TARGET velmora)
  install(FILES ${PROJECT_SOURCE_DIR}/res/velmora.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/res/icons/velmora.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
endif()

# Man pages, compressed as Debian expects them.
find_program(GZIP_PROGRAM gzip)
set(man_sources velmora.1 velmora-cli.1 velmora-devsim.1)
set(man_outputs)
foreach(page IN LISTS man_sources)
  set(source ${PROJECT_SOURCE_DIR}/docs/man/${page})
  if(EXISTS ${source} AND GZIP_PROGRAM)
    set(output ${PROJECT_BINARY_DIR}/man/${page}.gz)
    add_custom_command(OUTPUT ${output}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
      COMMAND ${GZIP_PROGRAM} -9 -n -c ${source} > ${output}
      DEPENDS ${source} VERBATIM)
    list(APPEND man_outputs ${output})
  endif()
endforeach()
if(man_outputs)
  add_custom_target(velmora_man ALL DEPENDS ${man_outputs})
  install(FILES ${man_outputs} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# What Debian asks of every package: the copyright in its machine-readable
# format and the changelog, compressed, in the package's doc folder.
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/velmora)
install(FILES ${PROJECT_SOURCE_DIR}/res/debian/copyright DESTINATION ${doc_dir})
if(GZIP_PROGRAM)
  set(changelog ${PROJECT_BINARY_DIR}/doc/changelog.gz)
  add_custom_command(OUTPUT ${changelog}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/doc
    COMMAND ${GZIP_PROGRAM} -9 -n -c ${PROJECT_SOURCE_DIR}/res/debian/changelog > ${changelog}
    DEPENDS ${PROJECT_SOURCE_DIR}/res/debian/changelog VERBATIM)
  add_custom_target(velmora_changelog ALL DEPENDS ${changelog})
  install(FILES ${changelog} DESTINATION ${doc_dir})
endif()

set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR "Velmora")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Configuration tool for serial/network gateways (设备配置工具)")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Velmora developers <dev@velmora.invalid>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Velmora developers <dev@velmora.invalid>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The windows show Chinese texts: a CJK font must be there.
# Qt's own dialogs and buttons in Chinese come from its translations.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-zenhei | fonts-noto-cjk | fonts-wqy-microhei, qt6-translations-l10n")
# The Ansible collection runs on ansible-core; the programs do not need it.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "ansible-core")
set(CPACK_PACKAGE_DESCRIPTION "Connects to one device over a serial port or TCP, reads its configuration,
edits it on tabbed pages, writes it back, and saves it as a .vmc file.
Includes velmora-cli for scripts, velmora-devsim, a simulated device, and
the Ansible collection velmora.gateway.")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
include(CPack)

# The Wireshark dissector where Debian's Wireshark looks for Lua plugins of
# every version (tshark -G folders: "Global Lua Plugins"); under a prefix
# other than /usr, Wireshark needs -X lua_script:FILE instead.
# The multiarch folder whatever the prefix, so the package puts it there too.
if(CMAKE_LIBRARY_ARCHITECTURE)
  set(wireshark_lua_dir lib/${CMAKE_LIBRARY_ARCHITECTURE}/wireshark/plugins)
else()
  set(wireshark_lua_dir ${CMAKE_INSTALL_LIBDIR}/wireshark/plugins)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/res/wireshark/velmora.lua DESTINATION ${wireshark_lua_dir})

# The Ansible collection velmora.gateway where ansible-core looks for
# collections system-wide (COLLECTIONS_PATHS: ~/.ansible/collections and
# /usr/share/ansible/collections); under another prefix, point
# ANSIBLE_COLLECTIONS_PATH at PREFIX/share/ansible/collections.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/ansible/ansible_collections/velmora/gateway/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/ansible/collections/ansible_collections/velmora/gateway
        PATTERN "__pycache__" EXCLUDE
        PATTERN "output" EXCLUDE
        PATTERN "*.pyc" EXCLUDE
        PATTERN ".gitignore" EXCLUDE)
install(FILES ${PROJECT_SOURCE_DIR}/ansible/examples/inventory.yml ${PROJECT_SOURCE_DIR}/ansible/examples/site.yml
        DESTINATION ${doc_dir}/examples/ansible)
