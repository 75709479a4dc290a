# Common compile settings and helper functions for every folder of the build.

set(QSM_WARNINGS -Wall -Wextra -Wno-missing-field-initializers)
if(QSM_WERROR)
  list(APPEND QSM_WARNINGS -Werror)
endif()
# gcc's flow-based warnings (-Warray-bounds, -Wstringop-overflow, -Wstringop-overread, -Wrestrict) stay on;
# the lines where gcc 12 reports them falsely inside inlined standard-library code are silenced one by one
# with QSM_GCC_FALSE_REPORT_BEGIN/END (platform/base/compiler.h).

if(QSM_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(QSM_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
if(QSM_FUZZ)
  # Every object gets coverage instrumentation; only the fuzz targets link the libFuzzer main.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# Programs and shared libraries record only the libraries they use, with hash tables the dynamic loader
# searches quickly: less to load and relocate at every start.
add_link_options(-Wl,-O1 -Wl,--as-needed -Wl,--hash-style=gnu)

set(QSM_TESTDATA_DIR ${PROJECT_SOURCE_DIR}/testdata)

# Every program finds the shared libraries of the build through a RUNPATH relative to its own folder
# ($ORIGIN/...), so the build folder may be anywhere and the current folder is never searched.
set(CMAKE_BUILD_RPATH_USE_ORIGIN ON)

# The platform layer is one library, qsm_platform: libqsmplatform.so, so that a program and the plug-ins it
# loads share one window manager, one message loop and one set of MIDI devices. Without QSM_SHARED_PLATFORM
# (the default of the fuzz build) it is one static archive instead.
if(QSM_FUZZ)
  option(QSM_SHARED_PLATFORM "Build the platform layer as the shared library libqsmplatform.so" OFF)
else()
  option(QSM_SHARED_PLATFORM "Build the platform layer as the shared library libqsmplatform.so" ON)
endif()
# The sublayers that make up qsm_platform. Each is compiled as the object library <name>_objs; the name
# <name> itself stands for the whole platform library, so that every target links the one copy.
set(QSM_PLATFORM_PARTS qsm_platform_base qsm_platform_kernel qsm_platform_registry qsm_platform_gdi
    qsm_platform_wm qsm_platform_mm qsm_platform_print qsm_platform_framework)

# qsm_library(name SOURCES ... [DEPS ...] [PRIVATE_DEPS ...])
# A static library whose headers are included from the repository root ("core/stream.h").
function(qsm_library name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  if(A_SOURCES AND name IN_LIST QSM_PLATFORM_PARTS)
    # Inside the platform the sublayers name each other's object libraries.
    foreach(part ${QSM_PLATFORM_PARTS})
      list(TRANSFORM A_DEPS REPLACE "^${part}$" "${part}_objs")
      list(TRANSFORM A_PRIVATE_DEPS REPLACE "^${part}$" "${part}_objs")
    endforeach()
    add_library(${name}_objs OBJECT ${A_SOURCES})
    target_include_directories(${name}_objs PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
    target_compile_options(${name}_objs PRIVATE ${QSM_WARNINGS})
    target_link_libraries(${name}_objs PUBLIC ${A_DEPS} PRIVATE ${A_PRIVATE_DEPS})
    set_property(GLOBAL APPEND PROPERTY QSM_PLATFORM_OBJECT_LIBS ${name}_objs)
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE qsm_platform)
  elseif(A_SOURCES)
    add_library(${name} STATIC ${A_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
    target_compile_options(${name} PRIVATE ${QSM_WARNINGS})
    target_link_libraries(${name} PUBLIC ${A_DEPS} PRIVATE ${A_PRIVATE_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
    target_link_libraries(${name} INTERFACE ${A_DEPS})
  endif()
endfunction()

# qsm_install_binary(target DESTINATION folder)
# Installs a program or shared library into folder of the prefix (bin, lib, lib/mozilla/plugins). The build
# tree holds the shared libraries where the prefix does, a shared library in the same folder below the build
# folder, a program one level below it as bin/ is: so the target is built with the RUNPATH it keeps when
# installed (to lib/, relative to itself), and the install copies it unchanged. CMake's own rewriting of the
# RUNPATH at install would leave an empty entry, the current folder, in the built file.
function(qsm_install_binary target)
  cmake_parse_arguments(A "" "DESTINATION" "" ${ARGN})
  # The way from the folder to lib/ ("../lib", "../..", or none for lib/ itself).
  file(RELATIVE_PATH up /prefix/${A_DESTINATION} /prefix/lib)
  string(REGEX REPLACE "/$" "" up "${up}")
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    get_target_property(built ${target} RUNTIME_OUTPUT_DIRECTORY)
    if(NOT built)
      get_target_property(built ${target} BINARY_DIR)
    endif()
    file(RELATIVE_PATH up_built ${built} ${PROJECT_BINARY_DIR}/lib)
    string(REGEX REPLACE "/$" "" up_built "${up_built}")
    if(NOT up_built STREQUAL up)
      message(FATAL_ERROR "${target} is built in ${built}, not at the depth of ${A_DESTINATION} in the prefix")
    endif()
  else()
    set_target_properties(${target} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/${A_DESTINATION})
  endif()
  # With the platform in a static archive the build has no shared library to find.
  set(rpath "")
  if(up AND QSM_SHARED_PLATFORM)
    set(rpath "$ORIGIN/${up}")
  endif()
  set_target_properties(${target} PROPERTIES BUILD_WITH_INSTALL_RPATH ON INSTALL_RPATH "${rpath}")
  install(TARGETS ${target} RUNTIME DESTINATION ${A_DESTINATION} LIBRARY DESTINATION ${A_DESTINATION})
endfunction()

# qsm_test(name SOURCES ... DEPS ... [LABELS ...])
# A GoogleTest program registered with CTest; tests find their data through QSM_TESTDATA_DIR.
function(qsm_test name)
  if(NOT QSM_TESTS)
    return()
  endif()
  cmake_parse_arguments(A "" "TIMEOUT;FILTER" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  # A test program: the libraries it links add the test environments that install their hooks.
  set_target_properties(${name} PROPERTIES QSM_TEST ON)
  target_compile_options(${name} PRIVATE ${QSM_WARNINGS})
  target_compile_definitions(${name} PRIVATE QSM_TESTDATA_DIR="${QSM_TESTDATA_DIR}"
                                             QSM_BINARY_DIR="${PROJECT_BINARY_DIR}")
  target_link_libraries(${name} PRIVATE ${A_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 300)
  endif()
  set(env "")
  if(QSM_TSAN)
    set(env ENVIRONMENT "TSAN_OPTIONS=halt_on_error=1:suppressions=${PROJECT_SOURCE_DIR}/tools/tsan_suppressions.txt")
  endif()
  # FILTER leaves out of the discovered tests the cases that a test of their own runs with what they need.
  set(filter "")
  if(A_FILTER)
    set(filter TEST_FILTER "${A_FILTER}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 ${filter}
                       PROPERTIES TIMEOUT ${A_TIMEOUT} LABELS "${A_LABELS}" ${env})
endfunction()

# qsm_display_test(test-name target [TIMEOUT seconds] [ARGS ...])
# A test that runs the target on an X display, labelled display: under xvfb-run where it is installed, else on
# the display there is (such a test says why it skips where it finds none).
function(qsm_display_test test target)
  cmake_parse_arguments(A "" "TIMEOUT" "ARGS" ${ARGN})
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 120)
  endif()
  find_program(QSM_XVFB_RUN xvfb-run)
  if(QSM_XVFB_RUN)
    add_test(NAME ${test} COMMAND ${QSM_XVFB_RUN} -a -s "-screen 0 1024x768x24" $<TARGET_FILE:${target}> ${A_ARGS})
  else()
    add_test(NAME ${test} COMMAND ${target} ${A_ARGS})
  endif()
  # The display libraries SDL loads keep allocations of their own until the process ends.
  set_tests_properties(${test} PROPERTIES TIMEOUT ${A_TIMEOUT} LABELS display
                       ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1")
endfunction()

# qsm_display_shot(name SOURCES ... DEPS ... TEST test-name [ARGS ...])
# A program that saves screenshots: from the X server under xvfb-run, from the headless virtual screen
# without a display. Where xvfb-run is there, the display test TEST runs it once under Xvfb with ARGS.
function(qsm_display_shot name)
  if(NOT QSM_TESTS)
    return()
  endif()
  cmake_parse_arguments(A "" "TEST" "SOURCES;DEPS;ARGS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_compile_options(${name} PRIVATE ${QSM_WARNINGS})
  target_link_libraries(${name} PRIVATE ${A_DEPS} qsm_shot_util)
  find_program(QSM_XVFB_RUN xvfb-run)
  if(QSM_XVFB_RUN)
    qsm_display_test(${A_TEST} ${name} ARGS ${A_ARGS})
  endif()
endfunction()

# qsm_fuzzer(name SOURCE file DEPS ... SECONDS n [CORPUS dir])
# With QSM_FUZZ a libFuzzer program; otherwise a replay program that runs the fuzz entry over every file
# of the seed corpus, registered as a test, so that the corpus is checked in every sanitizer build.
set(QSM_FUZZ_LIST ${PROJECT_BINARY_DIR}/fuzz-targets.txt CACHE INTERNAL "")
file(WRITE ${QSM_FUZZ_LIST} "")
function(qsm_fuzzer name)
  cmake_parse_arguments(A "" "SOURCE;SECONDS;CORPUS" "DEPS" ${ARGN})
  if(NOT A_SECONDS)
    set(A_SECONDS 60)
  endif()
  add_executable(${name} ${A_SOURCE})
  target_compile_options(${name} PRIVATE ${QSM_WARNINGS})
  target_link_libraries(${name} PRIVATE ${A_DEPS})
  if(QSM_FUZZ)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    file(APPEND ${QSM_FUZZ_LIST} "${name} ${A_SECONDS} ${A_CORPUS}\n")
  else()
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/fuzz/replay_main.cc)
    if(QSM_TESTS AND A_CORPUS)
      add_test(NAME ${name}.replay COMMAND ${name} ${A_CORPUS})
      set_tests_properties(${name}.replay PROPERTIES LABELS fuzz-replay TIMEOUT 300)
    endif()
  endif()
endfunction()

# qsm_benchmark(name SOURCES ... DEPS ...)
# A Google Benchmark program. CTest runs each once with a tiny time budget so that it keeps working;
# figures come from tools/bench.sh on a Release build.
function(qsm_benchmark name)
  if(NOT QSM_BENCH)
    return()
  endif()
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${A_SOURCES})
  target_compile_options(${name} PRIVATE ${QSM_WARNINGS})
  target_compile_definitions(${name} PRIVATE QSM_TESTDATA_DIR="${QSM_TESTDATA_DIR}")
  target_link_libraries(${name} PRIVATE ${A_DEPS} benchmark::benchmark benchmark::benchmark_main)
  if(QSM_TESTS)
    # QSM_BENCH_SMOKE tells a benchmark to use its smallest sizes.
    add_test(NAME ${name}.smoke COMMAND ${name} --benchmark_min_time=0.001)
    set_tests_properties(${name}.smoke PROPERTIES LABELS bench-smoke TIMEOUT 600
                                                  ENVIRONMENT QSM_BENCH_SMOKE=1)
  endif()
endfunction()
