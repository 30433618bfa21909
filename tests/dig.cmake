kavro_e2e(dig_net dig_net.cpp netns)
kavro_e2e(dig_unbound dig_unbound.cpp netns)
target_compile_definitions(dig_net PRIVATE KAVRO_RESOLVER="${KAVRO_RESOLVER}")
# Every test in it needs unbound: skipped without it (unless KAVRO_REQUIRE_ALL=1).
set_tests_properties(dig_unbound PROPERTIES SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
