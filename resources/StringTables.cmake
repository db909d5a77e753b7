# The serial layer's string tables: text sources compiled by str0gen into "STR0" tables, then
# embedded as resources of type 10 in the program's own module (platform/ModuleResources).
add_executable(str0gen ${CMAKE_CURRENT_LIST_DIR}/str0gen/str0gen.cpp)
set_target_properties(str0gen PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
target_include_directories(str0gen PRIVATE ${PROJECT_SOURCE_DIR})

set(kstune_string_table_names ADSRMGR_STRINGS SERX_ERROR_STRINGS_ENGLISH)
set(kstune_string_table_files)
set(kstune_string_table_args)
foreach(table IN LISTS kstune_string_table_names)
  set(source ${CMAKE_CURRENT_LIST_DIR}/${table}.txt)
  set(binary ${CMAKE_CURRENT_BINARY_DIR}/${table}.str0)
  add_custom_command(OUTPUT ${binary}
    COMMAND str0gen compile ${source} ${binary}
    DEPENDS str0gen ${source}
    COMMENT "Compiling string table ${table}")
  list(APPEND kstune_string_table_files ${binary})
  list(APPEND kstune_string_table_args ${table}=${binary})
endforeach()

set(kstune_string_tables_cpp ${CMAKE_CURRENT_BINARY_DIR}/StringTables.cpp)
add_custom_command(OUTPUT ${kstune_string_tables_cpp}
  COMMAND str0gen embed ${kstune_string_tables_cpp} ${kstune_string_table_args}
  DEPENDS str0gen ${kstune_string_table_files}
  COMMENT "Embedding the string tables")

# A static library is enough: platform/ModuleResources.cpp names the generated table, so the
# linker always keeps it.
add_library(kstune_string_tables STATIC ${kstune_string_tables_cpp})
target_include_directories(kstune_string_tables PUBLIC ${PROJECT_SOURCE_DIR})
set_target_properties(kstune_string_tables PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
target_link_libraries(kstune_platform PUBLIC kstune_string_tables)

add_test(NAME Str0genTest
  COMMAND ${CMAKE_COMMAND} -DSTR0GEN=$<TARGET_FILE:str0gen> -DWORK=${CMAKE_CURRENT_BINARY_DIR}/Str0genTest
          -P ${CMAKE_CURRENT_LIST_DIR}/str0gen/Str0genTest.cmake)
set_tests_properties(Str0genTest PROPERTIES LABELS resources)
