# Compile settings shared by every target of ours (not by googletest), and by
# an author's setup program built against the installed library: its headers
# are included by their path from the source root ("engine/cmp_TInstall.h").
add_library(qnt_options INTERFACE)
target_compile_options(qnt_options INTERFACE $<BUILD_INTERFACE:-Wall -Wextra>)
target_compile_features(qnt_options INTERFACE cxx_std_20)
target_include_directories(qnt_options INTERFACE
  $<BUILD_INTERFACE:${CMAKE_SOURCE_DIR}> $<INSTALL_INTERFACE:${QNT_INSTALL_INCLUDEDIR}>)
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

# The functions a setup program's build needs (qnt_rc_inputs,
# qnt_shipped_program, quillant_add_setup); installed with the library.
include(${CMAKE_CURRENT_LIST_DIR}/QuillantSetup.cmake)

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

# What `cmake --install` puts into a prefix, for authors who build their
# setup programs against the library (find_package(Quillant CONFIG)): the
# libraries and object libraries a setup program links, their headers, the
# programs a setup ships or its tests use, and the package. The native build
# installs nothing. Each library is also known as Quillant::<name>, the name
# the package gives it, so that quillant_add_setup links alike in the tree.
function(qnt_install_library)
  foreach(t ${ARGN})
    add_library(Quillant::${t} ALIAS ${t})
  endforeach()
  if(QNT_NATIVE)
    return()
  endif()
  set_property(GLOBAL APPEND PROPERTY QNT_INSTALLED_TARGETS ${ARGN})
  install(TARGETS ${ARGN} EXPORT QuillantTargets
    ARCHIVE DESTINATION ${QNT_INSTALL_LIBDIR}
    OBJECTS DESTINATION ${QNT_INSTALL_LIBDIR}/quillant-objects)
endfunction()

# The headers of this folder and its subfolders, at their path from the
# source root.
function(qnt_install_headers)
  if(QNT_NATIVE)
    return()
  endif()
  file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/ DESTINATION ${QNT_INSTALL_INCLUDEDIR}/${rel}
    FILES_MATCHING PATTERN "*.h" PATTERN resources EXCLUDE PATTERN forms EXCLUDE)
endfunction()

# A shipped program (qnt_shipped_program) with its .debug file, into bin.
function(qnt_install_program target)
  if(QNT_NATIVE)
    return()
  endif()
  set_property(GLOBAL APPEND PROPERTY QNT_INSTALLED_TARGETS ${target})
  install(PROGRAMS $<TARGET_FILE:${target}> DESTINATION ${QNT_INSTALL_BINDIR})
  install(FILES $<TARGET_FILE:${target}>.debug DESTINATION ${QNT_INSTALL_BINDIR})
endfunction()

add_library(Quillant::qnt_options ALIAS qnt_options)
if(NOT QNT_NATIVE)
  install(TARGETS qnt_options EXPORT QuillantTargets)
endif()
