#pragma once
// Which tab (0 INDEX, 1 CONTENTS, 2 TOOLS) a page belongs to; -1 for the
// built-in pages.

#include "content/content_database.h"
#include "core/navigation/page_names.h"

namespace vrok {

enum TabPosition : int { kTabNone = -1, kTabIndex = 0, kTabContents = 1, kTabTools = 2 };

int TabForPage(const ContentDatabase& db, PageNameMap& names, PageId page);

}  // namespace vrok
