# What a setup program's build needs, in this tree and in an author's own
# project (installed with the library as part of its CMake package, where
# find_package(Quillant CONFIG) includes it after the library's targets).

# qnt_rc_scripts(OUT <sources>): the full paths of the resource scripts among
# the sources.
function(qnt_rc_scripts out)
  set(scripts)
  foreach(src ${ARGN})
    if(src MATCHES "\\.rc$")
      get_filename_component(rc "${src}" ABSOLUTE)
      list(APPEND scripts "${rc}")
    endif()
  endforeach()
  set(${out} ${scripts} PARENT_SCOPE)
endfunction()

# qnt_rc_file(OUT DIR NAME): the file a resource script in DIR names as NAME
# (its quotes removed), found beside the script or below the source root, as
# the resource compiler finds it through the include path; empty when neither
# has it.
function(qnt_rc_file out dir n)
  string(REPLACE "\\\\" "/" n "${n}")
  foreach(base "${dir}" "${CMAKE_SOURCE_DIR}")
    if(EXISTS "${base}/${n}" AND NOT IS_DIRECTORY "${base}/${n}")
      set(${out} "${base}/${n}" PARENT_SCOPE)
      return()
    endif()
  endforeach()
  set(${out} "" PARENT_SCOPE)
endfunction()

# The resource compiler reports no dependencies, so a resource script is
# rebuilt only when the files it embeds are named as its inputs: every quoted
# file name in it that exists beside it or below the source root (form
# texts, pictures, icons) is.
function(qnt_rc_inputs)
  qnt_rc_scripts(scripts ${ARGN})
  foreach(rc ${scripts})
    get_filename_component(dir "${rc}" DIRECTORY)
    # The list is read here, so an edited script configures the build again
    # (a file it no longer names must not stay a dependency).
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${rc}")
    file(STRINGS "${rc}" lines REGEX "\"[^\"]+[.][A-Za-z0-9]+\"")
    set(inputs)
    foreach(line ${lines})
      string(REGEX MATCHALL "\"[^\"]+[.][A-Za-z0-9]+\"" names "${line}")
      foreach(n ${names})
        string(REPLACE "\"" "" n "${n}")
        qnt_rc_file(file "${dir}" "${n}")
        if(file)
          list(APPEND inputs "${file}")
        endif()
      endforeach()
    endforeach()
    if(inputs)
      set_property(SOURCE "${rc}" APPEND PROPERTY OBJECT_DEPENDS ${inputs})
    endif()
  endforeach()
endfunction()

# qnt_rc_sources(TARGET <sources>)
# A form text that the reader refuses stops the program with a box; that box
# names the file the author edits, not only the resource. For every
# `NAME RCDATA "file"` line of the target's resource scripts a source made
# here registers the file at start-up (RegisterResourceSource), named from
# the source root of the build (its full path when it lies elsewhere).
function(qnt_rc_sources target)
  set(calls)
  qnt_rc_scripts(scripts ${ARGN})
  foreach(rc ${scripts})
    get_filename_component(dir "${rc}" DIRECTORY)
    file(STRINGS "${rc}" lines REGEX "^[ \t]*[A-Za-z0-9_]+[ \t]+[Rr][Cc][Dd][Aa][Tt][Aa][ \t]+\"[^\"]+\"")
    foreach(line ${lines})
      string(REGEX MATCH "^[ \t]*([A-Za-z0-9_]+)[ \t]+[A-Za-z]+[ \t]+\"([^\"]+)\"" _ "${line}")
      set(res "${CMAKE_MATCH_1}")
      string(REPLACE "\\\\" "/" n "${CMAKE_MATCH_2}")
      qnt_rc_file(file "${dir}" "${n}")
      if(file)
        file(RELATIVE_PATH n "${CMAKE_SOURCE_DIR}" "${file}")
        if(n MATCHES "^[.][.]/")
          set(n "${file}")
        endif()
      endif()
      string(REPLACE "\\" "\\\\" n "${n}")
      string(REPLACE "\"" "\\\"" n "${n}")
      string(APPEND calls "  RegisterResourceSource(\"${res}\", \"${n}\");\n")
    endforeach()
  endforeach()
  if(NOT calls)
    return()
  endif()
  set(out "${CMAKE_CURRENT_BINARY_DIR}/${target}_resource_sources.cpp")
  # Written only when it changes, so that an unchanged one is not compiled again.
  file(CONFIGURE OUTPUT "${out}" @ONLY CONTENT
"// Made by the build from the program's resource scripts: the file each form
// text resource was made from, for the messages about a text that does not read.
#include \"classlib/FormReader.h\"

namespace {
const bool Registered = [] {
@calls@  return true;
}();
}  // namespace
")
  target_sources(${target} PRIVATE "${out}")
endfunction()

# qnt_shipped_program(TARGET)
# A program or control library that goes to end users (a setup program, the
# loader, the uninstaller, the web-install control) leaves the build without
# debugging information: once linked, its debugging information is copied to
# <file>.debug beside it, the file itself is stripped and keeps only a link
# (.gnu_debuglink) by which gdb and Wine's debugger find that copy. Programs
# of the tests stay whole.
function(qnt_shipped_program target)
  if(QNT_NATIVE)
    return()
  endif()
  if(NOT CMAKE_OBJCOPY)
    message(FATAL_ERROR "qnt_shipped_program(${target}): no objcopy for this toolchain")
  endif()
  set(file $<TARGET_FILE:${target}>)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug ${file} ${file}.debug
    COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${file}.debug ${file}
    COMMENT "Moving the debugging information of $<TARGET_FILE_NAME:${target}> to $<TARGET_FILE_NAME:${target}>.debug"
    VERBATIM)
endfunction()

# quillant_add_setup(TARGET SOURCES <.cpp and .rc files> [PAGES])
# A setup program: the install module's class in the .cpp, its text form
# (and pictures) named by the .rc from the folder of this CMakeLists.txt.
# It links the setup program's main block and hidden main form, the install
# engine and the class library; PAGES adds the wizard's pages. It rebuilds
# when a file the .rc names changes, names a module's text file in the box
# about a text that does not read (qnt_rc_sources), and ships stripped
# (qnt_shipped_program).
function(quillant_add_setup name)
  cmake_parse_arguments(A "PAGES" "" "SOURCES" ${ARGN})
  if(NOT A_SOURCES)
    message(FATAL_ERROR "quillant_add_setup(${name}): give its SOURCES (the module's .cpp and .rc)")
  endif()
  add_executable(${name} WIN32 ${A_SOURCES})
  set(libs Quillant::setup_start)
  if(A_PAGES)
    list(APPEND libs Quillant::wizard)
  endif()
  target_link_libraries(${name} PRIVATE ${libs} Quillant::engine Quillant::foundation Quillant::classlib_ui)
  # The .rc names its files from this folder, wherever the folder is.
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  qnt_rc_inputs(${A_SOURCES})
  qnt_rc_sources(${name} ${A_SOURCES})
  qnt_shipped_program(${name})
endfunction()
