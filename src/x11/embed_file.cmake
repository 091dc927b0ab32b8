# cmake -DIN=file -DOUT=file.cpp -P embed_file.cmake: the bytes of IN as the
# array kBackgroundPng.
file(READ "${IN}" hex HEX)
string(LENGTH "${hex}" n)
math(EXPR size "${n} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," body "${hex}")
file(WRITE "${OUT}" "#include <cstddef>\nextern const unsigned char kBackgroundPng[];\nextern const size_t kBackgroundPngSize;\n"
  "const unsigned char kBackgroundPng[] = {${body}};\nconst size_t kBackgroundPngSize = ${size};\n")
