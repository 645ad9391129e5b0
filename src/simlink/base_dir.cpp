#include "simlink/base_dir.h"

char basedir[kPathBufferSize];
