# The Debian package: `cmake --build build --target package` makes kstune_<version>_<arch>.deb in
# the build folder. Included last, when every target is known.
include(GNUInstallDirs)

# Both programs print the project's version; only the files that print it are told.
foreach(pair "kstune_tool;main/CommandLine.cpp" "kstune-station;station/StationMain.cpp")
  list(GET pair 0 target)
  list(GET pair 1 source)
  if(TARGET ${target})
    set_source_files_properties(${PROJECT_SOURCE_DIR}/${source} TARGET_DIRECTORY ${target}
                                PROPERTIES COMPILE_DEFINITIONS KSTUNE_VERSION="${PROJECT_VERSION}")
  endif()
endforeach()

# Sanitizer builds are for testing only: nothing of them is packaged.
if(NOT KSTUNE_SANITIZE STREQUAL "" OR NOT TARGET kstune OR NOT TARGET kstune-station)
  return()
endif()

set(packaging ${PROJECT_SOURCE_DIR}/packaging)
set(packaging_out ${PROJECT_BINARY_DIR}/packaging)
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/kstune)

install(TARGETS kstune kstune-station RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The office bridge is loaded from /usr/lib/kstune/office at the first "...". Its libraries come from the
# office suite, which the package only recommends: without it kstune never loads the module.
if(TARGET kstune_office_module)
  install(TARGETS kstune_office_module LIBRARY DESTINATION lib/kstune/office)
endif()

install(FILES ${packaging}/kstune.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${packaging}/kstune.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${packaging}/kstune.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps)
install(FILES ${packaging}/copyright DESTINATION ${doc_dir})
install(FILES ${packaging}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME kstune)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${doc_dir})

# Manual pages and the changelog go in gzip-compressed, without a time stamp, so that the same
# sources give the same package.
configure_file(${packaging}/changelog.in ${packaging_out}/changelog @ONLY)
set(gzipped)
foreach(page kstune.1 kstune-station.1)
  configure_file(${packaging}/${page} ${packaging_out}/${page} @ONLY)
  list(APPEND gzipped ${packaging_out}/${page})
endforeach()
list(APPEND gzipped ${packaging_out}/changelog)
foreach(file IN LISTS gzipped)
  add_custom_command(OUTPUT ${file}.gz COMMAND gzip -9nkf ${file} DEPENDS ${file} VERBATIM)
  list(TRANSFORM file APPEND .gz OUTPUT_VARIABLE out)
  list(APPEND gzipped_out ${out})
endforeach()
add_custom_target(kstune_packaging_files ALL DEPENDS ${gzipped_out})
install(FILES ${packaging_out}/kstune.1.gz ${packaging_out}/kstune-station.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${packaging_out}/changelog.gz DESTINATION ${doc_dir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kstune)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "kstune developers <kstune@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "bench tool for tuning KS VHF radio stations")
set(CPACK_PACKAGE_DESCRIPTION "kstune tunes KS41, KS43, KS45 and KS47 VHF radio stations over a serial
line: it reads the station's tuning values, lets the technician change
them, writes them back and records the results in the station's report
workbook (with LibreOffice Calc, when installed).

kstune-station simulates a station on a pseudo-terminal, for training and
for trying kstune without hardware.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The station journal's drivers are plugins Qt loads by name, which no library dependency shows:
# SQLite for the bench's own file always, PostgreSQL where a factory database is named.
set(CPACK_DEBIAN_PACKAGE_DEPENDS libqt6sql6-sqlite)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libreoffice-calc-nogui, libqt6sql6-psql")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)

# The package unpacked into a scratch root, both programs run from there.
add_test(NAME PackageTest COMMAND ${PROJECT_SOURCE_DIR}/tests/package/PackageTest.sh ${PROJECT_BINARY_DIR}
                                  ${PROJECT_VERSION})
set_tests_properties(PackageTest PROPERTIES LABELS package TIMEOUT 600)
