# Compile settings shared by every target of ours (not by googletest).
add_library(qnt_options INTERFACE)
target_compile_options(qnt_options INTERFACE -Wall -Wextra)
target_include_directories(qnt_options INTERFACE ${CMAKE_SOURCE_DIR})
if(WIN32)
  target_compile_definitions(qnt_options INTERFACE
    UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601 WINVER=0x0601)
endif()

option(QNT_SANITIZE "Native build with AddressSanitizer and UBSan" ON)
if(QNT_NATIVE AND QNT_SANITIZE)
  set(QNT_SAN_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_compile_options(${QNT_SAN_FLAGS})
  add_link_options(${QNT_SAN_FLAGS})
endif()

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

# qnt_library(NAME SOURCES ... [WIN32_SOURCES ...] [LIBS ...])
# WIN32_SOURCES are left out of the native build.
function(qnt_library name)
  cmake_parse_arguments(A "" "" "SOURCES;WIN32_SOURCES;LIBS;WIN32_LIBS" ${ARGN})
  set(srcs ${A_SOURCES})
  if(NOT QNT_NATIVE)
    list(APPEND srcs ${A_WIN32_SOURCES})
  endif()
  add_library(${name} STATIC ${srcs})
  qnt_rc_inputs(${srcs})
  target_link_libraries(${name} PUBLIC qnt_options ${A_LIBS})
  if(NOT QNT_NATIVE AND A_WIN32_LIBS)
    target_link_libraries(${name} PUBLIC ${A_WIN32_LIBS})
  endif()
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
