# Warnings and sanitizers for every target of the project.
add_compile_options(-Wall -Wextra)
if(KSTUNE_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(KSTUNE_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT KSTUNE_SANITIZE STREQUAL "")
  message(FATAL_ERROR "KSTUNE_SANITIZE must be empty, address or thread")
endif()
if(NOT KSTUNE_SANITIZE STREQUAL "")
  # A sanitizer build only runs the tests: light optimisation and line tables give its reports
  # their file and line, and it builds in about half the time of -O2 with full debug information.
  # Placed after the build type's flags, these win.
  add_compile_options(-O1 -g1)
endif()

# Debian's hardening flags (fortify, stack protector, format checks, full RELRO with bind-now)
# for the normal build, which is the one packaged. Sanitizer builds keep their own instrumentation.
option(KSTUNE_HARDENING "Build with Debian's hardening flags (the packaged build)" ON)
if(KSTUNE_SANITIZE STREQUAL "" AND KSTUNE_HARDENING)
  find_program(DPKG_BUILDFLAGS dpkg-buildflags)
  if(DPKG_BUILDFLAGS)
    foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
      execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                              ${DPKG_BUILDFLAGS} --get ${kind}
                      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE)
      separate_arguments(flags UNIX_COMMAND "${flags}")
      # Optimisation, debug information and source paths are the build type's business.
      list(FILTER flags EXCLUDE REGEX "^-(O|g$|ffile-prefix-map|fdebug-prefix-map)")
      if(kind STREQUAL "LDFLAGS")
        add_link_options(${flags})
      else()
        add_compile_options(${flags})
      endif()
    endforeach()
  endif()
  # No folder of the build machine in what is built (file names in assertions, debug information,
  # macros), so that the same sources built anywhere give the same packages: the stripped
  # programs keep the build ID, a checksum that covers the debug information too. The last
  # matching map wins. Sources become "./…", files made in the build folder "…" relative to it,
  # and the compiler's working folder (the build folder) ".". A compiler cache with a base
  # directory (ccache's CCACHE_BASEDIR) hands the compiler these paths already relative to the
  # build folder ("../main/X.cpp", "main/X_autogen/…"): the relative spelling of the sources is
  # mapped too, so that an object from the cache is the one the compiler makes without it.
  add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${PROJECT_BINARY_DIR}=.
                      -ffile-prefix-map=${PROJECT_BINARY_DIR}/=)
  file(RELATIVE_PATH sources_from_build ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR})
  string(REGEX REPLACE "/$" "" sources_from_build "${sources_from_build}")
  if(sources_from_build MATCHES "^\\.\\.")
    add_compile_options(-ffile-prefix-map=${sources_from_build}=.)
  endif()
endif()

# One library per source folder: every .cpp in the folder (not in subfolders) belongs to it.
function(kstune_folder_library name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()
