# vantrel_add_wine_test(NAME <name> SOURCES <files...> [LIBS <libs...>] [TIMEOUT <s>])
#
# Builds one GoogleTest executable and registers it as one ctest entry that runs
# under Wine in the build's private prefix. Wine processes are slow to start, so
# each executable holds many cases.
function(vantrel_add_wine_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE gtest gmock ${T_LIBS})
  target_compile_options(${T_NAME} PRIVATE -Wall -Wextra)
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/deskband ${PROJECT_SOURCE_DIR}/tests)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_color=no
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  set_tests_properties(${T_NAME} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "WINEPREFIX=${VANTREL_WINEPREFIX};WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")
endfunction()
