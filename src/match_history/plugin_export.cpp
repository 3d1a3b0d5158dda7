#include "abi/core_abi.h"

extern "C" __attribute__((visibility("default"))) void load_kzo_match_history(PluginLoadRecord* record) {
    (void)record;
}
