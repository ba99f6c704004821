# Copies a text file with CR LF line ends: cmake -DINPUT=a -DOUTPUT=b -P copy_crlf.cmake
file(READ "${INPUT}" text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUTPUT}" "${text}")
