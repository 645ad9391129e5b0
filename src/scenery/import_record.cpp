#include "scenery/import_record.h"

#include <cstdlib>
#include <cstring>

ImportRecord importRecord;

void startImportRecord() {
    releaseImportRecord();
    md5Init(importRecord.unreadPaths);
}

void recordAirportFile(uint32_t entry, const FileStamp& stamp) {
    if (!importRecord.complete) return;
    if (importRecord.count == importRecord.capacity) {
        const uint32_t capacity = importRecord.capacity ? importRecord.capacity * 2 : 256;
        void* grown =
            capacity > importRecord.capacity
                ? std::realloc(importRecord.files, sizeof(ImportedFile) * static_cast<size_t>(capacity))
                : nullptr;
        if (!grown) {
            importRecord.complete = 0;  // the build goes on; only its stamps are lost
            return;
        }
        importRecord.files = static_cast<ImportedFile*>(grown);
        importRecord.capacity = capacity;
    }
    importRecord.files[importRecord.count++] = ImportedFile{importRecord.layer, entry, stamp};
}

void recordUnreadFile(const char* path) {
    ++importRecord.unreadCount;
    md5Update(importRecord.unreadPaths, path, std::strlen(path) + 1);
}

Digest unreadFilesDigest() {
    Md5Context context = importRecord.unreadPaths;
    Digest digest;
    md5Final(context, digest);
    return digest;
}

void releaseImportRecord() {
    std::free(importRecord.files);
    importRecord = ImportRecord{};
    md5Init(importRecord.unreadPaths);
}
