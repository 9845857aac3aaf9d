// Checks the files of a walk on several threads and hands the results over
// in the walk's order, so that the report is the same whatever the number of
// threads.
#pragma once

#include <functional>
#include <istream>

#include "check_run.h"
#include "input_walk.h"

namespace kvel_tool {

// Checks every input of `walk` with `jobs` checkers (at least 1), each on a
// thread of its own when there are two or more, and calls `deliver` on the
// calling thread with each result in input order. At most a few results per
// checker wait for their turn, so memory does not grow with the number of
// files. Stops early when `deliver` returns false.
void checkInOrder(InputWalk& walk, unsigned jobs, const CheckOptions& options, std::istream& in,
                  const std::function<bool(const FileResult&)>& deliver);

}  // namespace kvel_tool
