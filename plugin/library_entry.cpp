// The library entry of timb_flv: attach checks TIMB and offers the settings
// procedure, detach withdraws it.
#include "platform/library_entry.h"
#include "plugin/plugin.h"

PLATFORM_LIBRARY_ENTRY(AttachAddOn, DetachAddOn)
