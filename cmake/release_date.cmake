# The release time, noon UTC of URISPLIT_RELEASE_DATE (YYYY-MM-DD): URISPLIT_RELEASE_EPOCH in
# seconds since 1970 (also in the cache, where the release stage reads it), and as Debian's
# (URISPLIT_RELEASE_RFC2822) and RPM's (URISPLIT_RELEASE_RPM_DATE) changelogs write it. date(1)
# reads the day and refuses one that does not exist, such as 2026-02-30; CMake formats the time
# in UTC with English names, whatever the locale and time zone, from SOURCE_DATE_EPOCH.
execute_process(COMMAND date -u -d "${URISPLIT_RELEASE_DATE} 12:00" +%s
                OUTPUT_VARIABLE epoch ERROR_VARIABLE error OUTPUT_STRIP_TRAILING_WHITESPACE)
set(saved_epoch "$ENV{SOURCE_DATE_EPOCH}")
set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
string(TIMESTAMP round_trip "%Y-%m-%d" UTC)
string(TIMESTAMP URISPLIT_RELEASE_RFC2822 "%a, %d %b %Y %H:%M:%S +0000" UTC)
string(TIMESTAMP URISPLIT_RELEASE_RPM_DATE "%a %b %d %Y" UTC)
set(ENV{SOURCE_DATE_EPOCH} "${saved_epoch}")
if(NOT epoch MATCHES "^[0-9]+$" OR NOT round_trip STREQUAL URISPLIT_RELEASE_DATE)
  message(FATAL_ERROR "URISPLIT_RELEASE_DATE is '${URISPLIT_RELEASE_DATE}', not a day of the form "
                      "YYYY-MM-DD: ${error}")
endif()
set(URISPLIT_RELEASE_EPOCH ${epoch} CACHE INTERNAL "The release time, in seconds since 1970")
