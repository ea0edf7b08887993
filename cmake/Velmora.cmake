# Helpers that keep logic and window code apart.
#
# velmora_logic_library(name SOURCES...) builds a static library that must not
# see Qt: it gets no Qt include paths, so a Qt include is a compile error, and
# velmora_check_logic_targets() refuses to generate when one links Qt.
function(velmora_logic_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  set_property(GLOBAL APPEND PROPERTY VELMORA_LOGIC_TARGETS ${name})
endfunction()

# velmora_qt_library(name SOURCES...) builds window or platform code.
function(velmora_qt_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  set_target_properties(${name} PROPERTIES AUTOMOC ON POSITION_INDEPENDENT_CODE ON)
endfunction()

function(velmora_check_logic_targets)
  get_property(logic GLOBAL PROPERTY VELMORA_LOGIC_TARGETS)
  foreach(t IN LISTS logic)
    get_target_property(libs ${t} LINK_LIBRARIES)
    get_target_property(ilibs ${t} INTERFACE_LINK_LIBRARIES)
    foreach(l IN LISTS libs ilibs)
      if(l MATCHES "Qt[0-9]*::")
        message(FATAL_ERROR "logic library ${t} links ${l}; keep Qt in window code")
      endif()
    endforeach()
  endforeach()
endfunction()

# velmora_gtest(name SOURCES... LIBS ...) adds a GoogleTest executable and
# registers its tests with CTest.
function(velmora_gtest name)
  cmake_parse_arguments(ARG "QT" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  if(ARG_QT)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} velmora_qt_test_main GTest::gtest)
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
  else()
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" LABELS "${ARG_LABELS}"
    DISCOVERY_MODE PRE_TEST)
endfunction()
