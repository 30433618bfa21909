# Self-confinement: each tool's filter in a forked child, the built tools running under
# it, and the tools working where the kernel refuses it.
kavro_e2e(confine_test confine_test.cpp "netns;pidns")
target_include_directories(confine_test PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_definitions(confine_test PRIVATE KAVRO_CONFINE=$<BOOL:${KAVRO_CONFINE}>)
