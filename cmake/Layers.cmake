# One static library per layer of src/. A layer links only the layers it uses, which sit below
# it, so a lower layer that calls into a higher one fails to link.
#
# Linking alone catches a call, not an include: a lower layer could still include a higher
# layer's header for its types or inline code. Every header lives under src/ and is named from
# there ("ddc/feature.hpp"), so include directories cannot tell the layers apart; instead each
# library first runs cmake/CheckLayering.cmake over its folders as a build step, and an
# #include of a folder the layer may not use fails the build before anything compiles. A layer
# may include its own folders and, transitively, those of the layers it uses.
#
#   lumra_add_layer(<target> FOLDERS <folder>... [USES <layer>...] [NAMES <folder>...])
#
# FOLDERS are relative to src/, each taken without its subfolders. NAMES are further folders
# the layer may include without linking them (the stand-in platform's headers, which the bridge
# names only where the system frameworks are missing).

set(LUMRA_SOURCE_ROOT ${PROJECT_SOURCE_DIR}/src)
set(LUMRA_LAYERING_CHECK ${CMAKE_CURRENT_LIST_DIR}/CheckLayering.cmake)

function(lumra_add_layer target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "FOLDERS;USES;NAMES")
  set(sources)
  set(files)
  foreach(folder IN LISTS arg_FOLDERS)
    file(GLOB folder_sources CONFIGURE_DEPENDS ${LUMRA_SOURCE_ROOT}/${folder}/*.cpp)
    file(GLOB folder_headers CONFIGURE_DEPENDS ${LUMRA_SOURCE_ROOT}/${folder}/*.hpp
         ${LUMRA_SOURCE_ROOT}/${folder}/*.h)
    list(APPEND sources ${folder_sources})
    list(APPEND files ${folder_sources} ${folder_headers})
  endforeach()

  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC ${LUMRA_SOURCE_ROOT})
  target_link_libraries(${target} PUBLIC lumra_warnings ${arg_USES})

  set(allowed ${arg_FOLDERS} ${arg_NAMES})
  foreach(used IN LISTS arg_USES)
    get_property(used_allowed GLOBAL PROPERTY LUMRA_LAYER_ALLOWED_${used})
    list(APPEND allowed ${used_allowed})
  endforeach()
  list(REMOVE_DUPLICATES allowed)
  set_property(GLOBAL PROPERTY LUMRA_LAYER_ALLOWED_${target} ${allowed})

  # The layer's own table, read by the build step below and by the "layering" test.
  set(table ${CMAKE_BINARY_DIR}/layering/${target}.cmake)
  file(CONFIGURE OUTPUT ${table} CONTENT
       "set(LAYER ${target})\nset(FOLDERS ${arg_FOLDERS})\nset(ALLOWED ${allowed})\n")
  set_property(GLOBAL APPEND PROPERTY LUMRA_LAYER_TABLES ${table})

  set(stamp ${CMAKE_BINARY_DIR}/layering/${target}.checked)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DROOT=${LUMRA_SOURCE_ROOT} -DTABLES=${table} -DSTAMP=${stamp}
            -P ${LUMRA_LAYERING_CHECK}
    DEPENDS ${files} ${table} ${LUMRA_LAYERING_CHECK}
    COMMENT "Checking the includes of ${target} against its layer"
    VERBATIM)
  add_custom_target(${target}_layering DEPENDS ${stamp})
  add_dependencies(${target} ${target}_layering)
endfunction()
