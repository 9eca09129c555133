# From URISPLIT_RELEASE_DATE (YYYY-MM-DD), the release time, noon UTC of that day, as
# URISPLIT_RELEASE_EPOCH (seconds since 1970), URISPLIT_RELEASE_RFC2822 (as Debian's changelog
# writes it) and URISPLIT_RELEASE_RPM_DATE (as an RPM changelog does). Plain arithmetic, so no
# locale or time zone of the build reaches them.
if(NOT URISPLIT_RELEASE_DATE MATCHES "^([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$")
  message(FATAL_ERROR "URISPLIT_RELEASE_DATE is '${URISPLIT_RELEASE_DATE}', not YYYY-MM-DD")
endif()
# Days since 1970-01-01 of a day in the proleptic Gregorian calendar, counted in years that
# begin on 1 March, so that the leap day ends its year.
math(EXPR _year "${CMAKE_MATCH_1}")
math(EXPR _month "1${CMAKE_MATCH_2} - 100")
math(EXPR _day "1${CMAKE_MATCH_3} - 100")
if(_month GREATER 2)
  set(_march_year ${_year})
  math(EXPR _months_since_march "${_month} - 3")
else()
  math(EXPR _march_year "${_year} - 1")
  math(EXPR _months_since_march "${_month} + 9")
endif()
math(EXPR _era "${_march_year} / 400")
math(EXPR _year_of_era "${_march_year} - ${_era} * 400")
math(EXPR _day_of_year "(153 * ${_months_since_march} + 2) / 5 + ${_day} - 1")
math(EXPR _day_of_era
     "${_year_of_era} * 365 + ${_year_of_era} / 4 - ${_year_of_era} / 100 + ${_day_of_year}")
math(EXPR _days "${_era} * 146097 + ${_day_of_era} - 719468")
math(EXPR URISPLIT_RELEASE_EPOCH "${_days} * 86400 + 12 * 3600")

set(_weekdays Thu Fri Sat Sun Mon Tue Wed)  # 1970-01-01 was a Thursday
set(_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
math(EXPR _weekday "${_days} % 7")
math(EXPR _month_index "${_month} - 1")
list(GET _weekdays ${_weekday} _weekday)
list(GET _months ${_month_index} _month_name)
set(URISPLIT_RELEASE_RFC2822
    "${_weekday}, ${CMAKE_MATCH_3} ${_month_name} ${_year} 12:00:00 +0000")
set(URISPLIT_RELEASE_RPM_DATE "${_weekday} ${_month_name} ${CMAKE_MATCH_3} ${_year}")
