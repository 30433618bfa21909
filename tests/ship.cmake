# What a user installs: the man pages render cleanly, the .deb holds working tools, and
# the build is reproducible from any folder.
add_test(NAME man_pages COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/man.sh ${PROJECT_BINARY_DIR}/man
    ${PROJECT_SOURCE_DIR}/docs)
set_tests_properties(man_pages PROPERTIES LABELS ship)
add_test(NAME package COMMAND ${NS_RUN} ${CMAKE_CURRENT_SOURCE_DIR}/package.sh ${PROJECT_BINARY_DIR})
set_tests_properties(package PROPERTIES LABELS "ship;pidns" TIMEOUT 300)
add_test(NAME reproducible COMMAND ${NS_RUN} ${CMAKE_CURRENT_SOURCE_DIR}/reproducible.sh
    ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/bin)
set_tests_properties(reproducible PROPERTIES LABELS "ship;pidns" TIMEOUT 600)
