# The libFuzzer targets of the listed tools, for the fuzz build and for the tests that
# run it: fuzz/NAME.cpp belongs to the tool its name starts with (dig_answers.cpp ->
# dig) and links that tool's hosted core. Sets kavro_fuzz_targets to the NAMEs whose
# tool is in KAVRO_TOOLS, and kavro_fuzz_tool_NAME to each one's tool.
file(GLOB kavro_fuzz_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/fuzz/*.cpp)
set(kavro_fuzz_targets)
foreach(src ${kavro_fuzz_sources})
  get_filename_component(name ${src} NAME_WE)
  string(REGEX REPLACE "_.*" "" tool ${name})
  if(tool IN_LIST KAVRO_TOOLS)
    list(APPEND kavro_fuzz_targets ${name})
    set(kavro_fuzz_tool_${name} ${tool})
  endif()
endforeach()
