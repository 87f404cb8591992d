# Native (Linux) build: GoogleTest and Google Benchmark from Debian's packages.
find_package(GTest REQUIRED)
include(GoogleTest)
find_package(Threads REQUIRED)

if(CONTROLS_SANITIZE)
  set(CONTROLS_TEST_PREFIX "sanitize.")
else()
  set(CONTROLS_TEST_PREFIX "native.")
endif()

if(CONTROLS_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
else()
  find_package(benchmark REQUIRED)
endif()

# controls_native_test(name SOURCES... LIBS ...): a GoogleTest executable, each test case a CTest test.
function(controls_native_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main Threads::Threads)
  gtest_discover_tests(${name} TEST_PREFIX "${CONTROLS_TEST_PREFIX}" DISCOVERY_TIMEOUT 60)
endfunction()
