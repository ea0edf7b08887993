# The Windows build's own pieces: Win32 settings for every file, the
# header-only JSON library without Linux's include folder, and GoogleTest
# built from Debian's sources with the cross compiler.

# Wide-character Win32 calls; windows.h without min/max macros; Windows 7 API.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
# The C99 printf family of MinGW: the Microsoft runtime's knows no %zu or
# %lld and would print the logic's texts wrong.
add_compile_definitions(__USE_MINGW_ANSI_STDIO=1)

# nlohmann/json is header-only, but its package points at /usr/include, whose
# Linux C headers must not come before MinGW's. A folder holding only a link
# to its headers stands in, behind a package file find_package takes.
set(velmora_json_root ${PROJECT_BINARY_DIR}/windows/json)
file(MAKE_DIRECTORY ${velmora_json_root}/include)
if(NOT EXISTS ${velmora_json_root}/include/nlohmann)
  file(CREATE_LINK /usr/include/nlohmann ${velmora_json_root}/include/nlohmann SYMBOLIC)
endif()
file(WRITE ${velmora_json_root}/nlohmann_jsonConfig.cmake "
if(NOT TARGET nlohmann_json::nlohmann_json)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${velmora_json_root}/include)
endif()
")
file(WRITE ${velmora_json_root}/nlohmann_jsonConfigVersion.cmake "
set(PACKAGE_VERSION 3.11.2)
set(PACKAGE_VERSION_COMPATIBLE TRUE)
if(PACKAGE_FIND_VERSION_MAJOR AND NOT PACKAGE_FIND_VERSION_MAJOR EQUAL 3)
  set(PACKAGE_VERSION_COMPATIBLE FALSE)
endif()
")
set(nlohmann_json_DIR ${velmora_json_root} CACHE PATH "nlohmann_json for the Windows build" FORCE)

# GoogleTest from the sources of Debian's googletest package.
macro(velmora_windows_gtest)
  set(VELMORA_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the Windows build")
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(${VELMORA_GTEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
endmacro()

# velmora.exe's resources (the help texts) go through windres.
enable_language(RC)

# The English texts for the Windows programs: the .ts document itself, read
# at start by TsCatalog (Qt's .qm and its translator are Linux-only).
set(velmora_ts_file ${PROJECT_SOURCE_DIR}/translations/velmora_en.ts)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${velmora_ts_file})
file(READ ${velmora_ts_file} velmora_ts_text)
set(VELMORA_ENGLISH_TS_CPP ${PROJECT_BINARY_DIR}/windows/english_ts.cpp)
file(CONFIGURE OUTPUT ${VELMORA_ENGLISH_TS_CPP} CONTENT
     "// Made by cmake/Windows.cmake from translations/velmora_en.ts.\nextern const char kEnglishTs[];\nconst char kEnglishTs[] = R\"velmora_ts(@velmora_ts_text@)velmora_ts\";\n"
     @ONLY)

# velmora_win_library(name SOURCES...): Win32 window code of a folder, on
# that folder's floor like every library.
function(velmora_win_library name)
  add_library(${name} STATIC ${ARGN})
  velmora_floor_includes(${name})
  target_link_libraries(${name} PUBLIC comctl32 comdlg32 gdi32 user32)
endfunction()
