kavro_e2e(dig_net dig_net.cpp netns)
kavro_e2e(dig_unbound dig_unbound.cpp netns)
target_compile_definitions(dig_net PRIVATE KAVRO_RESOLVER="${KAVRO_RESOLVER}")
