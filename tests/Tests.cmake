# Unit and window tests: one test program per tests/*_test.cpp, run by ctest through Wine.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# Stand-in addresses on loopback for tests and for the program the end-to-end tests start.
set(LUMENO_STANDIN_VENDOR "http://127.0.0.1:18181")
set(LUMENO_STANDIN_LOOKUP "127.0.0.1:18182")
set(LUMENO_STANDIN_SEARCH "http://127.0.0.1:18181/search")

# The addresses go in as an object so every test program links them whatever the library order.
add_library(lumeno_test_addresses OBJECT ui/Addresses.cpp)
target_compile_definitions(lumeno_test_addresses PRIVATE LUMENO_VENDOR_SITE="${LUMENO_STANDIN_VENDOR}"
    LUMENO_LOOKUP_HOST="${LUMENO_STANDIN_LOOKUP}" LUMENO_SEARCH_HOME="${LUMENO_STANDIN_SEARCH}")
target_link_libraries(lumeno_test_addresses PRIVATE lumeno_core)

file(GLOB LUMENO_TEST_SUPPORT CONFIGURE_DEPENDS tests/support/*.cpp)
add_library(lumeno_test_support STATIC ${LUMENO_TEST_SUPPORT})
target_compile_options(lumeno_test_support PRIVATE ${LUMENO_WARNINGS})
target_link_libraries(lumeno_test_support PUBLIC lumeno_core gtest ws2_32 comctl32)
target_include_directories(lumeno_test_support PUBLIC ${CMAKE_SOURCE_DIR}/tests)

file(GLOB LUMENO_TESTS CONFIGURE_DEPENDS tests/*_test.cpp)
foreach(source ${LUMENO_TESTS})
    get_filename_component(name ${source} NAME_WE)
    add_executable(${name} ${source} tests/support/TestMain.cxx assets/Lumeno.rc
        $<TARGET_OBJECTS:lumeno_test_addresses>)
    target_compile_options(${name} PRIVATE ${LUMENO_WARNINGS})
    target_link_libraries(${name} PRIVATE lumeno_test_support)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endforeach()

# The product built against the stand-in hosts, started by the end-to-end tests.
lumeno_program(LumenoStandIn "${LUMENO_STANDIN_VENDOR}" "${LUMENO_STANDIN_LOOKUP}"
    "${LUMENO_STANDIN_SEARCH}")

file(GLOB LUMENO_BENCHES CONFIGURE_DEPENDS bench/*_bench.cpp)
foreach(source ${LUMENO_BENCHES})
    get_filename_component(name ${source} NAME_WE)
    add_executable(${name} ${source} assets/Lumeno.rc $<TARGET_OBJECTS:lumeno_test_addresses>)
    target_compile_options(${name} PRIVATE ${LUMENO_WARNINGS})
    target_link_libraries(${name} PRIVATE lumeno_test_support)
endforeach()

# Floors for the program benchmark: the least a program doing the same job could cost.
foreach(floor FloorIdle FloorWindow FloorTrail)
    add_executable(${floor} WIN32 bench/floors/${floor}.cpp assets/Lumeno.rc
        $<TARGET_OBJECTS:lumeno_test_addresses>)
    target_compile_options(${floor} PRIVATE ${LUMENO_WARNINGS})
    target_link_libraries(${floor} PRIVATE lumeno_core)
    target_link_options(${floor} PRIVATE -mwindows)
endforeach()
target_compile_definitions(program_bench PRIVATE LUMENO_PRODUCT="$<TARGET_FILE:Lumeno>"
    LUMENO_FLOOR_IDLE="$<TARGET_FILE:FloorIdle>" LUMENO_FLOOR_WINDOW="$<TARGET_FILE:FloorWindow>"
    LUMENO_FLOOR_TRAIL="$<TARGET_FILE:FloorTrail>")
target_link_libraries(program_bench PRIVATE lumeno_e2e_driver)
add_dependencies(program_bench Lumeno FloorIdle FloorWindow FloorTrail)

include(tests/e2e/E2e.cmake OPTIONAL)
