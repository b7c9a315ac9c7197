# Shared settings for the project's own targets.

# Warnings as errors on our own code; never on third-party code.
function(vrok_target_defaults target)
  target_compile_features(${target} PUBLIC cxx_std_20)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
                           -Wnon-virtual-dtor -Wcast-align -Wnull-dereference
                           $<$<BOOL:${VROK_WERROR}>:-Werror>)
  endif()
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # GCC 12 reports std::string concatenation falsely under -O2 (bug 105329).
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
endfunction()

# vrok_add_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2 [QT] [TIMEOUT seconds] [COST n])
# One GoogleTest executable; each test case becomes a CTest test. COST
# starts its tests before cheaper ones when CTest has no timings of its own
# yet (a fresh checkout), so that long tests do not run last, alone.
function(vrok_add_test name)
  cmake_parse_arguments(ARG "QT" "TIMEOUT;COST" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  if(ARG_QT)
    vrok_qt_defaults(${name})
  else()
    vrok_target_defaults(${name})
  endif()
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock $<TARGET_NAME_IF_EXISTS:testsupport>)
  # The folders as compile definitions: gtest_discover_tests cannot pass a
  # property value holding a list (the ";" splits it into separate
  # properties), so ENVIRONMENT carries one variable at most.
  target_compile_definitions(${name} PRIVATE VROK_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                             VROK_BINARY_DIR="${PROJECT_BINARY_DIR}")
  set(properties)
  if(ARG_QT)
    list(APPEND properties ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
  if(ARG_TIMEOUT)
    list(APPEND properties TIMEOUT ${ARG_TIMEOUT})
  endif()
  if(ARG_COST)
    list(APPEND properties COST ${ARG_COST})
  endif()
  if(properties)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()

# Targets that use Qt Widgets: GCC reports null dereferences inside Qt's
# inline functions falsely at -O2, so that one warning is off for them.
function(vrok_qt_defaults target)
  vrok_target_defaults(${target})
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wno-null-dereference)
  endif()
endfunction()
