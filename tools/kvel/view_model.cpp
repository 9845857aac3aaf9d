#include "view_model.h"

#include "check_report.h"
#include "image_json.h"
#include "kvmf_names.h"

namespace kvel_tool {
namespace {

template <size_t N>
Json namesJson(const Named (&table)[N]) {
    Json j = Json::object();
    for (const Named& n : table) j[std::to_string(n.number)] = n.text;
    return j;
}

}  // namespace

Json viewModel(Image image, const FileResult& check, uint64_t fileSize) {
    const size_t eventCount = image.events.size();
    // Both can be as large as the file; the page has the bytes themselves.
    image.events.clear();
    image.trailing.clear();
    Json doc;
    doc["schemaVersion"] = kViewSchemaVersion;
    doc["image"] = imageToJson(image, check.path, fileSize);
    if (doc["image"].contains("eventSubFrame")) doc["image"]["eventSubFrame"].erase("events");
    Json layout = {{"zoneRecordsOffset", kMainHeaderSize + kZoneHeaderSize}, {"zoneRecordSize", kZoneRecordSize}};
    if (image.eventHeader) layout["eventSubFrameOffset"] = eventSubFrameOffset(image);
    if (image.eventBodySize) layout["firstEventOffset"] = firstEventOffset(image);
    layout["eventCount"] = eventCount;
    layout["eventRecordSize"] = kEventRecordSize;
    doc["layout"] = std::move(layout);
    doc["check"] = fileJson(check);
    doc["names"] = {{"categories", namesJson(kCategories)}, {"outline", namesJson(kOutlineCodes)}};
    return doc;
}

}  // namespace kvel_tool
