# Helpers that keep logic and window code apart.
#
# Folders stand in floors, and includes only run down: a folder sees itself
# and the floors below it, never a sibling on its own floor or anything
# above. Each folder's libraries get an include folder of links to just
# those folders, so an include that runs up (say link/ including app/) is a
# "file not found" at build time, not a review comment. Tests, benchmarks and
# fuzz targets see the whole tree.
set(VELMORA_FLOORS
  "base"
  "config|ui"
  "protocol"
  "pages|diag|link|fleet"
  "cli|sim"
  "app")

# The include folder for a product folder: ${PROJECT_BINARY_DIR}/floors/<folder>.
function(velmora_floor_dir folder out)
  set(visible)
  set(found FALSE)
  list(LENGTH VELMORA_FLOORS count)
  math(EXPR last "${count} - 1")
  foreach(i RANGE ${last})
    list(GET VELMORA_FLOORS ${i} floor)
    string(REPLACE "|" ";" members "${floor}")
    if(folder IN_LIST members)
      list(APPEND visible ${folder})
      set(found TRUE)
      break()
    endif()
    list(APPEND visible ${members})
  endforeach()
  if(NOT found)
    message(FATAL_ERROR "${folder}/ is on no floor; add it to VELMORA_FLOORS in cmake/Velmora.cmake")
  endif()
  set(dir ${PROJECT_BINARY_DIR}/floors/${folder})
  file(REMOVE_RECURSE ${dir})
  file(MAKE_DIRECTORY ${dir})
  foreach(v IN LISTS visible)
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${v} ${dir}/${v} SYMBOLIC)
  endforeach()
  set(${out} ${dir} PARENT_SCOPE)
endfunction()

# Gives target the include folder of the floor its source folder stands on.
function(velmora_floor_includes target)
  file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  string(REGEX REPLACE "/.*" "" folder "${rel}")
  get_property(made GLOBAL PROPERTY VELMORA_FLOOR_DIR_${folder})
  if(NOT made)
    velmora_floor_dir(${folder} made)
    set_property(GLOBAL PROPERTY VELMORA_FLOOR_DIR_${folder} ${made})
  endif()
  target_include_directories(${target} PUBLIC ${made})
endfunction()

# velmora_logic_library(name SOURCES...) builds a static library that must not
# see Qt: it gets no Qt include paths, so a Qt include is a compile error, and
# velmora_check_logic_targets() refuses to generate when one links Qt.
function(velmora_logic_library name)
  add_library(${name} STATIC ${ARGN})
  velmora_floor_includes(${name})
  set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  set_property(GLOBAL APPEND PROPERTY VELMORA_LOGIC_TARGETS ${name})
endfunction()

# velmora_qt_library(name SOURCES...) builds window or platform code.
function(velmora_qt_library name)
  add_library(${name} STATIC ${ARGN})
  velmora_floor_includes(${name})
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
  if(WIN32)
    # One Wine start per program, not per case: ctest runs the program
    # through Wine (CMAKE_CROSSCOMPILING_EMULATOR) and GoogleTest names the
    # cases that fail.
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS "windows;${ARG_LABELS}")
    return()
  endif()
  # NO_PRETTY_VALUES: a parameterised test is named by its case, without
  # its printed parameter after it.
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    NO_PRETTY_VALUES
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" LABELS "${ARG_LABELS}"
    DISCOVERY_MODE PRE_TEST)
endfunction()
