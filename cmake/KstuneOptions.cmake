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

# One library per source folder: every .cpp in the folder (not in subfolders) belongs to it.
function(kstune_folder_library name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()
