kavro_unit(dns_unit dns_unit.cpp dns_core)
if(NOT KAVRO_TARGET_PRESET) # the hosted DNS module's own exchange, not a tool's
  kavro_e2e(dns_net dns_net.cpp netns dns_core)
endif()
