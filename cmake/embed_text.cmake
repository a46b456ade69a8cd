# Writes a C++ source that holds the text of one file as a raw string:
#   cmake -DINPUT=<file> -DOUTPUT=<file.cpp> -DNAME=<identifier> -P embed_text.cmake
# The array has external linkage; users declare it `extern const char NAME[];`.
file(READ "${INPUT}" text)
# The raw string ends at the first )text" in the file, so no file may hold one.
string(FIND "${text}" ")text\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${INPUT} contains )text\" and cannot be embedded as a raw string")
endif()
get_filename_component(source_name "${INPUT}" NAME)
file(WRITE "${OUTPUT}"
  "// Generated at build time from ${source_name}; edit that file instead.\n"
  "extern const char ${NAME}[];\n"
  "const char ${NAME}[] = R\"text(${text})text\";\n")
