#include "scenery/file_stamp.h"

#include "platform/platform.h"

FileStamp fileStampOf(const char* path) {
    FileStamp stamp;
    if (platformFileStamp(path, &stamp.size, &stamp.writeTime)) return stamp;
    return platformIsMissingFileError(platformLastError()) ? kStampMissing : kStampUnknown;
}
