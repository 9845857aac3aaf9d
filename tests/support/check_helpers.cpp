#include "check_helpers.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>

namespace kvtest {

KVEL_READER* testReader() {
#ifdef KVEL_TEST_THROUGH_READER
    static KVEL_READER* const reader = KVELCreateReader();
    return reader;
#else
    return &kvel::defaultReader();
#endif
}

void setLoaderHooks(const kvel::FileLoaderHooks& hooks) {
    const kvel::FileLoaderHooks defaults = kvel::defaultFileLoaderHooks();
    testReader()->hooks = {hooks.allocate ? hooks.allocate : defaults.allocate, hooks.read ? hooks.read : defaults.read};
}

std::string line(int index) {
    std::vector<char> text(8192, '\x7f');
    KVELGetErrorString(index, text.data(), static_cast<int>(text.size()));
    return text.data();
}

std::vector<std::string> linesFrom(int first) {
    std::vector<std::string> out;
    for (int i = first; i < KVELGetErrorCount(); ++i) out.push_back(line(i));
    return out;
}

void resetLibrary() {
    KVELCloseFile();
    kvel::clearErrors(testReader()->errors);
}

std::string tempPath() {
    return (std::filesystem::temp_directory_path() / ("kvel_unit_" + std::to_string(getpid()) + ".kvmf")).string();
}

std::string writeTemp(const std::vector<uint8_t>& bytes) {
    const std::string path = tempPath();
    if (!kvmf::writeFile(path, bytes)) ADD_FAILURE() << "cannot write " << path;
    return path;
}

namespace {

Outcome runCheck(int suppressWarnings, int allowUserCategories) {
    const int before = KVELGetErrorCount();
    const int result = KVELCheckFormat(suppressWarnings, allowUserCategories);
    return {result, linesFrom(before)};
}

std::string joined(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines) s += "  " + l + "\n";
    return s;
}

}  // namespace

std::vector<uint8_t>& loadMemory(const kvmf::Doc& doc) {
    static std::vector<uint8_t> image;
    resetLibrary();
    image = doc.bytes();
    KVEL_MAIN_HEADER header;
    if (KVELSetBuffer(image.data(), &header) != 0) ADD_FAILURE() << "KVELSetBuffer refused the image";
    return image;
}

Outcome checkMemory(const kvmf::Doc& doc, int suppressWarnings, int allowUserCategories) {
    loadMemory(doc);
    return runCheck(suppressWarnings, allowUserCategories);
}

Outcome checkFile(const kvmf::Doc& doc, int suppressWarnings, int allowUserCategories) {
    resetLibrary();
    const std::string path = writeTemp(doc.bytes());
    KVEL_MAIN_HEADER header;
    const int opened = KVELOpenFile(path.c_str(), &header);
    std::remove(path.c_str());
    if (opened != 0) ADD_FAILURE() << "KVELOpenFile failed:\n" << joined(linesFrom(0));
    return runCheck(suppressWarnings, allowUserCategories);
}

Outcome check(const kvmf::Doc& doc, int suppressWarnings, int allowUserCategories) {
    const Outcome memory = checkMemory(doc, suppressWarnings, allowUserCategories);
    const Outcome file = checkFile(doc, suppressWarnings, allowUserCategories);
    if (memory.result != file.result || memory.lines != file.lines)
        ADD_FAILURE() << "memory image and file disagree\nmemory (" << memory.result << "):\n"
                      << joined(memory.lines) << "file (" << file.result << "):\n" << joined(file.lines);
    return file;
}

::testing::AssertionResult linesAre(const Outcome& outcome, const std::vector<std::string>& expected) {
    const int count = -static_cast<int>(expected.size());
    if (outcome.lines == expected && outcome.result == count) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "expected result " << count << " and lines:\n" << joined(expected)
                                         << "got result " << outcome.result << " and lines:\n"
                                         << joined(outcome.lines);
}

kvmf::Doc wellFormedWith(const std::function<void(kvmf::Doc&)>& edit) {
    kvmf::Doc doc = kvmf::wellFormed();
    edit(doc);
    return doc;
}

void expectRows(const kvmf::Doc& base, const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        kvmf::Doc doc = base;
        row.edit(doc);
        EXPECT_LINES(check(doc, row.suppressWarnings, row.allowUserCategories), row.lines) << row.label;
    }
}

kvmf::Doc twoZones() {
    kvmf::Doc d;
    d.events = {
        kvmf::zoneEvent(1, 1, 0, 0),       kvmf::outlineEvent(1, 1, 0, 16), kvmf::outlineEvent(1, 1, 0, 2),
        kvmf::outlineEvent(1, 1, 0, 3),    kvmf::outlineEvent(1, 1, 0, 4),  kvmf::beatEvent(1, 1, 0, true),
        kvmf::beatEvent(1, 2, 100),        kvmf::zoneEvent(2, 1, 200, 1),   kvmf::outlineEvent(2, 1, 200, 2),
        kvmf::beatEvent(2, 1, 200, true),  kvmf::beatEvent(2, 2, 300),      kvmf::outlineEvent(0xFFF, 0, 400, 17),
        kvmf::terminatorEvent(400),
    };
    kvmf::Zone z;
    z.meterNumerator = 2;
    z.zoneEndPosition = 70;
    d.zones.push_back(z);
    z.zoneStartPosition = 70;
    z.zoneEndPosition = 120;
    d.zones.push_back(z);
    d.totalSamples = 1000;
    d.effectiveEnd = 400;
    return d;
}

namespace {

void shiftPositions(kvmf::Doc& doc, uint32_t from, int32_t delta) {
    for (kvmf::Zone& z : doc.zones) {
        for (uint32_t* p : {&z.zoneStartPosition, &z.zoneEndPosition, &z.fadeInStartPosition,
                            &z.fadeInEndPosition, &z.fadeOutStartPosition, &z.fadeOutEndPosition})
            if (*p != kvmf::kNone && *p >= from) *p = static_cast<uint32_t>(static_cast<int32_t>(*p) + delta);
    }
}

}  // namespace

void insertEvent(kvmf::Doc& doc, size_t index, const kvmf::Event& event) {
    doc.events.insert(doc.events.begin() + static_cast<std::ptrdiff_t>(index), event);
    shiftPositions(doc, static_cast<uint32_t>(10 * index), 10);
}

void eraseEvent(kvmf::Doc& doc, size_t index) {
    doc.events.erase(doc.events.begin() + static_cast<std::ptrdiff_t>(index));
    shiftPositions(doc, static_cast<uint32_t>(10 * index + 10), -10);
}

}  // namespace kvtest
