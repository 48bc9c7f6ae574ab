# Writes OUTPUT, a C++ source that holds the bytes of INPUT unchanged, and
# the size of the file DECODED_FROM that INPUT is the stream of, as
#   extern const unsigned char SYMBOL[]; extern const unsigned SYMBOL_size;
#   extern const unsigned SYMBOL_decoded_size;
file(READ "${INPUT}" hex HEX)
file(SIZE "${INPUT}" size)
file(SIZE "${DECODED_FROM}" decoded_size)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
get_filename_component(source_name "${DECODED_FROM}" NAME)
file(WRITE "${OUTPUT}.tmp"
"// Generated from ${source_name} at build time; do not edit.\n"
"extern const unsigned char ${SYMBOL}[];\n"
"extern const unsigned ${SYMBOL}_size;\n"
"extern const unsigned ${SYMBOL}_decoded_size;\n"
"const unsigned char ${SYMBOL}[${size}] = {\n${bytes}};\n"
"const unsigned ${SYMBOL}_size = ${size};\n"
"const unsigned ${SYMBOL}_decoded_size = ${decoded_size};\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
