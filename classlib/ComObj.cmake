# The in-process COM server and ActiveX control framework, COM errors, and the
# DDE client conversation.
list(APPEND CLASSLIB_WIN32_SOURCES ComObj.cpp DdeMan.cpp)
list(APPEND CLASSLIB_WIN32_LIBS ole32 oleaut32 uuid user32)
