# The built-in site: everything the program fetches lands in build/site/.
#   linguaro_site_add(FILE <path> [AS <name>] [DEPENDS <what makes it>...])
#   linguaro_site_add(TARGET <executable target> [AS <name>])
# puts one file, or the program a target builds, at <name> (default: its own name, which
# may hold a sub-folder for FILE) under the site root. Include this file from any
# CMakeLists.txt that adds to the site.

# Every folder that includes this file sees the site's root; the target and the function
# are made once (the converters include it before the site does)
set(LINGUARO_SITE_DIR ${CMAKE_BINARY_DIR}/site)
include_guard(GLOBAL)

# builds the whole site; tests that read it depend on this
add_custom_target(linguaro_site ALL)

function(linguaro_site_add)
  cmake_parse_arguments(S "" "FILE;TARGET;AS" "DEPENDS" ${ARGN})
  if(S_FILE)
    get_filename_component(source ${S_FILE} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    if(S_AS)
      set(name ${S_AS})
    else()
      file(RELATIVE_PATH name ${CMAKE_CURRENT_SOURCE_DIR} ${source})
      if(name MATCHES "^\\.\\.")
        get_filename_component(name ${source} NAME)
      endif()
    endif()
    set(target_file ${LINGUARO_SITE_DIR}/${name})
    add_custom_command(OUTPUT ${target_file}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${LINGUARO_SITE_DIR}
      COMMAND ${CMAKE_COMMAND} -E copy ${source} ${target_file}
      DEPENDS ${source} ${S_DEPENDS}
      VERBATIM)
  elseif(S_TARGET)
    if(S_AS)
      set(name ${S_AS})
    else()
      set(name ${S_TARGET})
    endif()
    set(target_file ${LINGUARO_SITE_DIR}/${name})
    add_custom_command(OUTPUT ${target_file}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${LINGUARO_SITE_DIR}
      COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${S_TARGET}> ${target_file}
      DEPENDS ${S_TARGET}
      VERBATIM)
  else()
    message(FATAL_ERROR "linguaro_site_add: FILE or TARGET")
  endif()
  string(MAKE_C_IDENTIFIER "site_${name}" step)
  add_custom_target(${step} DEPENDS ${target_file})
  add_dependencies(linguaro_site ${step})
endfunction()
