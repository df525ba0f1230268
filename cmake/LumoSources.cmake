# Every target names its source files one by one, so that what goes into a build is what the
# CMakeLists.txt says, and a stray file in a folder is not built by accident.
#
# lumo_check_sources_listed() guards the other direction: called at the end of a folder's
# CMakeLists.txt, it stops the configure step when a .cpp file in the folder is listed by none
# of the folder's targets, naming the file (a new file that nobody added would otherwise stay
# out of the build, and its tests unrun, without a word). The folder is watched, so adding a
# file reruns the check at the next build.
#   lumo_check_sources_listed([FOLDERS sub ...] [IGNORE File.cpp ...])
#     FOLDERS  folders relative to this one to look in (default: this folder alone)
#     IGNORE   files a target lists only in some configurations
function(lumo_check_sources_listed)
  cmake_parse_arguments(arg "" "" "FOLDERS;IGNORE" ${ARGN})
  if(NOT arg_FOLDERS)
    set(arg_FOLDERS .)
  endif()
  set(listed)
  get_property(targets DIRECTORY PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target ${targets})
    get_target_property(sources ${target} SOURCES)
    if(NOT sources)
      continue()
    endif()
    foreach(source ${sources})
      if(source MATCHES "^\\$<")
        continue()  # generator expressions (object libraries) name no file here
      endif()
      cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} NORMALIZE OUTPUT_VARIABLE file)
      list(APPEND listed ${file})
    endforeach()
  endforeach()
  foreach(source ${arg_IGNORE})
    cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} NORMALIZE OUTPUT_VARIABLE file)
    list(APPEND listed ${file})
  endforeach()
  set(missing)
  foreach(folder ${arg_FOLDERS})
    file(GLOB present CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
    foreach(file ${present})
      cmake_path(NORMAL_PATH file)
      if(NOT file IN_LIST listed)
        file(RELATIVE_PATH name ${PROJECT_SOURCE_DIR} ${file})
        list(APPEND missing ${name})
      endif()
    endforeach()
  endforeach()
  if(missing)
    list(JOIN missing "\n  " names)
    file(RELATIVE_PATH here ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_LIST_FILE})
    message(FATAL_ERROR "Source files that no target lists; add them to ${here}:\n  ${names}")
  endif()
endfunction()
