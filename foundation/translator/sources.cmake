list(APPEND FOUNDATION_SOURCES translator/cmp_TTranslator.cpp)
# The control translation and the language fonts work on forms and controls:
# Windows only, over the forms library.
list(APPEND FOUNDATION_WIN32_SOURCES
  translator/cmp_TTranslator_Controls.cpp
  translator/cmp_TTranslateControls.cpp)
list(APPEND FOUNDATION_WIN32_LIBS classlib_ui)
