#include "core/run_log.h"

#include <cstdio>
#include <cstring>

#include "core/core_state.h"
#include "core/kestrel_folder.h"
#include "core/log.h"
#include "core/log_file.h"
#include "platform/platform.h"

namespace {

int previousLogPath(const char* path, char* out, size_t size) {
    const size_t length = std::strlen(path);
    const bool log = length >= 4 && std::strcmp(path + length - 4, ".log") == 0;
    const int written = std::snprintf(out, size, "%.*s%s", static_cast<int>(log ? length - 4 : length), path,
                                      log ? ".prev.log" : ".prev");
    return written > 0 && static_cast<size_t>(written) < size ? 1 : 0;
}

}  // namespace

int openRunLog(const char* path) {
    // Room for the longest log path and the ".prev" it may gain: a name the system cannot take is its
    // rename's to refuse, with its own reason.
    char previous[kPathBufferSize + 8];
    char* error = nullptr;
    if (previousLogPath(path, previous, sizeof previous) && !platformReplaceFile(path, previous)) {
        const uint32_t code = platformLastError();
        if (!platformIsMissingFileError(code)) error = platformErrorText(code);  // the first run has none
    }
    const int opened = openLogFile(path);
    if (error) {
        logMessage(0, "Unable to keep the previous log as %s, error was: %s.", previous, error);
        platformReleaseErrorText(error);
    }
    return opened;
}

int openKestrelLog() {
    char path[kPathBufferSize];
    kestrelFilePath(kLogFileName, path, sizeof path);
    const int opened = openRunLog(path);
    logKestrelFolderNote();
    return opened;
}
