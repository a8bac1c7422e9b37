# quarvelo_add_test(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>])
# Builds one GoogleTest executable and registers each of its cases with CTest.
include_guard(GLOBAL)
find_package(GTest REQUIRED)
include(GoogleTest)

function(quarvelo_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
    if(NOT ARG_SOURCES MATCHES "test_main")
        target_link_libraries(${name} PRIVATE GTest::gtest_main)
    endif()
    # Listing the cases at test time keeps a GUI test from starting at build time.
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 30
        PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT 120
    )
endfunction()
