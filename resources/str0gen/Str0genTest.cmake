# Checks str0gen: a source with escapes, Cyrillic and a character outside the BMP compiles to
# the exact bytes of the table layout; every kind of broken source stops it with an error.
# cmake -DSTR0GEN=<str0gen> -DWORK=<dir> -P Str0genTest.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

file(WRITE ${WORK}/good.txt [=[
# ids out of order in the source; the table sorts them
20 "b\"\\\u0416"

10	"Ж😀"  
]=])
execute_process(COMMAND ${STR0GEN} compile ${WORK}/good.txt ${WORK}/good.str0 RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "good source refused: ${err}")
endif()
file(READ ${WORK}/good.str0 hex HEX)
set(expected "5354523002000000" "0a0000002000000003000000" "140000002600000004000000"
             "16043dd800de" "620022005c001604")
string(JOIN "" expected ${expected})
if(NOT hex STREQUAL expected)
  message(FATAL_ERROR "good source compiled to\n  ${hex}\nexpected\n  ${expected}")
endif()

string(ASCII 255 badByte)
set(bad_duplicate "1 \"a\"\n1 \"b\"\n")
set(bad_noId "x \"a\"\n")
set(bad_noQuotes "1 a\n")
set(bad_unclosed "1 \"abc\n")
set(bad_escape "1 \"\\q\"\n")
set(bad_surrogate "1 \"\\uD800\"\n")
set(bad_shortHex "1 \"\\u04\"\n")
set(bad_idRange "4294967296 \"a\"\n")
set(bad_trailing "1 \"a\" b\n")
set(bad_utf8 "1 \"${badByte}\"\n")
foreach(case duplicate noId noQuotes unclosed escape surrogate shortHex idRange trailing utf8)
  file(WRITE ${WORK}/${case}.txt "${bad_${case}}")
  execute_process(COMMAND ${STR0GEN} compile ${WORK}/${case}.txt ${WORK}/${case}.str0
                  RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(rc EQUAL 0 OR EXISTS ${WORK}/${case}.str0)
    message(FATAL_ERROR "broken source '${case}' was accepted")
  endif()
  if(NOT err MATCHES "${case}\\.txt:[0-9]+: ")
    message(FATAL_ERROR "broken source '${case}' gave no line: ${err}")
  endif()
endforeach()
