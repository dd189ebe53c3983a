# End-to-end tests: Windows driver programs that start the built program (with the stand-in
# addresses) under Wine and use it from outside as a person would.
file(GLOB LUMENO_E2E CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/*_e2e.cpp)
add_library(lumeno_e2e_driver STATIC ${CMAKE_SOURCE_DIR}/tests/e2e/Driver.cpp)
target_compile_options(lumeno_e2e_driver PRIVATE ${LUMENO_WARNINGS})
target_compile_definitions(lumeno_e2e_driver PUBLIC
    LUMENO_PROGRAM="$<TARGET_FILE:LumenoStandIn>" LUMENO_STANDIN_VENDOR="${LUMENO_STANDIN_VENDOR}"
    LUMENO_STANDIN_LOOKUP="${LUMENO_STANDIN_LOOKUP}")
target_link_libraries(lumeno_e2e_driver PUBLIC lumeno_test_support)
foreach(source ${LUMENO_E2E})
    get_filename_component(name ${source} NAME_WE)
    add_executable(${name} ${source} ${CMAKE_SOURCE_DIR}/tests/support/TestMain.cxx
        $<TARGET_OBJECTS:lumeno_test_addresses>)
    target_compile_options(${name} PRIVATE ${LUMENO_WARNINGS})
    target_link_libraries(${name} PRIVATE lumeno_e2e_driver)
    add_dependencies(${name} LumenoStandIn)
    add_test(NAME ${name} COMMAND ${name})
    # The ten-minute soak (scripts/soak) runs through ctest too.
    set_tests_properties(${name} PROPERTIES TIMEOUT 1500)
endforeach()
