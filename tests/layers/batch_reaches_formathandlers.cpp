// Must not build: the batch layer cannot see the format handlers above it.
#include "batch/process_context.h"
#include "formathandlers/tim/tim_scanner.h"
