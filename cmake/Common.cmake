# Settings shared by every build tree.
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  add_compile_options(-Wall -Wextra)
endif()

# controls_portable_library(name SOURCES...): code with no Windows headers, built in every tree.
function(controls_portable_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
endfunction()

# controls_test(<name> SOURCES ... [LIBS ...]): a GoogleTest executable of portable code,
# built and run in every tree: natively (with sanitizers in the sanitize tree) and under Wine.
function(controls_test name)
  if(WIN32)
    controls_wine_test(${name} ${ARGN})
  else()
    controls_native_test(${name} ${ARGN})
  endif()
endfunction()
