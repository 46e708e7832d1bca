list(APPEND FOUNDATION_SOURCES translator/cmp_TTranslator.cpp)
