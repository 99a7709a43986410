# Helpers shared by every target of the tree.

# Warnings are set per target so that third-party code built in the same tree keeps its own flags.
function(corvelle_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
endfunction()

# A library of one layer: sources are private, the include root is the src/ folder so that code
# writes #include "text/encoding.h".
function(corvelle_library target)
  add_library(${target} ${ARGN})
  target_include_directories(${target} PUBLIC "${PROJECT_SOURCE_DIR}/src")
  corvelle_warnings(${target})
endfunction()

# A GoogleTest executable whose cases each become their own CTest entry.
function(corvelle_test target)
  add_executable(${target} ${ARGN})
  target_link_libraries(${target} PRIVATE GTest::gtest GTest::gtest_main GTest::gmock)
  target_include_directories(${target} PRIVATE "${PROJECT_SOURCE_DIR}/tests")
  corvelle_warnings(${target})
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
endfunction()

# Adds every subfolder of the current folder that has a CMakeLists.txt (benchmarks, fuzzers, tools).
function(corvelle_add_subfolders)
  file(GLOB folders LIST_DIRECTORIES true "${CMAKE_CURRENT_SOURCE_DIR}/*")
  foreach(folder ${folders})
    if(EXISTS "${folder}/CMakeLists.txt")
      add_subdirectory(${folder})
    endif()
  endforeach()
endfunction()

# Adds the named subfolders that exist, in the order given, and the window's folder when the window is
# built. Layers are listed in dependency order.
function(corvelle_add_layers)
  foreach(folder ${ARGN})
    if(EXISTS "${CMAKE_CURRENT_SOURCE_DIR}/${folder}/CMakeLists.txt")
      add_subdirectory(${folder})
    endif()
  endforeach()
  if(CORVELLE_BUILD_APP AND EXISTS "${CMAKE_CURRENT_SOURCE_DIR}/app/CMakeLists.txt")
    add_subdirectory(app)
  endif()
endfunction()
