# The date of the sources, for everything the packages carry: SOURCE_DATE_EPOCH when the builder
# sets it, else the last commit's time, else the build's. The same sources then give the same
# packages, byte for byte: release dates, manual pages, changelog and the time of every file.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git -C ${PROJECT_SOURCE_DIR} log -1 --format=%ct OUTPUT_VARIABLE commit_time
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE git_result)
  if(git_result EQUAL 0 AND commit_time MATCHES "^[0-9]+$")
    set(ENV{SOURCE_DATE_EPOCH} ${commit_time})
  endif()
endif()
string(TIMESTAMP KSTUNE_SOURCE_DATE_EPOCH "%s" UTC)
string(TIMESTAMP KSTUNE_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
string(TIMESTAMP KSTUNE_RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP KSTUNE_MAN_DATE "%B %Y" UTC)
