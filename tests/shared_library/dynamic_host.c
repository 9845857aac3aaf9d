/* A host that loads the library at run time, as an application that ships
 * it beside itself does: it resolves the exports it uses by name, checks each
 * file given and prints the lines that the library formats.
 *
 * Usage: kvel_dynamic_host LIBRARY FILE...
 * Exit status: 0 when every file was checked, 2 when the library or an export
 * could not be loaded. */
#include <stdio.h>

#include "KVELRead.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

typedef int (*OpenFileFn)(const char*, KVEL_MAIN_HEADER*);
typedef int (*CheckFormatFn)(int, int);
typedef int (*CloseFileFn)(void);
typedef int (*GetErrorCountFn)(void);
typedef void (*GetErrorStringFn)(int, char*, int);
typedef void (*AnyFn)(void);

static AnyFn resolve(void* library, const char* name) {
#ifdef _WIN32
    return (AnyFn)GetProcAddress((HMODULE)library, name);
#else
    AnyFn fn;
    *(void**)&fn = dlsym(library, name);
    return fn;
#endif
}

static void printErrors(int first, GetErrorCountFn getErrorCount, GetErrorStringFn getErrorString) {
    char line[4096];
    int i;
    for (i = first; i < getErrorCount(); ++i) {
        getErrorString(i, line, (int)sizeof line);
        printf("%s\n", line);
    }
}

int main(int argc, char** argv) {
    void* library;
    OpenFileFn openFile;
    CheckFormatFn checkFormat;
    CloseFileFn closeFile;
    GetErrorCountFn getErrorCount;
    GetErrorStringFn getErrorString;
    int i;

    if (argc < 2) {
        fprintf(stderr, "usage: %s LIBRARY FILE...\n", argv[0]);
        return 2;
    }
#ifdef _WIN32
    library = (void*)LoadLibraryA(argv[1]);
#else
    library = dlopen(argv[1], RTLD_NOW);
#endif
    if (!library) {
        fprintf(stderr, "cannot load %s\n", argv[1]);
        return 2;
    }
    openFile = (OpenFileFn)resolve(library, "KVELOpenFile");
    checkFormat = (CheckFormatFn)resolve(library, "KVELCheckFormat");
    closeFile = (CloseFileFn)resolve(library, "KVELCloseFile");
    getErrorCount = (GetErrorCountFn)resolve(library, "KVELGetErrorCount");
    getErrorString = (GetErrorStringFn)resolve(library, "KVELGetErrorString");
    if (!openFile || !checkFormat || !closeFile || !getErrorCount || !getErrorString) {
        fprintf(stderr, "an export is missing from %s\n", argv[1]);
        return 2;
    }

    for (i = 2; i < argc; ++i) {
        KVEL_MAIN_HEADER header;
        printf("%s\n", argv[i]);
        if (openFile(argv[i], &header) != 0) {
            /* A failed load appends one record, why it failed; one that
             * could not open the file leaves the list's older records. */
            printErrors(getErrorCount() - 1, getErrorCount, getErrorString);
            printf("load failed\n");
            continue;
        }
        /* Opening emptied the list, so it holds this check's records only. */
        printf("check: %d\n", checkFormat(0, 0));
        printErrors(0, getErrorCount, getErrorString);
        closeFile();
    }
    return 0;
}
