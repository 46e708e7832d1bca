# The Quillant library, installed: find_package(Quillant CONFIG REQUIRED).
# It gives the targets Quillant::<library>, the function quillant_add_setup
# (QuillantSetup.cmake) and QUILLANT_PROGRAMS_DIR, the folder of the shipped
# programs (QuillantLoadProgram.exe, uninstall.exe, Fetchkit.ocx) and of the
# wizard driver qnt_wizard_driver.exe.
include(${CMAKE_CURRENT_LIST_DIR}/QuillantTargets.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/QuillantSetup.cmake)
get_filename_component(QUILLANT_PROGRAMS_DIR ${CMAKE_CURRENT_LIST_DIR}/../../../bin ABSOLUTE)
# A setup program embeds its module's text and pictures through a resource script.
enable_language(RC)
