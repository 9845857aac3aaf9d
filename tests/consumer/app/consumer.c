/* A host program: checks one file and prints the library's version, the
 * number of problems and every record's line. The lines show that the
 * message texts came along, whichever way the library was linked. */
#include <stdio.h>

#include "KVELRead.h"

int main(int argc, char** argv) {
    KVEL_MAIN_HEADER header;
    if (argc != 2 || KVELOpenFile(argv[1], &header) != 0) return 2;
    int problems = -KVELCheckFormat(0, 0);
    printf("%s %d\n", KVEL_VERSION_STRING, problems);
    for (int i = 0; i < KVELGetErrorCount(); ++i) {
        char line[512];
        KVELGetErrorString(i, line, sizeof line);
        printf("%s\n", line);
    }
    KVELCloseFile();
    return 0;
}
