# jq: hosted scanner and filter tests (with the public JSON test suite and a differential
# check against nlohmann-json), and end-to-end runs of the binary.
find_package(nlohmann_json 3 REQUIRED)
kavro_unit(jq_unit jq_unit.cpp jq_core nlohmann_json::nlohmann_json)
target_compile_definitions(jq_unit PRIVATE KAVRO_CORPORA="${KAVRO_CORPORA}")
kavro_e2e(jq_e2e jq_e2e.cpp jq)
