kavro_e2e(dig_net dig_net.cpp netns)
kavro_e2e(dig_unbound dig_unbound.cpp netns)
