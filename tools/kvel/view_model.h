// The model that the timeline (web/timeline.js) draws, for `kvel view` and
// for the web page alike: the file's frames as `kvel dump --format json`
// gives them but without the event records, which the timeline reads from
// the file's own bytes (10 bytes an event, far smaller than JSON), where
// they lie, the check's verdict and records as `kvel check --format json`
// gives them, and the names the dump uses for categories and outline codes.
#pragma once

#include <cstdint>

#include <nlohmann/json.hpp>

#include "check_run.h"
#include "kvmf_image.h"

namespace kvel_tool {

inline constexpr int kViewSchemaVersion = 1;

nlohmann::ordered_json viewModel(Image image, const FileResult& check, uint64_t fileSize);

}  // namespace kvel_tool
