# cmake -DIN=text.md -DOUT=out.md -P windows_text.cmake
# Writes IN to OUT with CRLF line ends behind a UTF-8 byte-order mark.
file(READ "${IN}" text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
string(ASCII 239 187 191 bom)
file(WRITE "${OUT}" "${bom}${text}")
