// The same layout and link checks as a C++11 host sees the header, which
// has no flexible array members.
#include "test_header_c.c"
