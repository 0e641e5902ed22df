# TinyXML from Debian's source package (fetched by cmake/setup.sh) and GoogleTest from
# Debian's googletest sources, both compiled here with the MinGW toolchain.

set(KELVARA_DEPS_DIR "${CMAKE_SOURCE_DIR}/build/deps" CACHE PATH "Where cmake/setup.sh put third-party sources")
set(TINYXML_SOURCE_DIR "${KELVARA_DEPS_DIR}/tinyxml-src")
if(NOT EXISTS "${TINYXML_SOURCE_DIR}/tinyxml.h")
  message(FATAL_ERROR "TinyXML sources missing in ${TINYXML_SOURCE_DIR}: run ./test.sh (or cmake/setup.sh) first")
endif()

add_library(tinyxml STATIC
  ${TINYXML_SOURCE_DIR}/tinyxml.cpp
  ${TINYXML_SOURCE_DIR}/tinyxmlerror.cpp
  ${TINYXML_SOURCE_DIR}/tinyxmlparser.cpp
  ${TINYXML_SOURCE_DIR}/tinystr.cpp)
# Debian's package defines TIXML_USE_STL inside tinyxml.h; say so everywhere to keep one layout.
target_compile_definitions(tinyxml PUBLIC TIXML_USE_STL)
target_include_directories(tinyxml SYSTEM PUBLIC ${TINYXML_SOURCE_DIR})
target_compile_options(tinyxml PRIVATE -w)

if(KELVARA_BUILD_TESTS)
  set(GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(${GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  foreach(t gtest gtest_main gmock gmock_main)
    if(TARGET ${t})
      target_compile_options(${t} PRIVATE -w)
    endif()
  endforeach()
endif()
