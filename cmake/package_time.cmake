# The time stamp of everything packaged, in seconds since 1970, into epoch: SOURCE_DATE_EPOCH,
# or else the release time (noon UTC of the release date). Taken from the release, not from
# git, it is the same in a checkout, in another clone and in the unpacked source tarball, so
# that each gives the same packages. Reads CPACK_URISPLIT_RELEASE_EPOCH.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(epoch $ENV{SOURCE_DATE_EPOCH})
else()
  set(epoch ${CPACK_URISPLIT_RELEASE_EPOCH})
endif()
