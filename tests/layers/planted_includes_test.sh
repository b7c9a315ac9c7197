#!/bin/sh
# scripts/check-layers on a copy of the program's folders: the tree as it
# is passes, and each planted include that crosses the layers is caught
# with the reason.
set -eu
src=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for d in platform content core widgets frame views app cli syncplugin; do cp -r "$src/$d" "$tmp/"; done
python3 "$src/scripts/check-layers" "$tmp" >/dev/null

plant() {  # file, include line, expected reason
  cp "$src/$1" "$tmp/$1.kept"
  echo "$2" >>"$tmp/$1"
  if python3 "$src/scripts/check-layers" "$tmp" 2>"$tmp/errors"; then
    echo "not caught: $2 in $1"
    exit 1
  fi
  if ! grep -q "^$1:.*$3" "$tmp/errors"; then
    echo "caught without the reason \"$3\":"
    cat "$tmp/errors"
    exit 1
  fi
  mv "$tmp/$1.kept" "$tmp/$1"
}
plant widgets/title_bar.h '#include "frame/main_window.h"' 'belongs to frame, which widgets does not link'
plant views/pages/grid_view.cpp '#include "views/tools/questionnaire_view.h"' 'belongs to tool_views'
plant views/userdata/notes_panel.cpp '#include "app/shell_view.h"' 'belongs to app'
plant core/pages/markup.cpp '#include <QString>' 'does not link Qt'
plant core/navigation/history_list.h '#include "core/userdata/note_store.h"' 'belongs to userdata'
plant app/main.cpp '#include "content/internal/format.h"' 'internal to content/'
python3 "$src/scripts/check-layers" "$tmp" >/dev/null
echo "every planted include caught"
