kavro_unit(dns_unit dns_unit.cpp dns_core)
kavro_e2e(dns_net dns_net.cpp netns dns_core)
