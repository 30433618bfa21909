# Read by cpack: the package's file times come from SOURCE_DATE_EPOCH, so the same
# source packs to the same bytes. Unless the caller chose a time, take the last
# commit's, or outside a git checkout the release date (the configure read it from
# packaging/changelog).
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git -C "${CPACK_KAVRO_SOURCE_DIR}" log -1 --format=%ct
      OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT epoch MATCHES "^[0-9]+$")
    set(epoch ${CPACK_KAVRO_RELEASE_EPOCH})
  endif()
  set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
endif()
