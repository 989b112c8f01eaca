# What keeps a build from scratch short on a small machine, applied to every target of the tree
# by what it is rather than in each folder's CMakeLists.txt:
#  - the Qt and standard headers most files include are compiled once (cmake/precompiled/) for
#    all the Qt programs and libraries, and once for all the Qt tests;
#  - the tests' own files compile with LINGUARO_TEST_CXX_FLAGS (lighter optimisation and
#    debugging information: what they test is in the libraries, which keep the build type's),
#    and the test programs link with gold, much quicker than the default linker on programs
#    this size; the shipped programs keep Debian's default linker.
# Included at the end of the top CMakeLists.txt, once every target exists.

set(LINGUARO_TEST_CXX_FLAGS "-Og;-g1" CACHE STRING
    "Compiler flags added to the tests' own files (a list; empty keeps the build type's)")
option(LINGUARO_PRECOMPILED_HEADERS "Compile the common Qt headers once for all targets" ON)

# Every target below a folder, its sub-folders' too.
function(linguaro_targets_below dir out)
  get_property(found DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub ${subdirs})
    linguaro_targets_below(${sub} more)
    list(APPEND found ${more})
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# Whether a target links Qt, directly or through the libraries it links.
function(linguaro_links_qt target out)
  set(pending ${target})
  set(seen)
  while(pending)
    list(POP_FRONT pending current)
    if(current IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${current})
    if(current MATCHES "^Qt6::")
      set(${out} ON PARENT_SCOPE)
      return()
    endif()
    if(NOT TARGET ${current})
      continue()
    endif()
    get_target_property(imported ${current} IMPORTED)
    set(links)
    if(NOT imported)
      get_target_property(direct ${current} LINK_LIBRARIES)
      if(direct)
        list(APPEND links ${direct})
      endif()
    endif()
    get_target_property(interface ${current} INTERFACE_LINK_LIBRARIES)
    if(interface)
      list(APPEND links ${interface})
    endif()
    foreach(item ${links})
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" item "${item}")
      list(APPEND pending ${item})
    endforeach()
  endwhile()
  set(${out} OFF PARENT_SCOPE)
endfunction()

# A library that only holds the precompiled headers others reuse. It links Qt Core alone and sees
# the other modules' headers through their include folders, so it defines no macro that a target
# linking only Qt Core lacks (a compiler refuses such a precompiled header).
function(linguaro_precompiled_holder name)
  set(source ${CMAKE_BINARY_DIR}/precompiled/${name}.cpp)
  file(CONFIGURE OUTPUT ${source} CONTENT "// holds the precompiled headers of ${name}\n")
  add_library(${name} STATIC EXCLUDE_FROM_ALL ${source})
  target_link_libraries(${name} PRIVATE Qt6::Core)
  target_include_directories(${name} SYSTEM PRIVATE
    $<TARGET_PROPERTY:Qt6::Gui,INTERFACE_INCLUDE_DIRECTORIES>
    $<TARGET_PROPERTY:Qt6::Widgets,INTERFACE_INCLUDE_DIRECTORIES>)
  set_target_properties(${name} PROPERTIES AUTOMOC OFF)
  target_precompile_headers(${name} PRIVATE ${CMAKE_SOURCE_DIR}/cmake/precompiled/QtCommon.h)
endfunction()

include(CheckLinkerFlag)
check_linker_flag(CXX -fuse-ld=gold LINGUARO_HAVE_GOLD)

linguaro_targets_below(${CMAKE_SOURCE_DIR} linguaro_all_targets)
if(LINGUARO_PRECOMPILED_HEADERS)
  linguaro_precompiled_holder(linguaro_precompiled_programs)
  linguaro_precompiled_holder(linguaro_precompiled_tests)
  target_compile_options(linguaro_precompiled_tests PRIVATE ${LINGUARO_TEST_CXX_FLAGS})
endif()
foreach(target ${linguaro_all_targets})
  get_target_property(type ${target} TYPE)
  if(NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|OBJECT_LIBRARY)$"
     OR target MATCHES "^linguaro_precompiled_")
    continue()
  endif()
  get_target_property(folder ${target} SOURCE_DIR)
  string(FIND "${folder}/" "${CMAKE_SOURCE_DIR}/tests/" in_tests)
  linguaro_links_qt(${target} qt)
  if(in_tests EQUAL 0)
    target_compile_options(${target} PRIVATE ${LINGUARO_TEST_CXX_FLAGS})
    if(LINGUARO_HAVE_GOLD AND type STREQUAL "EXECUTABLE")
      target_link_options(${target} PRIVATE -fuse-ld=gold)
    endif()
    set(holder linguaro_precompiled_tests)
  else()
    set(holder linguaro_precompiled_programs)
  endif()
  if(LINGUARO_PRECOMPILED_HEADERS AND qt)
    set_target_properties(${target} PROPERTIES PRECOMPILE_HEADERS_REUSE_FROM ${holder})
  endif()
endforeach()
