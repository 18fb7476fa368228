# The unit tests: the logic on a simulated machine, native on the build host.
# -DSANITIZE=ON builds them with AddressSanitizer and UndefinedBehaviorSanitizer; any finding fails
# the test that made it.
option(SANITIZE "Build the unit tests with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

find_package(GTest REQUIRED)
enable_testing()

file(GLOB SIMULATED_MACHINE_SOURCES CONFIGURE_DEPENDS tests/sim/*.cpp)
file(GLOB UNIT_TEST_SOURCES CONFIGURE_DEPENDS tests/unit/*.cpp)

# The logic with the product's flags; the simulated machine and the tests with the usual ones.
add_library(logic OBJECT ${LOGIC_SOURCES})
target_include_directories(logic PUBLIC src ${CMAKE_SOURCE_DIR})
target_compile_options(logic PRIVATE ${LOGIC_COMPILE_OPTIONS} -g)

add_executable(unit_tests ${SIMULATED_MACHINE_SOURCES} ${UNIT_TEST_SOURCES})
target_include_directories(unit_tests PRIVATE tests)
target_compile_options(unit_tests PRIVATE -Wall -Wextra -g)
target_link_libraries(unit_tests PRIVATE logic GTest::gtest GTest::gtest_main)
# GoogleTest's header is most of what every test file compiles: parsed once.
target_precompile_headers(unit_tests PRIVATE <gtest/gtest.h>)

if(SANITIZE)
    set(SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    foreach(target logic unit_tests)
        target_compile_options(${target} PRIVATE ${SANITIZER_FLAGS})
        target_link_options(${target} PRIVATE ${SANITIZER_FLAGS})
    endforeach()
endif()

include(GoogleTest)
gtest_discover_tests(unit_tests)
