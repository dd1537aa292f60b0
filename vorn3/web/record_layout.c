/* The package's script reads the C records at fixed offsets (vorn3-core.mjs); a change to
 * the header that moves them fails this build rather than the script. */
#include <stddef.h>

#include "vorn3/vorn3_c.h"

_Static_assert(sizeof(vorn3_status) == 164 && offsetof(vorn3_status, message) == 4,
               "vorn3_status as the script reads it");
_Static_assert(sizeof(vorn3_info) == 132 && offsetof(vorn3_info, tracker) == 32 &&
                   offsetof(vorn3_info, format) == 64 && offsetof(vorn3_info, channels) == 96 &&
                   offsetof(vorn3_info, bpm) == 128,
               "vorn3_info as the script reads it");
_Static_assert(sizeof(vorn3_subsong) == 16 && offsetof(vorn3_subsong, seconds) == 8,
               "vorn3_subsong as the script reads it");
_Static_assert(sizeof(vorn3_state) == 40 && offsetof(vorn3_state, seconds) == 24 &&
                   offsetof(vorn3_state, channels) == 32,
               "vorn3_state as the script reads it");
_Static_assert(sizeof(vorn3_channel_state) == 16 && offsetof(vorn3_channel_state, level) == 12,
               "vorn3_channel_state as the script reads it");
_Static_assert(sizeof(vorn3_probe_result) == 12 && offsetof(vorn3_probe_result, format) == 4,
               "vorn3_probe_result as the script reads it");
_Static_assert(VORN3_CELL_TEXT_BYTES == 16, "cell texts as the script reads them");
