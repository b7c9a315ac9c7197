#!/usr/bin/python3
"""The reader as a screen reader sees it: the reader runs in a real window
under Xvfb with the AT-SPI bus, and this script walks its accessibility
tree from outside the process through the AT-SPI client library.

Checks that the command bar's ten buttons, the three tabs, the index's
search box and its rows are named and lie on the window, in real screen
pixels at a zoom of 2; then that a grid is a table whose cells carry their
text and whose columns have their headers.

Exit status: 0 passed, 1 failed, 77 skipped (no X server, no session bus,
no AT-SPI bus or client library to be had). Every wait is bounded.

Usage: atspi_walk.py VROK SAMPLE_FOLDER
"""

import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SKIP = 77
INNER = "VROK_ATSPI_INNER"
ZOOM = 2
SCREEN_W, SCREEN_H = 240, 320
COMMANDS = ["Menu", "Back", "History", "Forward", "Home", "Index", "Tools", "Notes",
            "Bookmarks", "Exit"]
TABS = ["INDEX", "CONTENTS", "TOOLS"]
GRID_TITLE = "Intravenous fluids compared"


def skip(why):
    print("SKIP: " + why)
    sys.exit(SKIP)


def fail(why):
    print("FAIL: " + why)
    sys.exit(1)


def outer():
    """Runs this script again inside a private session bus."""
    runner = shutil.which("dbus-run-session")
    if runner is None:
        skip("dbus-run-session is not installed")
    env = dict(os.environ, **{INNER: "1"})
    try:
        done = subprocess.run([runner, "--", sys.executable] + sys.argv, env=env, timeout=150)
    except subprocess.TimeoutExpired:
        fail("the walk did not end within 150 s")
    sys.exit(done.returncode)


def start_xvfb(procs):
    xvfb = shutil.which("Xvfb")
    if xvfb is None:
        skip("Xvfb is not installed")
    read, write = os.pipe()
    # -noreset: an X server resets when its last client leaves (the bus
    # launcher is the first), and a reader connecting during the reset is
    # refused.
    proc = subprocess.Popen([xvfb, "-displayfd", str(write), "-screen", "0", "1280x1024x24",
                             "-nolisten", "tcp", "-noreset"], pass_fds=(write,),
                            stderr=subprocess.DEVNULL)
    procs.append(proc)
    os.close(write)
    deadline = time.time() + 15
    number = b""
    while time.time() < deadline and not number.endswith(b"\n"):
        import select
        ready, _, _ = select.select([read], [], [], 0.5)
        if ready:
            chunk = os.read(read, 16)
            if not chunk:
                break
            number += chunk
    os.close(read)
    if not number.strip():
        skip("Xvfb did not start")
    return ":" + number.decode().strip()


def start_bus(procs):
    launcher = "/usr/libexec/at-spi-bus-launcher"
    if not os.path.exists(launcher):
        skip("at-spi-bus-launcher is not installed")
    procs.append(subprocess.Popen([launcher, "--launch-immediately"],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    # The launcher answers on the session bus once the AT-SPI bus is up.
    deadline = time.time() + 15
    while time.time() < deadline:
        probe = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
                                "/org/a11y/bus", "org.a11y.Bus.GetAddress"],
                               capture_output=True, text=True, timeout=5)
        if probe.returncode == 0 and "unix:" in probe.stdout:
            return
        time.sleep(0.3)
    skip("the AT-SPI bus did not start")


def walk(node, depth=0, out=None):
    if out is None:
        out = []
    if node is None or depth > 40:
        return out
    try:
        role = node.get_role_name()
        name = node.get_name() or ""
        box = node.get_extents(Atspi.CoordType.SCREEN)
        states = node.get_state_set()
        out.append({"role": role, "name": name, "box": (box.x, box.y, box.width, box.height),
                    "showing": states.contains(Atspi.StateType.SHOWING),
                    "selected": states.contains(Atspi.StateType.SELECTED),
                    "node": node})
        count = node.get_child_count()
    except Exception:  # a node that went away while walking
        return out
    for i in range(min(count, 2000)):
        try:
            child = node.get_child_at_index(i)
        except Exception:
            continue
        walk(child, depth + 1, out)
    return out


def find_reader(pid, deadline):
    while time.time() < deadline:
        desktop = Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            try:
                if app is not None and app.get_process_id() == pid and app.get_child_count() > 0:
                    return app
            except Exception:
                pass
        time.sleep(0.5)
    return None


def inside(box, frame):
    x, y, w, h = box
    fx, fy, fw, fh = frame
    return w > 0 and h > 0 and x >= fx and y >= fy and x + w <= fx + fw and y + h <= fy + fh


def inner(vrok, sample):
    procs = []
    home = tempfile.mkdtemp(prefix="vrok-atspi-")
    try:
        display = start_xvfb(procs)
        os.environ["DISPLAY"] = display
        start_bus(procs)
        global Atspi
        try:
            import gi
            gi.require_version("Atspi", "2.0")
            from gi.repository import Atspi as atspi_module
            Atspi = atspi_module
        except (ImportError, ValueError) as e:
            skip("no AT-SPI client library: %s" % e)

        folder = os.path.join(home, "book")
        os.mkdir(folder)
        for name in ("VROK-Vrok-Data.pdb", "VROK-Vrok-Strings.pdb", "VROK-Vrok-Binary-PPC.pdb",
                     "ppc_font2.ttf"):
            shutil.copy(os.path.join(sample, name), folder)
        registry = os.path.join(home, "registry.ini")
        env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   QT_ACCESSIBILITY="1", HOME=home, XDG_RUNTIME_DIR=home,
                   XDG_CONFIG_HOME=home, XDG_DATA_HOME=home, XDG_CACHE_HOME=home)
        env.pop("QT_SCALE_FACTOR", None)
        subprocess.run([vrok, "--folder", folder, "--registry", registry, "--install"], env=env,
                       timeout=30, check=True, stdout=subprocess.DEVNULL)
        # The handheld window, scaled by the zoom: positions must come out in
        # real pixels.
        def start_reader(page):
            reader = subprocess.Popen([vrok, "--handheld", "--folder", folder, "--registry",
                                       registry, "--zoom", str(ZOOM), "--screen",
                                       "%dx%d" % (SCREEN_W, SCREEN_H), "--page", page], env=env,
                                      stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
            procs.append(reader)
            app = find_reader(reader.pid, time.time() + 30)
            if app is None:
                if reader.poll() is not None:
                    fail("the reader ended: " +
                         reader.stderr.read().decode(errors="replace")[-800:])
                fail("the reader never showed up on the AT-SPI bus")
            return reader, app

        reader, app = start_reader("index")

        # The splash page goes after 2.5 s; wait for the index and its rows.
        deadline = time.time() + 30
        nodes = []
        while time.time() < deadline:
            nodes = walk(app)
            if any(n["role"] == "list item" and n["showing"] for n in nodes) and \
               any(n["role"] == "page tab" for n in nodes):
                break
            time.sleep(0.5)

        frames = [n for n in nodes if n["role"] in ("frame", "window")]
        if not frames:
            fail("no window in the tree: %s" % [(n["role"], n["name"]) for n in nodes[:20]])
        frame = frames[0]["box"]
        problems = []
        if frame[2] < SCREEN_W * ZOOM or frame[3] < SCREEN_H * ZOOM:
            problems.append("window %s is smaller than the %dx%d screen at zoom %d" %
                            (frame, SCREEN_W, SCREEN_H, ZOOM))

        def check_named(role_words, name):
            hits = [n for n in nodes if n["name"] == name and n["showing"] and
                    any(word in n["role"] for word in role_words)]
            if not hits:
                problems.append("no %s named %r" % ("/".join(role_words), name))
                return None
            if not inside(hits[0]["box"], frame):
                problems.append("%r at %s lies outside the window %s" %
                                (name, hits[0]["box"], frame))
            return hits[0]

        for name in COMMANDS:
            button = check_named(["button"], name)
            # A button on a 240-pixel screen at zoom 2 is more than 16 pixels wide.
            if button is not None and button["box"][2] < 16 * ZOOM:
                problems.append("%r is %s: not at the real scale" % (name, button["box"]))
        tabs = [check_named(["page tab"], name) for name in TABS]
        if all(tabs) and sum(1 for t in tabs if t["selected"]) != 1:
            problems.append("not exactly one tab selected: %s" %
                            [(t["name"], t["selected"]) for t in tabs])
        check_named(["text", "entry"], "Search")
        rows = [n for n in nodes if n["role"] == "list item" and n["showing"]]
        if not rows:
            problems.append("no index rows exposed")
        for row in rows:
            if not row["name"]:
                problems.append("an index row without a name at %s" % (row["box"],))
            elif not inside(row["box"], frame):
                problems.append("row %r at %s lies outside the window %s" %
                                (row["name"], row["box"], frame))
        unnamed = [n["role"] for n in nodes if n["showing"] and not n["name"] and
                   n["role"] in ("push button", "page tab", "check box", "radio button",
                                 "list item", "toggle button")]
        if unnamed:
            problems.append("controls without a name: %s" % unnamed)
        if problems:
            fail("\n  ".join(problems))
        print("index: %d nodes; window %s; %d index rows" % (len(nodes), frame, len(rows)))

        # The fluids grid, found by its link on the TOOLS page.
        found = subprocess.run([vrok, "--folder", folder, "--registry", registry, "--script", "-"],
                               input="dismiss-splash\nnavigate tools\ndump\n", text=True,
                               capture_output=True, timeout=60,
                               env=dict(env, QT_QPA_PLATFORM="offscreen"))
        link = re.search(r"HREF=\\?'(\d+)\\?'>" + re.escape(GRID_TITLE), found.stdout)
        if link is None:
            fail("no link to the grid %r on the TOOLS page" % GRID_TITLE)
        reader.send_signal(signal.SIGTERM)
        reader.wait(timeout=10)
        reader, app = start_reader(link.group(1))
        deadline = time.time() + 30
        tables = []
        while time.time() < deadline and not tables:
            nodes = walk(app)
            tables = [n for n in nodes if n["role"] == "table" and n["showing"]]
            if not tables:
                time.sleep(0.5)
        if not tables:
            fail("no table shown: %s" % sorted({n["role"] for n in nodes}))
        grid = tables[0]
        frame = [n for n in nodes if n["role"] in ("frame", "window")][0]["box"]
        table = grid["node"]
        if grid["name"] != GRID_TITLE:
            problems.append("the table is named %r" % grid["name"])
        size = (Atspi.Table.get_n_rows(table), Atspi.Table.get_n_columns(table))
        if size != (6, 6):
            problems.append("the table has %s rows and columns, not 6 and 6" % (size,))
        header = Atspi.Table.get_column_header(table, 1)
        if header is None or header.get_name() != "Na+":
            problems.append("column 1's header is %r" % (header and header.get_name()))
        cell = Atspi.Table.get_accessible_at(table, 0, 1)
        if cell is None or cell.get_name() != "154":
            problems.append("cell (0, 1) is %r" % (cell and cell.get_name()))
        else:
            box = cell.get_extents(Atspi.CoordType.SCREEN)
            box = (box.x, box.y, box.width, box.height)
            if not inside(box, frame):
                problems.append("cell (0, 1) at %s lies outside the window %s" % (box, frame))
            # A cell 76 pixels wide on the handheld screen, at zoom 2.
            elif box[2] < 70 * ZOOM:
                problems.append("cell (0, 1) is %s: not at the real scale" % (box,))
        if problems:
            fail("\n  ".join(problems))
        print("PASS: %d nodes; window %s; %d index rows; a %dx%d table" %
              (len(nodes), frame, len(rows), size[0], size[1]))
        return 0
    finally:
        for proc in reversed(procs):
            if proc.poll() is None:
                proc.send_signal(signal.SIGTERM)
                try:
                    proc.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    proc.kill()
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        print(__doc__)
        sys.exit(2)
    if os.environ.get(INNER) != "1":
        outer()
    sys.exit(inner(sys.argv[1], sys.argv[2]))
