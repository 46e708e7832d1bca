# The in-process COM server and ActiveX control framework.
list(APPEND CLASSLIB_WIN32_SOURCES ComObj.cpp)
list(APPEND CLASSLIB_WIN32_LIBS ole32 oleaut32 uuid)
