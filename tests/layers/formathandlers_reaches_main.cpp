// Must not build: the format handlers cannot see the driver above them.
#include "formathandlers/tim/tim_scanner.h"
#include "main/batch_driver.h"
