# Shared by the consumer checks: the sample file, the lines a host program
# must print for it, and the builds against an installed KVELRead.
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
sample=$root/examples/broken/zone.kvmf
version=$(sed -n 's/^#define KVEL_VERSION_STRING "\(.*\)"$/\1/p' "$root/KVELRead/include/KVELRead.h")

# expect_lines WHAT PROGRAM: the program's output for the sample must be
# expected.txt, line for line, with the header's version for VERSION.
expect_lines() {
    out=$(mktemp)
    "$2" "$sample" >"$out" || { echo "$1: exit status $?"; rm -f "$out"; exit 1; }
    sed "s/^VERSION /$version /" "$here/expected.txt" | diff -u - "$out" ||
        { echo "$1: other lines than expected.txt"; rm -f "$out"; exit 1; }
    rm -f "$out"
}

# check_consumers PREFIX WORK_DIR: builds the host program against the
# KVELRead installed under PREFIX through its CMake package (and statically,
# when the static library is installed too) and through pkg-config, and runs
# each build.
check_consumers() {
    prefix=$1 work=$2
    cmake -S "$here/app" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$prefix" >"$work/cmake.log" 2>&1 &&
        cmake --build "$work/cmake" >>"$work/cmake.log" 2>&1 || { cat "$work/cmake.log"; exit 1; }
    expect_lines "CMake package consumer" "$work/cmake/consumer"
    if [ -e "$work/cmake/consumer_static" ]; then
        expect_lines "static CMake package consumer" "$work/cmake/consumer_static"
    fi

    pc=$(dirname "$(find "$prefix" -name KVELRead.pc)")
    flags=$(PKG_CONFIG_PATH=$pc pkg-config --cflags --libs KVELRead)
    libdir=$(PKG_CONFIG_PATH=$pc pkg-config --variable=libdir KVELRead)
    # shellcheck disable=SC2086
    cc "$here/app/consumer.c" $flags -o "$work/pc-consumer"
    LD_LIBRARY_PATH=$libdir expect_lines "pkg-config consumer" "$work/pc-consumer"
}
