# The Debian package: `cmake --build build --target package` makes kstune_<version>_<arch>.deb in
# the build folder. Included last, when every target is known.
include(GNUInstallDirs)

# The programs print the project's version; only the files that print it are told.
foreach(pair "kstune_runtime;runtime/ProgramOptions.cpp" "kstune-station;station/StationMain.cpp")
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
set(office_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/kstune-office)

# Two packages: kstune, and kstune-office with the office bridge. The bridge alone needs the UNO
# libraries and LibreOffice Calc, so kstune installs without any of the office suite and only
# recommends the bridge; the report ("...") is the one thing that then says what to install.
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME kstune)
install(TARGETS kstune kstune-station RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT kstune)
set(office_component OFF)
if(TARGET kstune_office_module)
  set(office_component ON)
  install(TARGETS kstune_office_module LIBRARY DESTINATION lib/kstune/office COMPONENT office)
  install(FILES ${packaging}/copyright DESTINATION ${office_doc_dir} COMPONENT office)
  install(FILES ${packaging}/kstune-office.lintian-overrides
          DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME kstune-office COMPONENT office)
endif()

install(FILES ${packaging}/kstune.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${packaging}/kstune.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${packaging}/kstune.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps)
install(FILES ${packaging}/copyright DESTINATION ${doc_dir})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${doc_dir})

# Dates (KSTUNE_*_DATE) are the sources' own: cmake/SourceDate.cmake.
configure_file(${packaging}/org.example.kstune.metainfo.xml ${packaging_out}/org.example.kstune.metainfo.xml @ONLY)
install(FILES ${packaging_out}/org.example.kstune.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

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
if(office_component)
  install(FILES ${packaging_out}/changelog.gz DESTINATION ${office_doc_dir} COMPONENT office)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kstune)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "kstune developers <kstune@example.org>")
set(CPACK_DEB_COMPONENT_INSTALL ON)
if(office_component)
  set(CPACK_COMPONENTS_ALL kstune office)
else()
  set(CPACK_COMPONENTS_ALL kstune)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_KSTUNE_PACKAGE_NAME kstune)
set(CPACK_DEBIAN_KSTUNE_FILE_NAME DEB-DEFAULT)
# Found by name, not by linking: the window's font and Qt's own texts for the user's language.
# The journal's database drivers are Qt plug-ins too; a factory's server is optional. The viewer's
# workbook library is linked (shlibdeps finds it too), named here so the list reads complete.
set(CPACK_DEBIAN_KSTUNE_PACKAGE_DEPENDS "fonts-liberation2, qt6-translations-l10n, libqt6sql6-sqlite, libxlsxwriter4")
set(CPACK_DEBIAN_KSTUNE_PACKAGE_SUGGESTS libqt6sql6-psql)
set(CPACK_DEBIAN_KSTUNE_PACKAGE_RECOMMENDS kstune-office)
# The first line is the synopsis; CPack indents the rest and marks its empty lines.
set(CPACK_DEBIAN_KSTUNE_DESCRIPTION "bench tool for tuning KS VHF radio stations
kstune tunes KS41, KS43, KS45 and KS47 VHF radio stations over a serial
line: it reads the station's tuning values, lets the technician change
them, writes them back and keeps a snapshot of the last values written.

Every operation on a station goes into the station journal (a local
SQLite file, optionally copied to a factory PostgreSQL database).
kstune-journal shows it: each station's history by serial number, the
values written and read, their differences and the telemetry of a
session as a chart, with CSV and PDF export.

kstune-station simulates a station on a pseudo-terminal, for training and
for trying kstune without hardware.

The station's report workbook needs the package kstune-office.")

set(CPACK_DEBIAN_OFFICE_PACKAGE_NAME kstune-office)
set(CPACK_DEBIAN_OFFICE_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_OFFICE_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_OFFICE_PACKAGE_DEPENDS
    "kstune (= ${PROJECT_VERSION}), libreoffice-calc | libreoffice-calc-nogui")
set(CPACK_DEBIAN_OFFICE_DESCRIPTION "report workbooks for kstune through LibreOffice Calc
The bridge between kstune and LibreOffice Calc: with it, kstune writes the
tuned values into the station's report workbook and takes a number series
back from it. kstune loads it when the technician opens a report.")

# Every file time in the packages (the archive members, the files and folders in them) is the
# sources' date: CPack takes it from SOURCE_DATE_EPOCH in its own environment, which this file,
# read by CPack at packaging time, sets unless the builder set one.
set(epoch_file ${packaging_out}/SourceDateEpoch.cmake)
file(WRITE ${epoch_file} "if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})\n  set(ENV{SOURCE_DATE_EPOCH} ${KSTUNE_SOURCE_DATE_EPOCH})\nendif()\n")
set(CPACK_PROJECT_CONFIG_FILE ${epoch_file})

set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)

# The package unpacked into a scratch root, both programs run from there.
add_test(NAME PackageTest COMMAND ${PROJECT_SOURCE_DIR}/tests/package/PackageTest.sh ${PROJECT_BINARY_DIR}
                                  ${PROJECT_VERSION})
# Its second build of the packages (the reproducibility check) takes long on a cold compiler cache.
set_tests_properties(PackageTest PROPERTIES LABELS package TIMEOUT 1800)
# The prefix maps give the same objects whether the compiler sees absolute paths or, through a
# compiler cache, paths relative to the build folder.
if(KSTUNE_HARDENING)
  add_test(NAME RelativePathsTest COMMAND ${PROJECT_SOURCE_DIR}/tests/package/RelativePaths.sh ${PROJECT_BINARY_DIR})
  set_tests_properties(RelativePathsTest PROPERTIES LABELS package TIMEOUT 600)
endif()
# moc and uic run side by side: no class's meta-object code may depend on which finished first.
add_test(NAME MocInputsTest COMMAND ${CMAKE_COMMAND} -DBUILD=${PROJECT_BINARY_DIR}
                                    -P ${PROJECT_SOURCE_DIR}/tests/package/MocInputs.cmake)
set_tests_properties(MocInputsTest PROPERTIES LABELS package TIMEOUT 300)
