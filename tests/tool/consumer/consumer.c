/* A program that uses an installed KVELRead: checks one file and prints how
 * many problems it has. */
#include <stdio.h>

#include "KVELRead.h"

int main(int argc, char** argv) {
    KVEL_MAIN_HEADER header;
    if (argc != 2 || KVELOpenFile(argv[1], &header) != 0) return 2;
    int problems = -KVELCheckFormat(0, 0);
    KVELCloseFile();
    printf("%s %d\n", KVEL_VERSION_STRING, problems);
    return problems != 0;
}
