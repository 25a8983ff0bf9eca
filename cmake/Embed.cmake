# Writes OUTPUT, a C++ file holding the bytes of every file in FILES (a
# semicolon-separated list), so the program finds its dialog templates and
# icons whatever its current directory. Run with cmake -P.
set(body "")
set(table "")
set(index 0)
string(REPLACE "|" ";" FILES "${FILES}")
foreach(path IN LISTS FILES)
  get_filename_component(name "${path}" NAME)
  file(READ "${path}" hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR size "${hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n    " bytes "${bytes}")
  string(APPEND body "const unsigned char File${index}[] = {\n    ${bytes}0};\n")
  string(APPEND table "    {\"${name}\", File${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUTPUT}.new"
  "// Generated from resources/ by cmake/Embed.cmake; do not edit.\n"
  "#include \"platform/wx/Embedded.h\"\n\n"
  "namespace vobrik {\nnamespace {\n${body}} // namespace\n\n"
  "const TEmbeddedFile EmbeddedFiles[] = {\n${table}};\n"
  "const size_t EmbeddedFileCount = ${index};\n\n"
  "} // namespace vobrik\n")
# Only a real change touches the file, so that nothing is rebuilt needlessly.
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different "${OUTPUT}.new" "${OUTPUT}")
file(REMOVE "${OUTPUT}.new")
