// Must not build: the file layer cannot see the batch layer above it.
#include "batch/process_context.h"
#include "misc/errors.h"
