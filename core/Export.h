// The entry points a plug-in module exports; everything else stays hidden (the modules are built
// with hidden visibility and a version script).
#pragma once

#define TARVEX_EXPORT extern "C" __attribute__((visibility("default")))
