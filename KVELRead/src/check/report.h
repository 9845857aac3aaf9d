// How a rule reports what it finds. Each rule is written once, as a template
// over one of these policies:
//   Full   appends the record, counts it and goes on (warnings held back
//          when the run suppresses them): the checks as specified;
//   Probe  appends nothing and stops the rule at its first problem, warnings
//          included: "does this raise anything?", for the fast paths;
//   Sweep  the same question, answered after every test (see below).
// A rule tests first and changes its state last, so a rule that a Probe
// stops leaves the state as it was and the Full form can take the record
// from the start.
#pragma once

#include <cstdint>

#include "check/check_state.h"

namespace kvel {

struct Full {
    Check& c;

    uint32_t at(const unsigned char* p) const { return fileOffset(c, p); }
    bool error(int32_t code, uint32_t offset, int32_t paramCount = 0, uint32_t p1 = 0, uint32_t p2 = 0,
               uint32_t p3 = 0) const {
        raise(c, code, offset, paramCount, p1, p2, p3);
        return true;
    }
    bool warning(int32_t code, uint32_t offset, int32_t paramCount = 0, uint32_t p1 = 0, uint32_t p2 = 0) const {
        if (!c.run.suppressWarnings) raise(c, code, offset, paramCount, p1, p2, 0);
        return true;
    }
};

struct Probe {
    uint32_t at(const unsigned char*) const { return 0; }
    bool error(int32_t, uint32_t, int32_t = 0, uint32_t = 0, uint32_t = 0, uint32_t = 0) const { return false; }
    bool warning(int32_t, uint32_t, int32_t = 0, uint32_t = 0, uint32_t = 0) const { return false; }
};

// A probe that goes on past a problem and only notes that there was one:
// with no early exits, the compiler can make a run of tests one OR of their
// conditions. Only for checks whose state changes nothing that a later test
// reads (the zone checks); the caller puts back what such a check changed.
struct Sweep {
    mutable bool found = false;

    uint32_t at(const unsigned char*) const { return 0; }
    bool error(int32_t, uint32_t, int32_t = 0, uint32_t = 0, uint32_t = 0, uint32_t = 0) const {
        found = true;
        return true;
    }
    bool warning(int32_t, uint32_t, int32_t = 0, uint32_t = 0, uint32_t = 0) const {
        found = true;
        return true;
    }
};

#if defined(__GNUC__)
#define KVEL_RULE [[gnu::always_inline]] inline
#else
#define KVEL_RULE inline
#endif

}  // namespace kvel
