#!/bin/sh
# A real window under an X server: in desktop mode its size hints let the
# window manager resize it; in handheld mode they hold it at one size.
# Usage: desktop_window_xvfb.sh PROGRAM_DIR
set -eu
program="$1"
command -v xvfb-run >/dev/null || { echo "xvfb-run missing: skipped"; exit 77; }
command -v xprop >/dev/null || { echo "xprop missing: skipped"; exit 77; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
for f in VROK-Vrok-Data.pdb VROK-Vrok-Strings.pdb VROK-Vrok-Binary-PPC.pdb ppc_font2.ttf; do
  cp "$program/$f" "$dir/"
done
"$program/vrok" --folder "$dir" --registry "$dir/reg.ini" --install
cat > "$dir/hints.sh" <<'INNER'
#!/bin/sh
# Runs the reader with a script that waits, reads the window's size hints
# while it is up, then lets it end.
mode="$1"; dir="$2"; program="$3"
printf 'dismiss-splash\nwait 1500\n' > "$dir/script"
"$program/vrok" --folder "$dir" --registry "$dir/reg.ini" $mode --script "$dir/script" >/dev/null 2>&1 &
pid=$!
sleep 1
hints=""
for w in $(xwininfo -root -children 2>/dev/null | grep -E '"(Tarvessa|CONTENTS|Contents)"' | awk '{print $1}'); do
  hints="$hints$(xprop -id "$w" WM_NORMAL_HINTS 2>/dev/null)"
done
wait $pid || true
echo "$hints"
INNER
chmod +x "$dir/hints.sh"
# Up to three tries: "xvfb-run -a" can lose a display number to another
# test starting an X server at the same moment, and a loaded machine can
# miss the one-second window.
hints_of() {
  for _ in 1 2 3; do
    out=$(xvfb-run -a -s "-screen 0 1600x1000x24" "$dir/hints.sh" "$1" "$dir" "$program" 2>/dev/null || true)
    case "$out" in *WM_NORMAL_HINTS*) break ;; esac
  done
  echo "$out"
}
desktop=$(hints_of --desktop)
handheld=$(hints_of "")
echo "desktop: $desktop"
echo "handheld: $handheld"
min() { echo "$1" | sed -n 's/.*minimum size: \([0-9]*\) by \([0-9]*\).*/\1x\2/p' | head -1; }
max() { echo "$1" | sed -n 's/.*maximum size: \([0-9]*\) by \([0-9]*\).*/\1x\2/p' | head -1; }
[ -n "$(min "$handheld")" ] || { echo "FAIL: no handheld window's hints read"; exit 1; }
[ "$(min "$handheld")" = "$(max "$handheld")" ] || { echo "FAIL: handheld window is resizable"; exit 1; }
[ -n "$(echo "$desktop" | grep 'WM_NORMAL_HINTS')" ] || { echo "FAIL: no desktop window's hints read"; exit 1; }
[ "$(min "$desktop")" != "$(max "$desktop")" ] || { echo "FAIL: desktop window has a fixed size"; exit 1; }
echo ok
