#include "scenery/mapped_file.h"

#include "core/log.h"

namespace {

// The system's text for the error of the step that just failed, written with the step's line.
void logStepFailure(int32_t level, const char* format, const char* path) {
    char* error = lastErrorText();
    logMessage(level, format, path, error);
    releaseErrorText(error);
}

void setFault(MapFault* fault, MapFault value) {
    if (fault) *fault = value;
}

// A mapping or view that failed for a file without bytes, or for another reason.
MapFault mappingFault(PlatformHandle file) {
    uint64_t size = 0;
    return platformFileSize(file, &size) && size == 0 ? MapFault::empty : MapFault::unreadable;
}

}  // namespace

int mapFile(const char* path, MappedFile& mapped, MapFault* fault) {
    mapped = MappedFile{};
    setFault(fault, MapFault::none);
    PlatformHandle file = platformOpenFileForReading(path);
    if (file == kInvalidHandle) {
        // Asked before the line is written: writing it may change the last error.
        setFault(fault,
                 platformIsMissingFileError(platformLastError()) ? MapFault::missing : MapFault::unreadable);
        logStepFailure(3, "Unable to open file \"%s\", error was: %s\n", path);
        return 0;
    }
    PlatformHandle mapping = platformCreateReadOnlyMapping(file);
    if (mapping == kInvalidHandle) {
        const uint32_t error = platformLastError();
        setFault(fault, mappingFault(file));
        platformSetLastError(error);
        logStepFailure(1, "Unable to create file mapping \"%s\", error was: %s\n", path);
        platformCloseHandle(file);
        return 0;
    }
    size_t length = 0;
    const uint8_t* view = platformMapReadOnlyView(file, mapping, length);
    if (!view) {
        const uint32_t error = platformLastError();
        setFault(fault, mappingFault(file));
        platformSetLastError(error);
        logStepFailure(1, "Unable to map file \"%s\", error was: %s\n", path);
        platformCloseHandle(mapping);
        platformCloseHandle(file);
        return 0;
    }
    mapped.file = file;
    mapped.mapping = mapping;
    mapped.view = view;
    mapped.length = length;
    return 1;
}

void unmapFile(MappedFile& mapped) {
    if (mapped.view) platformUnmapView(mapped.view, mapped.length);
    if (mapped.mapping != kInvalidHandle) platformCloseHandle(mapped.mapping);
    if (mapped.file != kInvalidHandle) platformCloseHandle(mapped.file);
    mapped = MappedFile{};
}
