# Gathers the files this setup installs into PAYLOAD (run with cmake -P):
# every FileName of the install module (MODULE), taken from the build's
# programs in BIN when it is one of ours, else written as a small text that
# stands in for the file of the component library the product ships.
file(STRINGS "${MODULE}" lines REGEX "^    FileName = '")
file(MAKE_DIRECTORY "${PAYLOAD}")
foreach(line ${lines})
  string(REGEX REPLACE "^    FileName = '(.*)'$" "\\1" name "${line}")
  if(EXISTS "${BIN}/${name}")
    file(COPY_FILE "${BIN}/${name}" "${PAYLOAD}/${name}" ONLY_IF_DIFFERENT)
  elseif(NOT EXISTS "${PAYLOAD}/${name}")
    file(WRITE "${PAYLOAD}/${name}" "Quillant32 2.5 Beta: a stand-in for ${name} of the component library.\r\n")
  endif()
endforeach()
