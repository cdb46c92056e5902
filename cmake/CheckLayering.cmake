# Fails when a source or header of a layer includes a folder the layer may not use.
#
#   cmake -DROOT=<src folder> -DTABLES=<table>[,<table>...] [-DSTAMP=<file>] -P CheckLayering.cmake
#
# Each table is a file that sets LAYER, FOLDERS (the layer's own folders, relative to ROOT) and
# ALLOWED (every folder it may include, its own among them); cmake/Layers.cmake writes them.
# An include is resolved as the compiler would: beside the including file first ("x.hpp",
# "../cli/run.hpp"), then from ROOT. STAMP is touched when every layer passes.
cmake_minimum_required(VERSION 3.25)
if(NOT ROOT OR NOT TABLES)
  message(FATAL_ERROR "usage: cmake -DROOT=<src> -DTABLES=<table>[,<table>...] -P ${CMAKE_CURRENT_LIST_FILE}")
endif()

# The folder, relative to ROOT, of the file that an include of FILE names.
function(included_folder file name out)
  get_filename_component(here ${file} DIRECTORY)
  if(EXISTS ${here}/${name})
    get_filename_component(target ${here}/${name} ABSOLUTE)
    file(RELATIVE_PATH relative ${ROOT} ${target})
  else()
    set(relative ${name})
  endif()
  get_filename_component(folder ${relative} DIRECTORY)
  set(${out} "${folder}" PARENT_SCOPE)
endfunction()

set(violations)
string(REPLACE "," ";" tables "${TABLES}")
foreach(table IN LISTS tables)
  include(${table})
  list(JOIN ALLOWED ", " allowed_shown)
  foreach(folder IN LISTS FOLDERS)
    file(GLOB files ${ROOT}/${folder}/*.cpp ${ROOT}/${folder}/*.hpp ${ROOT}/${folder}/*.h)
    foreach(file IN LISTS files)
      file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
      foreach(line IN LISTS lines)
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" name "${line}")
        included_folder(${file} ${name} target_folder)
        if(NOT target_folder IN_LIST ALLOWED)
          file(RELATIVE_PATH shown ${ROOT} ${file})
          list(APPEND violations
               "${shown} includes ${name}, but ${LAYER} may include only ${allowed_shown}")
        endif()
      endforeach()
    endforeach()
  endforeach()
endforeach()

if(violations)
  list(JOIN violations "\n  " report)
  message(FATAL_ERROR "upward or sideways include:\n  ${report}")
endif()
if(STAMP)
  file(TOUCH ${STAMP})
else()
  message(STATUS "layering: every include is allowed")
endif()
