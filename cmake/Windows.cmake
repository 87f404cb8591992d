# 32-bit Windows build: type libraries with widl, resources with windres, GoogleTest built
# from Debian's sources with the cross compiler, and every test run under Wine.

# --- IDL and type libraries -------------------------------------------------------------
find_program(WIDL NAMES ${MINGW_PREFIX}-widl widl REQUIRED)
find_path(WINE_IDL_DIR oaidl.idl
  PATHS /usr/include/wine/wine/windows /usr/include/wine/windows
  NO_CMAKE_FIND_ROOT_PATH REQUIRED)
find_path(WINE_STDOLE_DIR stdole2.tlb
  PATHS /usr/lib/i386-linux-gnu/wine/i386-windows /usr/lib/wine/i386-windows
  NO_CMAKE_FIND_ROOT_PATH REQUIRED)

# controls_idl(<idl file>): compiles the IDL into <name>.tlb, <name>.h and <name>_i.c in the
# current binary folder. Sets <name>_TLB, <name>_HEADER and <name>_IID_SOURCE in the caller.
function(controls_idl idl)
  get_filename_component(name ${idl} NAME_WE)
  get_filename_component(src ${idl} ABSOLUTE)
  set(out ${CMAKE_CURRENT_BINARY_DIR})
  set(widl_args -I${WINE_IDL_DIR} -I${CMAKE_CURRENT_SOURCE_DIR} -L${WINE_STDOLE_DIR} --win32)
  add_custom_command(
    OUTPUT ${out}/${name}.tlb ${out}/${name}.h ${out}/${name}_i.c
    COMMAND ${WIDL} ${widl_args} -t -o ${out}/${name}.tlb ${src}
    COMMAND ${CMAKE_COMMAND} -DIDL=${src} -DTLB=${out}/${name}.tlb
            -P ${CMAKE_SOURCE_DIR}/cmake/check-typelib-id.cmake
    COMMAND ${WIDL} ${widl_args} -h -o ${out}/${name}.h ${src}
    COMMAND ${WIDL} ${widl_args} -u -o ${out}/${name}_i.c ${src}
    DEPENDS ${src} ${CMAKE_SOURCE_DIR}/cmake/check-typelib-id.cmake
    COMMENT "widl ${name}.idl"
    VERBATIM)
  set(${name}_TLB ${out}/${name}.tlb PARENT_SCOPE)
  set(${name}_HEADER ${out}/${name}.h PARENT_SCOPE)
  set(${name}_IID_SOURCE ${out}/${name}_i.c PARENT_SCOPE)
endfunction()

# controls_resources(<rc file> DEPENDS files...): a resource script compiled by windres; it
# may embed files made at build time (a type library) from the current binary folder.
function(controls_resources rc)
  cmake_parse_arguments(R "" "" "DEPENDS" ${ARGN})
  set(deps)
  foreach(d IN LISTS R_DEPENDS)
    get_filename_component(d ${d} ABSOLUTE)
    list(APPEND deps ${d})
  endforeach()
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${deps}")
endfunction()

# controls_com_server(<name> SOURCES ... DEF <def> [LIBS ...]): an in-process COM server DLL
# named <name>.dll with undecorated exports from the .def file.
function(controls_com_server name)
  cmake_parse_arguments(S "" "DEF" "SOURCES;LIBS" ${ARGN})
  add_library(${name} SHARED ${S_SOURCES} ${S_DEF})
  set_target_properties(${name} PROPERTIES PREFIX "" OUTPUT_NAME ${name})
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_BINARY_DIR})
  # The .def names the exports undecorated; the fix-up binds them to the stdcall symbols.
  target_link_options(${name} PRIVATE -Wl,--kill-at -Wl,--enable-stdcall-fixup)
  target_link_libraries(${name} PRIVATE ${S_LIBS} ole32 oleaut32 uuid)
  set_property(TARGET ${name} APPEND PROPERTY INCLUDE_DIRECTORIES ${CMAKE_CURRENT_BINARY_DIR})
endfunction()

# --- GoogleTest from Debian's sources ---------------------------------------------------
set(GTEST_SOURCE_DIR /usr/src/googletest/googletest)
if(NOT EXISTS ${GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${GTEST_SOURCE_DIR} (package googletest)")
endif()
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# --- Wine ---------------------------------------------------------------------------------
# Every build tree has its own prefix and its own X display (Xvfb), started by the "wine"
# test fixture and stopped at its end; wine-run runs one program there.
set(WINE_STATE_DIR ${CMAKE_BINARY_DIR}/wine)
set(WINE_PREFIX ${WINE_STATE_DIR}/prefix)
set(WINE_RUN ${CMAKE_BINARY_DIR}/wine-run)
set(WINE_SESSION ${CMAKE_BINARY_DIR}/wine-session)
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.sh.in ${WINE_RUN} @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-session.sh.in ${WINE_SESSION} @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_RUN})

add_test(NAME wine.session.start COMMAND ${WINE_SESSION} start)
add_test(NAME wine.session.stop COMMAND ${WINE_SESSION} stop)
set_tests_properties(wine.session.start PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
set_tests_properties(wine.session.stop PROPERTIES FIXTURES_CLEANUP wine)

# --- Sound input ----------------------------------------------------------------------------
# A private PulseAudio server per build tree (fixture "pulse"), whose default source is the
# monitor of a null sink "line": Wine's wave input records what PULSE_PLAYER plays into "line".
# Tests that need sound require the fixture and take PULSE_TEST_ENVIRONMENT; tests that must find
# no sound server at all take NO_SOUND_ENVIRONMENT (a server address where none listens).
find_program(PACAT pacat REQUIRED)
set(PULSE_STATE_DIR ${CMAKE_BINARY_DIR}/pulse)
set(PULSE_SESSION ${CMAKE_BINARY_DIR}/pulse-session)
configure_file(${CMAKE_SOURCE_DIR}/cmake/pulse-session.sh.in ${PULSE_SESSION} @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
add_test(NAME pulse.session.start COMMAND ${PULSE_SESSION} start)
add_test(NAME pulse.session.stop COMMAND ${PULSE_SESSION} stop)
set_tests_properties(pulse.session.start PROPERTIES FIXTURES_SETUP pulse TIMEOUT 60)
set_tests_properties(pulse.session.stop PROPERTIES FIXTURES_CLEANUP pulse)
set(PULSE_TEST_ENVIRONMENT
  "PULSE_SERVER=unix:${PULSE_STATE_DIR}/run/pulse/native" "PULSE_PLAYER=${PACAT}")
set(NO_SOUND_ENVIRONMENT "PULSE_SERVER=unix:${PULSE_STATE_DIR}/nowhere/native")

# winpath(<var> <unix path>): the same file seen from Wine (drive Z: is the Unix root).
function(winpath var path)
  string(REPLACE "/" "\\" p "${path}")
  set(${var} "Z:${p}" PARENT_SCOPE)
endfunction()

# controls_wine_test(<name> SOURCES ... [LIBS ...] [FIXTURES ...]): a GoogleTest executable
# built for Windows and run under Wine as one CTest test.
function(controls_wine_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;FIXTURES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest_main gtest)
  add_test(NAME wine.${name} COMMAND ${name} --gtest_color=no)
  set_tests_properties(wine.${name} PROPERTIES FIXTURES_REQUIRED "wine;${T_FIXTURES}" TIMEOUT 600)
endfunction()

# controls_register(<dll target> [ARGS ...]): registers the server in the prefix with regsvr32
# as a fixture of the same name that script tests can require; unregistered at the end.
function(controls_register dll)
  cmake_parse_arguments(R "" "" "ARGS" ${ARGN})
  add_test(NAME wine.register.${dll}
    COMMAND ${WINE_RUN} regsvr32 /s ${R_ARGS} $<TARGET_FILE:${dll}>)
  set_tests_properties(wine.register.${dll} PROPERTIES
    FIXTURES_SETUP ${dll} FIXTURES_REQUIRED wine)
endfunction()

# controls_script_test(<name> SCRIPT <file> [FIXTURES ...] [PASS regex]): a JScript or VBScript
# run by Wine's cscript; it fails by exiting non-zero (WScript.Quit) or by missing the regex.
function(controls_script_test name)
  cmake_parse_arguments(T "" "SCRIPT;PASS" "FIXTURES" ${ARGN})
  get_filename_component(script ${T_SCRIPT} ABSOLUTE)
  winpath(wscript "${script}")
  add_test(NAME wine.${name} COMMAND ${WINE_RUN} cscript //nologo ${wscript})
  set_tests_properties(wine.${name} PROPERTIES FIXTURES_REQUIRED "wine;${T_FIXTURES}" TIMEOUT 300)
  if(T_PASS)
    set_tests_properties(wine.${name} PROPERTIES PASS_REGULAR_EXPRESSION "${T_PASS}")
  endif()
endfunction()
