// KVELReaderCheckFormat: hand the reader's image and error list to the check.
#include "KVELRead.h"
#include "check/check_state.h"
#include "interface/reader.h"

extern "C" KVEL_API int KVELReaderCheckFormat(KVEL_READER* reader, int suppressWarnings, int allowUserCategories) {
    kvel::Reader& r = *reader;
    // Nothing loaded (or an image refused for its signature): nothing to read.
    if (!kvel::framesLoaded(r)) {
        kvel::appendError(r.errors, KVEL_ERROR_CANNOT_READ, kvel::kNoOffset);
        return -1;
    }
    const kvel::CheckImage image{r.buffer,
                                 r.views.held,
                                 r.views.zoneSubFrame,
                                 r.views.eventSubFrame,
                                 r.views.firstEvent,
                                 r.views.eventBodySize,
                                 r.fileSize};
    r.check.threads = r.threads;
    const int32_t result = kvel::checkImage(r.check, image, r.errors, suppressWarnings, allowUserCategories);
    // Only a reader's first check allocates, and its failure checks nothing.
    if (!r.check.zoneIndex) {
        kvel::appendError(r.errors, KVEL_ERROR_CANNOT_ALLOCATE, kvel::kNoOffset);
        return -1;
    }
    return result;
}
