// The conversion driver: one PDF into its text file.
#pragma once

#include <cstdint>
#include <string>

#include "engine/p2tObjCacheModule.h"

struct p2tEngine;

// Converts fileName (a full path); true when converted completely and not
// cancelled. Every failure appends its message to the processing log.
bool p2tMain(p2tEngine& eng, const std::string& fileName);

ObjCacheEntry p2tGetRootObjNumber(p2tEngine& eng);
ObjCacheEntry p2tGetFirstPagesObjNumber(p2tEngine& eng, int32_t rootId, int32_t rootGen);
int32_t p2tGetPageCount(p2tEngine& eng, int32_t pagesId, int32_t pagesGen);
