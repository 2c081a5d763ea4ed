# kesu_test(<name> SOURCES <files...> LIBS <targets...> [QT] [LABELS <labels...>])
#
# A GoogleTest executable registered with CTest. QT marks tests that run the Qt
# backend: they get the offscreen platform and are left out when Qt is off.
function(kesu_test name)
  cmake_parse_arguments(T "QT" "" "SOURCES;LIBS;LABELS" ${ARGN})
  if(T_QT AND NOT KESU_WITH_QT)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock
                                        Threads::Threads)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  set(env "")
  if(T_QT)
    list(APPEND env "QT_QPA_PLATFORM=offscreen")
  endif()
  # Discovered tests take their properties as one flat list, so several labels
  # cannot be passed as a list: they are joined into one label, and `ctest -L`
  # (a regular expression) still finds each part, e.g. `-L threads`.
  list(JOIN T_LABELS "-" label)
  if(NOT label)
    set(label "none")
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${label}" ENVIRONMENT "${env}" TIMEOUT 300)
endfunction()

# kesu_library(<name> SOURCES <files...> [DEPS <targets...>])
# A static library whose headers are included from the project root.
function(kesu_library name)
  cmake_parse_arguments(L "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${L_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${L_DEPS} Threads::Threads)
endfunction()

# kesu_glob_library(<name> [DEPS <targets...>])
# A static library of every .cpp file in the current directory. Dependencies
# that are other modules' targets may be named before those modules exist; a
# name that no module defines fails the build instead of being dropped.
function(kesu_glob_library name)
  cmake_parse_arguments(L "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    # Headers only, so far.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR})
    return()
  endif()
  kesu_library(${name} SOURCES ${sources} DEPS ${L_DEPS})
endfunction()

# kesu_glob_tests(<prefix> LIBS <targets...> [QT] [LABELS <labels...>])
# One test executable per *_test.cpp file in the current directory.
function(kesu_glob_tests prefix)
  cmake_parse_arguments(T "QT" "" "LIBS;LABELS" ${ARGN})
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  set(qt "")
  if(T_QT)
    set(qt QT)
  endif()
  foreach(test IN LISTS tests)
    get_filename_component(base ${test} NAME_WE)
    kesu_test(${prefix}_${base} SOURCES ${test} LIBS ${T_LIBS} ${qt} LABELS ${T_LABELS})
  endforeach()
endfunction()
