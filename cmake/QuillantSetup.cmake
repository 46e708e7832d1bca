# What a setup program's build needs, in this tree and in an author's own
# project (installed with the library as part of its CMake package, where
# find_package(Quillant CONFIG) includes it after the library's targets).

# The resource compiler reports no dependencies, so a resource script is
# rebuilt only when the files it embeds are named as its inputs: every quoted
# file name in it that exists beside it or below the source root (form
# texts, pictures, icons) is.
function(qnt_rc_inputs)
  foreach(src ${ARGN})
    if(NOT src MATCHES "\\.rc$")
      continue()
    endif()
    get_filename_component(rc "${src}" ABSOLUTE)
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
        string(REPLACE "\\\\" "/" n "${n}")
        foreach(base "${dir}" "${CMAKE_SOURCE_DIR}")
          if(EXISTS "${base}/${n}" AND NOT IS_DIRECTORY "${base}/${n}")
            list(APPEND inputs "${base}/${n}")
            break()
          endif()
        endforeach()
      endforeach()
    endforeach()
    if(inputs)
      set_property(SOURCE "${src}" APPEND PROPERTY OBJECT_DEPENDS ${inputs})
    endif()
  endforeach()
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
# when a file the .rc names changes, and ships stripped (qnt_shipped_program).
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
  qnt_shipped_program(${name})
endfunction()
