// The public header's declarations of the four exports must agree with the
// add-on's own: a C function declared twice with different types does not
// compile, so this file builds only while they match.
#include "plugin/plugin.h"

#include "include/timb_flv.h"

static_assert(TIMB_FLV_PLUGIN_INFO == PLUGIN_QUERY_INFO, "plugin query for the format record");
static_assert(TIMB_FLV_PLUGIN_CREATE == PLUGIN_QUERY_CREATE, "plugin query for the create procedure");
static_assert(TIMB_FLV_STREAM_TYPE == FLV_STREAM_TYPE, "stream type code of the format record");
