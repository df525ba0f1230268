# How the programs are linked and installed.
#
# The build keeps full debug information in every binary (tests, debugging in place). What is
# installed carries none: `lumo_install_program` installs a program or module and then splits
# its debug information off into <prefix>/lib/debug/.build-id/xx/yyyy.debug, where debuggers
# find it by the binary's build id, so that every run maps only the code it executes.
#
# Every install rule names its component, the unit the Debian packages are made of:
#   journal      the journal, its widget module, the session module and profile, schema, pages
#   library      liblumo.so.N and the widget module it loads
#   development  headers, liblumo.so, the CMake package, lumo.pc
#   tools        jetsh, lumo-facts and jetsh's page

include(GNUInstallDirs)

find_program(LUMO_OBJCOPY NAMES objcopy ${CMAKE_OBJCOPY})
find_program(LUMO_READELF NAMES readelf ${CMAKE_READELF})

# Linker settings for every program and module: -O1 lets the linker optimise the string and
# hash tables it writes, --as-needed leaves out libraries nothing calls, and with each function
# and object in a section of its own --gc-sections drops code nothing reaches. Not under the
# sanitizers, whose run-time libraries must be linked whether or not anything calls them.
# Measured on a recording run (bench/program-startup.sh): the installed journal is 7 % smaller
# and starts as fast; -fvisibility=hidden changes nothing for a program linked from static
# libraries (only the widget module exports nothing beyond its entry, and sets it itself);
# linking the C++ library statically saved 1.3 ms of 14 but would put a second copy of it
# into the process beside the widget module's, so the programs link it as a shared library.
option(LUMO_LEAN_LINK "Link programs with -Wl,-O1,--as-needed,--gc-sections" ON)
if(LUMO_LEAN_LINK AND NOT LUMO_SANITIZE)
  add_compile_options(-ffunction-sections -fdata-sections)
  add_link_options(LINKER:-O1 LINKER:--as-needed LINKER:--gc-sections)
endif()

# Installs `target` (an executable or a module) to `destination` with its debug information
# split off, as part of the install component `component` (default: journal).
function(lumo_install_program target destination)
  set(component ${ARGV2})
  if(NOT component)
    set(component journal)
  endif()
  if(TARGET ${target})
    get_target_property(type ${target} TYPE)
  endif()
  if(type STREQUAL "EXECUTABLE")
    install(TARGETS ${target} RUNTIME DESTINATION ${destination} COMPONENT ${component})
  else()
    install(TARGETS ${target} LIBRARY DESTINATION ${destination} COMPONENT ${component})
  endif()
  lumo_split_debug_info(${target} ${destination} ${component})
endfunction()

# Packages leave the debug information out altogether (-DLUMO_SPLIT_DEBUG_INFO=OFF).
option(LUMO_SPLIT_DEBUG_INFO "Keep installed binaries' debug information in <prefix>/lib/debug" ON)

# Once `target` is installed in `destination`: strips its debug information, kept in
# <prefix>/lib/debug when LUMO_SPLIT_DEBUG_INFO is on.
function(lumo_split_debug_info target destination component)
  if(NOT LUMO_OBJCOPY OR NOT LUMO_READELF)
    message(WARNING "objcopy or readelf not found: ${target} is installed with its debug information")
    return()
  endif()
  if(LUMO_SPLIT_DEBUG_INFO)
    set(split 1)
  else()
    set(split 0)
  endif()
  install(CODE "
    set(file \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${destination}/$<TARGET_FILE_NAME:${target}>\")
    execute_process(COMMAND \"${LUMO_READELF}\" -n \"\${file}\" OUTPUT_VARIABLE notes)
    string(REGEX MATCH \"Build ID: ([0-9a-f]+)\" found \"\${notes}\")
    set(id \"\${CMAKE_MATCH_1}\")
    if(id)
      string(SUBSTRING \"\${id}\" 0 2 head)
      string(SUBSTRING \"\${id}\" 2 -1 rest)
      set(debug \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/debug/.build-id/\${head}/\${rest}.debug\")
    else()
      set(debug \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/debug/${destination}/$<TARGET_FILE_NAME:${target}>.debug\")
    endif()
    if(\"${split}\" STREQUAL \"1\")
      get_filename_component(folder \"\${debug}\" DIRECTORY)
      file(MAKE_DIRECTORY \"\${folder}\")
      message(STATUS \"Splitting debug information: \${debug}\")
      execute_process(COMMAND \"${LUMO_OBJCOPY}\" --only-keep-debug \"\${file}\" \"\${debug}\" COMMAND_ERROR_IS_FATAL ANY)
      file(CHMOD \"\${debug}\" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
      set(link \"--add-gnu-debuglink=\${debug}\")
    else()
      set(link)
    endif()
    execute_process(COMMAND \"${LUMO_OBJCOPY}\" --strip-debug --strip-unneeded \${link} \"\${file}\"
                    COMMAND_ERROR_IS_FATAL ANY)
  " COMPONENT ${component})
endfunction()

# Lets an installed program that links liblumo find it relative to itself (RUNPATH
# $ORIGIN/...), so that an installation under any prefix works without ldconfig. Not under
# /usr, where the library is in the loader's own path.
function(lumo_find_library_from target destination)
  if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    return()
  endif()
  file(RELATIVE_PATH up /root/${destination} /root/${CMAKE_INSTALL_LIBDIR})
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/${up}")
endfunction()

# Installs the manual page `page` (a file, relative to the current source folder or absolute)
# into man<section>, compressed as man(1) and the Debian tools expect it: gzip -9 without the
# file's name and time, so that two builds make the same file.
function(lumo_install_man_page page section component)
  cmake_path(ABSOLUTE_PATH page BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} OUTPUT_VARIABLE source)
  cmake_path(GET source FILENAME name)
  find_program(LUMO_GZIP gzip REQUIRED)
  set(compressed ${CMAKE_CURRENT_BINARY_DIR}/${name}.gz)
  add_custom_command(OUTPUT ${compressed} COMMAND ${LUMO_GZIP} -9 -n -c ${source} > ${compressed}
                     DEPENDS ${source} VERBATIM)
  add_custom_target(man_${name} ALL DEPENDS ${compressed})
  install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section} COMPONENT ${component})
endfunction()
