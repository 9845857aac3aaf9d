#include "harness.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "KVELRead.h"
#include "interface/error_list.h"
#include "interface/reader.h"
#include "kvmf_records.h"

namespace kvelfuzz {
namespace {

// A broken promise of the library is a finding like a crash: abort so that
// the fuzzer keeps the input.
void require(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "KVELRead broke its contract: %s\n", what);
    std::abort();
}

int lastCode() {
    KVEL_ERROR_RECORD r{};
    const int n = KVELGetErrorCount();
    return n > 0 && KVELGetErrorRecord(n - 1, &r) == 0 ? r.code : 0;
}

volatile unsigned g_sink;

// Reads every byte of a range, so that the sanitizer sees whether it is held.
void touch(const void* p, size_t n) {
    const unsigned char* b = static_cast<const unsigned char*>(p);
    unsigned sum = 0;
    for (size_t i = 0; i < n; ++i) sum += b[i];
    g_sink = g_sink + sum;
}

// Every export that formats or iterates the list. Each record is formatted
// whole and into one of several short buffers, all on the heap and exactly as
// large as said, so any write past textSize is caught.
void readErrors() {
    static const int kShortSizes[] = {1, 2, 10, 40, 64, 100};
    const int count = KVELGetErrorCount();
    require(count >= 0 && count <= 1000, "error count outside 0..1000");
    for (int i = -1; i <= count; ++i) {
        for (int size : {4096, kShortSizes[static_cast<unsigned>(i + 1) % std::size(kShortSizes)]}) {
            std::vector<char> text(static_cast<size_t>(size), 'x');
            KVELGetErrorString(i, text.data(), size);
            const size_t len = strnlen(text.data(), text.size());
            require(len < text.size(), "line not terminated inside its buffer");
            if (i < 0 || i == count)
                require(len == 0, "an index outside the list gives a line");
            else if (size == 4096)
                require(std::strncmp(text.data(), "ERROR(", 6) == 0 || std::strncmp(text.data(), "WARNING(", 8) == 0,
                        "line without its prefix");
        }
        KVEL_ERROR_RECORD r{};
        const int got = KVELGetErrorRecord(i, &r);
        require((got == 0) == (i >= 0 && i < count), "record lookup disagrees with the count");
        if (got == 0) require(r.code < 0 && r.paramCount >= 0 && r.paramCount <= 4, "malformed record");
    }
    int visited = 0;
    for (int code = KVELGetFirstError(); code != 0; code = KVELGetNextError()) {
        require(code < 0, "a code that is not negative");
        ++visited;
    }
    require(visited == count, "first/next does not visit every record");
}

void checkAllSwitches() {
    for (int suppress = 0; suppress < 2; ++suppress) {
        for (int user = 0; user < 2; ++user) {
            const int before = KVELGetErrorCount();
            const int result = KVELCheckFormat(suppress, user);
            const int after = KVELGetErrorCount();
            require(result <= 0, "positive check result");
            if (after < 1000) require(-result == after - before, "check result is not minus the records appended");
        }
    }
}

// Calls `copy` into a destination of `want` bytes, or of `held` bytes when
// `want` is more than can be held (the copy must then be refused).
template <typename Copy>
void copyInto(int64_t want, size_t held, Copy copy) {
    const bool tooLong = want > static_cast<int64_t>(held);
    const size_t length = want < 1 ? 1 : static_cast<size_t>(std::min<int64_t>(want, static_cast<int64_t>(held)));
    std::vector<unsigned char> dest(std::max<size_t>(length, 1));
    const int before = KVELGetErrorCount();
    const int result = copy(dest.data());
    require(result == 0 || result == -1, "copy result other than 0 or -1");
    if (result == -1) require(lastCode() == -4 || (before == 1000 && lastCode() == -2), "refused copy without -4");
    if (tooLong && want >= 1) require(result == -1, "copy of more than is held succeeded");
}

// The views of a loaded image lie inside it: the zone records, the event
// header, its table and the converted records are all readable.
void readViews(size_t held) {
    unsigned char* base = static_cast<unsigned char*>(KVELGetWholeBuffer());
    const KVEL_ZONE_SUBFRAME* zone = KVELGetZoneSubFrame();
    const KVEL_EVENT_SUBFRAME* event = KVELGetEventSubFrame();
    const KVEL_EVENT* first = KVELGetFirstEvent();
    require(base || (!zone && !event && !first), "views outlive the buffer");
    if (!zone) {
        require(!event && !first, "views set apart");
        return;
    }
    // The zone count alone may claim more: an event sub-frame placed over it
    // rewrites it.
    const uint16_t zoneCount = zone->zoneCount;
    touch(zone, std::min(6 + 58 * size_t{zoneCount}, held - 20));
    const uint16_t categories = event->categoryCount;
    touch(event, 40 + 4 * size_t{categories});
    const int32_t body = kvel::defaultReader().views.eventBodySize;
    if (body > 0) touch(first, static_cast<size_t>(body) / 10 * 10);
}

void readFrames(size_t held) {
    KVEL_MAIN_HEADER header{};
    const bool loaded = KVELGetWholeBuffer() != nullptr;
    require((KVELReadMainHeader(&header) == 0) == loaded, "main header copy disagrees with the load state");
    require(KVELReadMainHeader2(nullptr, nullptr, 0) == 0 && KVELReadEntireFrame2(nullptr, 0) == 0,
            "the no-op exports did something");
    readViews(held);

    copyInto(static_cast<int32_t>(header.totalFrameSize), held, KVELReadEntireFrame);
    const KVEL_ZONE_SUBFRAME* zone = KVELGetZoneSubFrame();
    // The caller's side of the contract: 6 + 58 * zoneCount bytes.
    const int64_t zoneBytes = zone ? 6 + 58 * int64_t{zone->zoneCount} : 6;
    std::vector<unsigned char> zoneDest(static_cast<size_t>(zoneBytes));
    const int zoneResult = KVELReadZoneSubFrame(reinterpret_cast<KVEL_ZONE_SUBFRAME*>(zoneDest.data()));
    require(zoneResult == 0 || (zoneResult == -1 && (lastCode() == -4 || lastCode() == -2)), "zone copy result");
    require(zone || zoneResult == -1, "zone copy without a zone view");
    (void)KVELGetBufferSizeForZoneSubFrame();
    copyInto(KVELGetBufferSizeForEventSubFrame(), held, KVELReadEventSubFrame);
}

void exercise(size_t held) {
    readFrames(held);
    checkAllSwitches();
    readErrors();
}

std::vector<std::string> lines() {
    std::vector<std::string> out;
    std::vector<char> text(4096);
    for (int i = 0; i < KVELGetErrorCount(); ++i) {
        KVELGetErrorString(i, text.data(), static_cast<int>(text.size()));
        out.emplace_back(text.data());
    }
    return out;
}

struct TempFile {
    std::string path;
    TempFile() {
        const char* dir = std::getenv("TMPDIR");
        std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/kvel-fuzz-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        const int fd = mkstemp(name.data());
        require(fd >= 0, "cannot create the temporary file");
        close(fd);
        path = name.data();
    }
    ~TempFile() { std::remove(path.c_str()); }
};

// The input in a file of its own, rewritten for every input.
const std::string& writeInput(const uint8_t* data, size_t size) {
    static TempFile file;
    std::FILE* f = std::fopen(file.path.c_str(), "wb");
    require(f != nullptr, "cannot write the temporary file");
    const bool written = size == 0 || std::fwrite(data, 1, size, f) == size;
    require(std::fclose(f) == 0 && written, "cannot write the temporary file");
    return file.path;
}

std::vector<KVEL_ERROR_RECORD> records(KVEL_READER* reader, int from) {
    std::vector<KVEL_ERROR_RECORD> out(static_cast<size_t>(std::max(0, KVELReaderGetErrorCount(reader) - from)));
    for (size_t i = 0; i < out.size(); ++i) KVELReaderGetErrorRecord(reader, from + static_cast<int>(i), &out[i]);
    return out;
}

bool same(const std::vector<KVEL_ERROR_RECORD>& a, const std::vector<KVEL_ERROR_RECORD>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof a[0]) == 0);
}

// The same bytes through the file-image loader, on a reader of their own,
// load and check exactly as the open of their file did on the default one.
void compareFileImage(const uint8_t* data, size_t size, int opened, const std::vector<KVEL_ERROR_RECORD>& openRecords) {
    static KVEL_READER* const reader = KVELCreateReader();
    require(reader != nullptr, "out of memory");
    KVEL_READER* const flat = &kvel::defaultReader();
    KVEL_MAIN_HEADER header{};
    require(KVELReaderLoadFileImage(reader, data, size, &header) == opened, "the file-image loader disagrees with the open");
    require(same(records(reader, 0), openRecords), "the file-image loader's records differ from the open's");
    if (opened == 0) {
        const unsigned char* a = static_cast<const unsigned char*>(KVELReaderGetWholeBuffer(reader));
        const unsigned char* b = static_cast<const unsigned char*>(KVELGetWholeBuffer());
        require(std::memcmp(a, b, size) == 0, "the file-image loader converts the file differently");
        const int n = KVELReaderGetErrorCount(reader), m = KVELGetErrorCount();
        require(KVELReaderCheckFormat(reader, 0, 1) == KVELCheckFormat(0, 1) && same(records(reader, n), records(flat, m)),
                "the file image checks differently from its file");
    }
    KVELReaderCloseFile(reader);
}

}  // namespace

void runFilePath(const uint8_t* data, size_t size) {
    const std::string& path = writeInput(data, size);

    require(KVELOpenFile2(path.c_str()) == 1, "KVELOpenFile2 failed on a readable file");
    require(KVELOpenFile(path.c_str(), nullptr) == -1 && lastCode() == -7, "second open not refused with -7");
    KVELCloseFile();

    KVEL_MAIN_HEADER header{};
    const int opened = KVELOpenFile(path.c_str(), &header);
    if (opened == 0) {
        require(KVELGetErrorCount() == 0, "a load left records");
        require(std::memcmp(&header, KVELGetWholeBuffer(), sizeof header) == 0, "header differs from the image");
    } else {
        const int code = lastCode();
        require(KVELGetErrorCount() == 1 && (code == -4 || code == -5 || code == -3034),
                "a failed load does not leave exactly its one record");
        require(KVELGetWholeBuffer() == nullptr, "a failed load left an image");
    }
    compareFileImage(data, size, opened, records(&kvel::defaultReader(), 0));
    exercise(size);
    KVELCloseFile();
    require(KVELGetWholeBuffer() == nullptr, "close left an image");
}

void runMemoryPath(const uint8_t* data, size_t size) {
    kvel::clearErrors(kvel::defaultReader().errors);  // the memory loader never empties the list itself
    // Exactly `size` bytes, so a read or write at image + size is caught.
    unsigned char* image = static_cast<unsigned char*>(std::malloc(size ? size : 1));
    require(image != nullptr, "out of memory");
    if (size) std::memcpy(image, data, size);

    KVEL_MAIN_HEADER header{};
    if (KVELSetBufferWithSize(image, size, &header) == 0) {
        require(KVELGetErrorCount() == 0 && KVELGetWholeBuffer() == image, "adopted image state");
        require(std::memcmp(&header, image, sizeof header) == 0, "header differs from the image");
    } else if (size >= 20 && std::memcmp(data, "KVMF", 4) != 0) {
        require(KVELGetErrorCount() == 0 && KVELGetWholeBuffer() == image, "refused signature state");
    } else {
        require(KVELGetErrorCount() == 1 && lastCode() == -4, "a refused image without -4");
        require(KVELGetWholeBuffer() == nullptr, "a refused image stays current");
    }
    exercise(size);
    KVELCloseFile();
    require(KVELGetWholeBuffer() == nullptr, "close left an image");
    std::free(image);
}

void compareLoaders(const uint8_t* data, size_t size) {
    // Only where the sizes agree do the two loaders place every frame alike.
    using namespace kvcodec;
    if (size < kZoneSubFrameOffset + kZoneHeaderSize || std::memcmp(data, "KVMF", 4) != 0) return;
    const ZoneHeader zones = get<ZoneHeader>(data + kZoneSubFrameOffset);
    if (uint64_t{get32(data + mh::totalFrameSize)} + kMainHeaderSize != size ||
        zones.frameSize != zoneFrameSize(zones.zoneCount))
        return;

    KVEL_MAIN_HEADER header{};
    if (KVELOpenFile(writeInput(data, size).c_str(), &header) != 0) return;
    const unsigned char* loaded = static_cast<const unsigned char*>(KVELGetWholeBuffer());
    const std::vector<unsigned char> fileImage(loaded, loaded + size);
    const int fileResult = KVELCheckFormat(0, 1);
    const std::vector<std::string> fileLines = lines();
    KVELCloseFile();

    kvel::clearErrors(kvel::defaultReader().errors);
    std::vector<unsigned char> image(data, data + size);
    require(KVELSetBufferWithSize(image.data(), size, &header) == 0, "only the file loader takes the file");
    require(image == fileImage, "the loaders convert the file differently");
    require(KVELCheckFormat(0, 1) == fileResult && lines() == fileLines, "the loaders' checks disagree");
    KVELCloseFile();
}

void comparePaths(const uint8_t* data, size_t size) {
    static KVEL_READER* const quiet = KVELCreateReader();
    static KVEL_READER* const full = KVELCreateReader();
    require(quiet && full, "out of memory");
    full->check.quietPaths = false;
    // The quiet reader also splits every walk of two records or more, its
    // second part's quiet run on a thread of its own.
    KVELReaderSetThreads(quiet, 2);
    quiet->check.splitFrom = 2;
    std::vector<unsigned char> a(data, data + size), b(data, data + size);
    KVEL_MAIN_HEADER header{};
    if (KVELReaderSetBufferWithSize(quiet, a.data(), size, &header) == 0 &&
        KVELReaderSetBufferWithSize(full, b.data(), size, &header) == 0) {
        for (int options = 0; options < 4; ++options) {
            const int n = KVELReaderGetErrorCount(quiet), m = KVELReaderGetErrorCount(full);
            require(KVELReaderCheckFormat(quiet, options & 1, options >> 1) ==
                            KVELReaderCheckFormat(full, options & 1, options >> 1) &&
                        same(records(quiet, n), records(full, m)),
                    "the quiet paths and the reporting rules disagree");
        }
    }
    KVELReaderCloseFile(quiet);
    KVELReaderCloseFile(full);
    kvel::clearErrors(quiet->errors);
    kvel::clearErrors(full->errors);
}

void runSequence(const uint8_t* data, size_t size) {
    if (size == 0) return;
    const size_t opCount = std::min<size_t>(data[0] % 17, size - 1);
    const uint8_t* ops = data + 1;
    const uint8_t* image = ops + opCount;
    const size_t imageSize = size - 1 - opCount;
    const std::string& path = writeInput(image, imageSize);

    kvel::clearErrors(kvel::defaultReader().errors);
    // Adopted images stay alive until the sequence has ended and closed.
    std::vector<std::unique_ptr<unsigned char[]>> adopted;
    size_t held = 0;  // what the current image can hold at most
    KVEL_MAIN_HEADER header{};
    for (size_t i = 0; i < opCount; ++i) {
        switch (ops[i] % 8) {
            case 0:
                if (KVELOpenFile(path.c_str(), &header) == 0) held = imageSize;
                break;
            case 1:
                KVELOpenFile2(path.c_str());
                break;
            case 2: case 3: {  // the whole image, or a cut one: bounded by what is passed
                const size_t length = ops[i] % 8 == 2 ? imageSize : imageSize / 2;
                adopted.emplace_back(new unsigned char[length ? length : 1]);
                if (length) std::memcpy(adopted.back().get(), image, length);
                KVELSetBufferWithSize(adopted.back().get(), length, &header);
                held = length;
                break;
            }
            case 4:
                require(KVELCloseFile() == 0 && KVELGetWholeBuffer() == nullptr, "close left an image");
                held = 0;
                break;
            case 5: {
                const int before = KVELGetErrorCount();
                const int result = KVELCheckFormat(ops[i] >> 7, (ops[i] >> 6) & 1);
                require(KVELGetErrorCount() == 1000 || -result == KVELGetErrorCount() - before,
                        "check result is not minus the records appended");
                break;
            }
            case 6:
                readFrames(held);
                break;
            default:
                readErrors();
                break;
        }
    }
    KVELCloseFile();
}

}  // namespace kvelfuzz
