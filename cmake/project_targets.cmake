# Helpers every module uses, so warnings, tests and environments are uniform.

# Warnings for project code; errors in CI (VIEWER_WERROR=ON).
function(viewer_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wnon-virtual-dtor
                         -Wimplicit-fallthrough)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wshadow=local)
  endif()
  if(VIEWER_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# The PDFium that scripts/setup installs; tests that need it read VELYN_PDFIUM_LIB.
set(VIEWER_PDFIUM_LIB "$ENV{HOME}/.local/lib/pdfium/libpdfium.so" CACHE FILEPATH
    "PDFium library handed to tests through VELYN_PDFIUM_LIB")

# viewer_test(NAME name SOURCES ... LIBS ... [LABELS label] [TIMEOUT seconds])
# One GoogleTest binary; its cases are discovered when ctest runs them.
function(viewer_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  viewer_warnings(${T_NAME})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  include(GoogleTest)
  # Property values pass through a list, so each must be one item: an empty
  # one would shift the pairs (labels are added only when given) and a ';'
  # would split one (one environment variable only).
  set(props TIMEOUT ${T_TIMEOUT} ENVIRONMENT "VELYN_PDFIUM_LIB=${VIEWER_PDFIUM_LIB}")
  if(T_LABELS)
    list(APPEND props LABELS "${T_LABELS}")
  endif()
  gtest_discover_tests(${T_NAME}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${props})
endfunction()
