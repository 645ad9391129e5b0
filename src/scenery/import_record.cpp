#include "scenery/import_record.h"

#include <algorithm>
#include <cstring>

#include "platform/bulk_memory.h"

ImportRecord importRecord;

void startImportRecord() {
    releaseImportRecord();
    md5Init(importRecord.unreadPaths);
}

namespace {

size_t filesSize(uint32_t capacity) {
    return sizeof(ImportedFile) * static_cast<size_t>(capacity);
}

}  // namespace

void recordAirportFile(uint32_t entry, const FileStamp& stamp) {
    if (!importRecord.complete) return;
    if (importRecord.count == importRecord.capacity) {
        const uint32_t capacity = importRecord.capacity ? importRecord.capacity * 2 : 256;
        auto* grown = capacity > importRecord.capacity
                          ? static_cast<ImportedFile*>(platformAllocateBulk(filesSize(capacity)))
                          : nullptr;
        if (!grown) {
            // The build goes on for this run; without every stamp it cannot be stored.
            importRecord.complete = 0;
            return;
        }
        std::copy(importRecord.files, importRecord.files + importRecord.count, grown);
        platformReleaseBulk(importRecord.files, filesSize(importRecord.capacity));
        importRecord.files = grown;
        importRecord.capacity = capacity;
    }
    importRecord.files[importRecord.count++] = ImportedFile{importRecord.layer, entry, stamp};
}

void recordUnreadFile(const char* path) {
    ++importRecord.unreadCount;
    md5Update(importRecord.unreadPaths, path, std::strlen(path) + 1);
    if (importRecord.complete && importRecord.count) importRecord.files[importRecord.count - 1].unread = 1;
}

void markImportIncomplete() {
    importRecord.complete = 0;
}

Digest unreadFilesDigest() {
    Md5Context context = importRecord.unreadPaths;
    Digest digest;
    md5Final(context, digest);
    return digest;
}

void releaseImportRecord() {
    platformReleaseBulk(importRecord.files, filesSize(importRecord.capacity));
    importRecord = ImportRecord{};
    md5Init(importRecord.unreadPaths);
}
