#!/usr/bin/env bash
# The Debian package, as a user gets it: built with CPack from the build
# folder, unpacked into a scratch root (nothing is installed on the
# system), its readers started through the installed launchers for a user
# whose home is scratch too, the tools and the plug-in run from where they
# were installed; then the scratch root is removed.
#
#   package_test.sh BUILD_DIR
set -euo pipefail
build=$(readlink -f "$1")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "package_test: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$scratch/pkg" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log" >&2; fail "cpack failed"; }
debs=("$scratch"/pkg/vrok_*.deb)
[ -f "${debs[0]}" ] || fail "no package was made"
deb=${debs[0]}
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

[ "$(dpkg-deb -f "$deb" Package)" = vrok ] || fail "the package is not named vrok"
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || fail "Depends lacks the Qt libraries"

root="$scratch/root"
dpkg -x "$deb" "$root"
for f in usr/bin/vrok usr/bin/vrok-hires usr/bin/vrok-book usr/bin/vrok-dump usr/bin/vrok-sync \
         usr/lib/vrok/vrok usr/lib/vrok/vrok-hires usr/lib/vrok/libDEVVROKAUTOUPDATE.so \
         usr/lib/vrok/VROK-Vrok-Data.pdb usr/lib/vrok/VROK-Vrok-Strings.pdb \
         usr/lib/vrok/VROK-Vrok-Binary-PPC.pdb usr/lib/vrok/ppc_font2.ttf \
         usr/lib/vrok/ppc_font2-LICENSE.txt usr/share/doc/vrok/copyright \
         usr/share/applications/vrok.desktop usr/share/icons/hicolor/48x48/apps/vrok.png; do
  [ -e "$root/$f" ] || fail "missing $f"
done
if file "$root/usr/lib/vrok/vrok" | grep -q "not stripped"; then fail "the reader is not stripped"; fi
desktop="$root/usr/share/applications/vrok.desktop"
while read -r exe; do
  [ -x "$root/usr/bin/$exe" ] || fail "the desktop entry runs $exe, which is not installed"
done < <(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$desktop"; fi

# A user's first start: the launcher makes the user's program folder and
# performs the installer step, then the reader runs its script.
# Its windows are registered in a runtime folder of its own, so that the
# plug-in below finds no reader of another test to close.
home="$scratch/home"
mkdir -p "$home"
run() {
  env -u VROK_REGISTRY -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$home" \
    VROK_RUNTIME_DIR="$scratch/runtime" QT_QPA_PLATFORM=offscreen "$@"
}
script=$'dump\ndismiss-splash\ndump\nnavigate tools\ndump\n'
run "$root/usr/bin/vrok" --script - <<<"$script" >"$scratch/vrok.out" 2>"$scratch/vrok.err" ||
  { cat "$scratch/vrok.err" >&2; fail "the installed vrok failed"; }
run "$root/usr/bin/vrok-hires" --script - <<<"$script" >"$scratch/hires.out" 2>"$scratch/hires.err" ||
  { cat "$scratch/hires.err" >&2; fail "the installed vrok-hires failed"; }

folder="$home/.local/share/vrok"
python3 - "$scratch" "$folder" "$(readlink -f "$root/usr/lib/vrok")" "$home/.config/vrok/registry.ini" <<'EOF'
import json, os, sys
scratch, folder, program, registry = sys.argv[1:]

def reports(name):
    return [json.loads(line) for line in open(os.path.join(scratch, name)) if line.strip()]

for name, width, tab in (("vrok.out", 240, 22), ("hires.out", 480, 44)):
    r = reports(name)
    assert len(r) == 3, (name, len(r))
    assert r[0]["panes"][0]["kind"] == "Splash", r[0]
    assert r[1]["title"] == "CONTENTS" and r[1]["tab"] == 1, r[1]
    assert r[2]["title"] == "TOOLS" and r[2]["tab"] == 2, r[2]
    strip = [p for p in r[1]["panes"] if p["kind"] == "TabStrip"][0]
    assert strip["geometry"] == [0, 0, width, tab], (name, strip)
    assert r[2]["history"]["entries"][0]["title"] == "CONTENTS", r[2]["history"]
# The user's folder links to the installed content and font, and holds the
# user's own files; the registry names it as the installation folder.
for f in ("VROK-Vrok-Data.pdb", "VROK-Vrok-Strings.pdb", "VROK-Vrok-Binary-PPC.pdb",
          "VROK-Vrok-Search.idx", "ppc_font2.ttf"):
    path = os.path.join(folder, f)
    assert os.path.islink(path) and os.readlink(path) == os.path.join(program, f), path
for f in ("bookmarks.vsd", "bookmarks.vsi", "notes.vsd", "notes.vsi"):
    assert os.path.isfile(os.path.join(folder, f)) and not os.path.islink(os.path.join(folder, f)), f
    # The user's own files, and their folder, are the user's alone.
    assert os.stat(os.path.join(folder, f)).st_mode & 0o777 == 0o600, f
assert os.stat(folder).st_mode & 0o777 == 0o700, oct(os.stat(folder).st_mode)
text = open(registry).read()
assert "InstallDir=" + folder in text, text
EOF

# The book search uses the installed index at once: nothing is built.
run "$root/usr/bin/vrok" --script - <<<$'dismiss-splash\nnavigate book_search asthma\ndump\n' \
  >"$scratch/search.out" 2>"$scratch/search.err" ||
  { cat "$scratch/search.err" >&2; fail "the installed vrok failed to search"; }
python3 - "$scratch/search.out" <<'EOF'
import json, sys
pane = [p for p in json.loads(open(sys.argv[1]).read())["panes"] if p["kind"] == "SearchResults"][0]
assert pane["state"] == "ready" and pane["results"], pane
assert pane["results"][0]["title"] == "Asthma, acute", pane["results"][0]
EOF
[ ! -e "$home/.cache/vrok/search" ] || fail "the reader built its own index beside the installed one"

# The tools and the plug-in from where they were installed.
"$root/usr/bin/vrok-dump" info "$root/usr/lib/vrok" | grep -q '"rows"' || fail "vrok-dump cannot read the installed book"
run "$root/usr/bin/vrok-sync" "$root/usr/lib/vrok/libDEVVROKAUTOUPDATE.so" >"$scratch/sync.out" ||
  fail "vrok-sync cannot play a synchronisation against the installed plug-in"
grep -q "Vrok AutoUpdate" "$scratch/sync.out" || fail "the installed plug-in did not name its object type"

rm -rf "$root"
[ ! -e "$root" ] || fail "the scratch root was not removed"
echo "package_test: passed"
