// Must not build: the file layer cannot see the batch layer above it.
#include "misc/errors.h"
#include "batch/process_context.h"
