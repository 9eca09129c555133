# From URISPLIT_RELEASE_DATE (YYYY-MM-DD), the release time, noon UTC of that day, as
# URISPLIT_RELEASE_EPOCH (seconds since 1970), URISPLIT_RELEASE_RFC2822 (as Debian's changelog
# writes it) and URISPLIT_RELEASE_RPM_DATE (as an RPM changelog does). CMake formats a time in
# UTC with English names whatever the build's locale and time zone, and takes the time to format
# from SOURCE_DATE_EPOCH; a date that does not exist, such as 2026-02-30, stops the configuration.
if(NOT URISPLIT_RELEASE_DATE MATCHES "^([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$")
  message(FATAL_ERROR "URISPLIT_RELEASE_DATE is '${URISPLIT_RELEASE_DATE}', not YYYY-MM-DD")
endif()
# Days since 1970-01-01 in the proleptic Gregorian calendar, counted in years that begin on
# 1 March, so that the leap day ends its year.
math(EXPR _year "${CMAKE_MATCH_1}")
math(EXPR _month "1${CMAKE_MATCH_2} - 100")
math(EXPR _day "1${CMAKE_MATCH_3} - 100")
math(EXPR _march_year "${_year} - (14 - ${_month}) / 12")  # January and February: one less
math(EXPR _months_since_march "(${_month} + 9) % 12")
math(EXPR _era "${_march_year} / 400")
math(EXPR _year_of_era "${_march_year} - ${_era} * 400")
math(EXPR _day_of_era "${_year_of_era} * 365 + ${_year_of_era} / 4 - ${_year_of_era} / 100 \
+ (153 * ${_months_since_march} + 2) / 5 + ${_day} - 1")
math(EXPR URISPLIT_RELEASE_EPOCH "(${_era} * 146097 + ${_day_of_era} - 719468) * 86400 + 43200")

set(_saved_epoch "$ENV{SOURCE_DATE_EPOCH}")
set(ENV{SOURCE_DATE_EPOCH} ${URISPLIT_RELEASE_EPOCH})
string(TIMESTAMP _round_trip "%Y-%m-%d" UTC)
string(TIMESTAMP URISPLIT_RELEASE_RFC2822 "%a, %d %b %Y %H:%M:%S +0000" UTC)
string(TIMESTAMP URISPLIT_RELEASE_RPM_DATE "%a %b %d %Y" UTC)
set(ENV{SOURCE_DATE_EPOCH} "${_saved_epoch}")
if(NOT _round_trip STREQUAL URISPLIT_RELEASE_DATE)
  message(FATAL_ERROR "URISPLIT_RELEASE_DATE is '${URISPLIT_RELEASE_DATE}', a day that does not "
                      "exist (it would be ${_round_trip})")
endif()
