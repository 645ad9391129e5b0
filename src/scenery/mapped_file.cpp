#include "scenery/mapped_file.h"

#include "core/log.h"

namespace {

// The system's text for the error of the step that just failed, written with the step's line (none
// for a quiet mapping).
void logStepFailure(int32_t level, const char* format, const char* path) {
    if (!format) return;
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

// The lines of the failing steps, or none.
struct StepLines {
    const char* open;
    const char* mapping;
    const char* view;
};
constexpr StepLines kReported{"Unable to open file \"%s\", error was: %s\n",
                              "Unable to create file mapping \"%s\", error was: %s\n",
                              "Unable to map file \"%s\", error was: %s\n"};
constexpr StepLines kQuiet{nullptr, nullptr, nullptr};

int mapWithLines(const char* path, MappedFile& mapped, MapFault* fault, ViewAccess access,
                 const StepLines& lines) {
    mapped = MappedFile{};
    setFault(fault, MapFault::none);
    PlatformHandle file = platformOpenFileForReading(path);
    if (file == kInvalidHandle) {
        // Asked before the line is written: writing it may change the last error.
        setFault(fault,
                 platformIsMissingFileError(platformLastError()) ? MapFault::missing : MapFault::unreadable);
        logStepFailure(3, lines.open, path);
        return 0;
    }
    PlatformHandle mapping = platformCreateReadOnlyMapping(file);
    if (mapping == kInvalidHandle) {
        const uint32_t error = platformLastError();
        setFault(fault, mappingFault(file));
        platformSetLastError(error);
        logStepFailure(1, lines.mapping, path);
        platformCloseHandle(file);
        return 0;
    }
    size_t length = 0;
    const uint8_t* view = platformMapReadOnlyView(file, mapping, length, access);
    if (!view) {
        const uint32_t error = platformLastError();
        setFault(fault, mappingFault(file));
        platformSetLastError(error);
        logStepFailure(1, lines.view, path);
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

}  // namespace

int mapFile(const char* path, MappedFile& mapped, MapFault* fault, ViewAccess access) {
    return mapWithLines(path, mapped, fault, access, kReported);
}

int mapFileQuietly(const char* path, MappedFile& mapped, ViewAccess access) {
    return mapWithLines(path, mapped, nullptr, access, kQuiet);
}

void prefetchMapped(ByteView bytes, uint64_t offset, uint64_t size) {
    if (!bytes.data || offset >= bytes.size) return;
    const uint64_t available = bytes.size - offset;
    platformPrefetchView(bytes.data + offset, static_cast<size_t>(size < available ? size : available));
}

void unmapFile(MappedFile& mapped) {
    if (mapped.view) platformUnmapView(mapped.view, mapped.length);
    if (mapped.mapping != kInvalidHandle) platformCloseHandle(mapped.mapping);
    if (mapped.file != kInvalidHandle) platformCloseHandle(mapped.file);
    mapped = MappedFile{};
}
