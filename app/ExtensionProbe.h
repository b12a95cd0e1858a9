// Start-up's look at the driver: which optional extensions it offers.
#pragma once

// Prints the driver's extension string and fills `extensions`, installing the
// paletted-texture stand-in where the driver lacks the real extension.
void probeExtensions();
