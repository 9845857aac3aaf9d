// The tables the event walk looks records up in, kept by the reader. They
// follow from the categories a file declares, and are made again only when
// a check's declared categories differ from the last ones: in a run over
// many files of one kind, almost never.
#pragma once

#include <cstdint>

namespace kvel {

struct WalkTables {
    // One base for the counts and the quiet kinds keeps a register free in
    // the quiet path's loop.
    uint32_t counts[256];      // this walk's records by the value's top byte (bit 31 and the category)
    uint8_t quietKinds[2048];  // the quiet path's kinds by the value's bits 21-31
    uint8_t kinds[256];        // by the top byte: rule, and whether undeclared
    uint8_t madeFor[256];      // the declared categories the kinds were made for
    bool made;
};

}  // namespace kvel
