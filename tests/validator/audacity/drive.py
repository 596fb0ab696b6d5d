"""Guards against Gravelix sounding different in a real host (Audacity 3.2) than in
`gravelix-host render`, sound leaking from one stream into the next, and an editor whose clicks
do not reach the host.

Drives a running Audacity through its script pipe: every factory program, two tracks in one
Apply, a switch clicked in the editor inside the effect dialog, Preview followed by Apply, each
compared bit for bit with a render. Every wait is bounded. scripts/audacity-check.sh sets the
stage (private HOME, Xvfb and /tmp) and runs this.

With --pedal (once per pedal: its script name, dialog title, latency and the VST 2.4 plug-in
its renders use) the pedals are other-format plug-ins of the same sound, such as the LV2 ones:
each factory program, picked from the plug-in's factory presets, is checked for each pedal;
with --lv2-editor also a click on the Channels switch in each pedal's editor.

Usage: drive.py run --host GRAVELIX_HOST --plugin PLUGIN.so --work DIR --played FILE [--pid PID]
       drive.py run --host GRAVELIX_HOST --pedal EFFECT TITLE LATENCY PLUGIN.so [--pedal ...]
                    --work DIR --played FILE [--pid PID]
       drive.py cfg FILE GROUP [KEY VALUE]   (set one key of audacity.cfg, or drop a group)
"""
import argparse
import errno
import os
import re
import struct
import subprocess
import sys
import time

import numpy
import soundfile

PROGRAMS = ["Vorn", "Hi-Gain", "TS", "Gritty"]
EFFECT = "GravelixX64"  # Audacity's script name for "Gravelix x64" (GravelixHQX64 for HQ)
DIALOG_TITLE = "Gravelix x64"
# Frames of latency the plug-in reports: Audacity takes them off its output, the render not.
LATENCY = 0
EDITOR_SIZE = (270, 475)
# Editor coordinates of the tweak plate and the Channels (Stereo) switch on the back panel.
TWEAK_AT = (234, 12)
STEREO_SWITCH_AT = (186, 66)
# The dialog's buttons, from its top-right corner (Audacity 3.2's effect dialog, GTK).
APPLY_FROM_RIGHT = (48, 21)
PREVIEW_FROM_RIGHT = (149, 21)
SECONDS = 2


class CheckFailed(Exception):
    pass


class PipeStuck(Exception):
    """Audacity stopped answering: every later command would block too."""


class Pipe:
    """One connection to mod-script-pipe for the whole run (Audacity drops the pipe when the
    client closes it). Opens and reads without blocking, so no wait can hang."""

    def __init__(self, folder, pid, timeout):
        self.pid = pid
        uid = os.getuid()
        to_path = os.path.join(folder, "audacity_script_pipe.to.%d" % uid)
        from_path = os.path.join(folder, "audacity_script_pipe.from.%d" % uid)
        deadline = time.monotonic() + timeout
        self.read_fd = None
        self.write_fd = None
        while self.write_fd is None:
            try:
                if self.read_fd is None:
                    self.read_fd = os.open(from_path, os.O_RDONLY | os.O_NONBLOCK)
                self.write_fd = os.open(to_path, os.O_WRONLY | os.O_NONBLOCK)
            except OSError as e:
                if e.errno not in (errno.ENOENT, errno.ENXIO):
                    raise
                self._alive_or_fail()
                if time.monotonic() > deadline:
                    raise PipeStuck("the script pipe did not open within %d s" % timeout)
                time.sleep(0.1)
        os.set_blocking(self.write_fd, True)
        self.buffer = b""
        self.pending = None

    def _alive_or_fail(self):
        if self.pid:
            try:
                os.kill(self.pid, 0)
            except ProcessLookupError:
                raise PipeStuck("Audacity has exited")

    def send(self, command):
        if self.pending is not None:
            raise PipeStuck("'%s' is still running" % self.pending)
        os.write(self.write_fd, (command + "\n").encode())
        self.pending = command

    def receive(self, timeout):
        """The answer to the pending command: (ok, text)."""
        deadline = time.monotonic() + timeout
        while True:
            match = re.search(rb"BatchCommand finished: ([^\n]*)\n\n", self.buffer)
            if match:
                text = self.buffer[: match.start()].decode(errors="replace").strip("\n")
                self.buffer = self.buffer[match.end() :]
                self.pending = None
                return match.group(1) == b"OK", text
            try:
                chunk = os.read(self.read_fd, 65536)
            except BlockingIOError:
                chunk = b""
            if chunk:
                self.buffer += chunk
                continue
            self._alive_or_fail()
            if time.monotonic() > deadline:
                raise PipeStuck("no answer to '%s' within %d s" % (self.pending, timeout))
            time.sleep(0.02)

    def do(self, command, timeout=30):
        self.send(command)
        ok, text = self.receive(timeout)
        if not ok:
            raise CheckFailed("'%s' failed: %s" % (command, text[-300:]))
        return text


def read_float(path):
    data, rate = soundfile.read(path, dtype="float32", always_2d=True)
    return data, rate


def aligned(a, b):
    """The render and Audacity's output from where both hold the same frames."""
    if LATENCY == 0:
        return a, b
    return a[LATENCY:], b[: len(b) - LATENCY]


def compare(reference, other, what):
    """Bit-exact comparison of two float files; returns a short description."""
    a, rate_a = read_float(reference)
    b, rate_b = read_float(other)
    if rate_a != rate_b or a.shape != b.shape:
        raise CheckFailed("%s: %d Hz %s against the render's %d Hz %s" %
                          (what, rate_b, b.shape, rate_a, a.shape))
    a, b = aligned(a, b)
    if not numpy.any(a):
        raise CheckFailed("%s: the render is silent" % what)
    if not numpy.array_equal(a, b):
        diff = numpy.abs(a.astype(numpy.float64) - b)
        first = int(numpy.argmax(diff.max(axis=1) > 0))
        raise CheckFailed("%s: largest difference %.3g, first at frame %d (%.1f ms)" %
                          (what, diff.max(), first, 1000.0 * first / rate_a))
    return "%d frames x %d channels identical" % a.shape


def make_inputs(work, rate, names):
    n = rate * SECONDS
    t = numpy.arange(n) / rate
    noise = numpy.random.default_rng(15)
    # A decaying low note on the left and a steady one on the right, both with some noise, so
    # that the filters' and clipper's memories and the Channels switch all show in the output.
    first = numpy.stack([
        0.3 * numpy.sin(2 * numpy.pi * 110 * t) * numpy.exp(-t) + 0.05 * noise.standard_normal(n),
        0.25 * numpy.sin(2 * numpy.pi * 165 * t + 1) + 0.03 * noise.standard_normal(n)], axis=1)
    second = numpy.stack([
        0.4 * numpy.sin(2 * numpy.pi * 82.4 * t) + 0.02 * noise.standard_normal(n),
        0.2 * numpy.sign(numpy.sin(2 * numpy.pi * 55 * t)) * numpy.exp(-0.5 * t)], axis=1)
    paths = []
    for name, data in zip(names, (first, second)):
        path = os.path.join(work, "in-%s.wav" % name)
        soundfile.write(path, data.astype(numpy.float32), rate, subtype="FLOAT")
        paths.append(path)
    return paths


class Session:
    def __init__(self, args):
        self.args = args
        self.work = args.work
        # Commands sent before the main window is up can be lost without an answer.
        deadline = time.monotonic() + 60
        # The main window, whose title then turns into the project's name.
        self.main = None
        while not self.main:
            self.main = xdotool("search", "--onlyvisible", "--name", "^Audacity$").strip()
            if time.monotonic() > deadline:
                raise PipeStuck("Audacity's main window did not appear within 60 s")
            time.sleep(0.2)
        self.main = self.main.split()[0]
        time.sleep(1)
        self.pipe = Pipe("/tmp", args.pid, 60)
        self.plugin = args.plugin
        self.menu_id = None
        self.menu_keys = []
        self.dialog = None

    def use_pedal(self, effect, title, latency, plugin):
        """Makes the following checks drive another pedal, rendered through PLUGIN."""
        global EFFECT, DIALOG_TITLE, LATENCY
        EFFECT, DIALOG_TITLE, LATENCY = effect, title, int(latency)
        self.plugin = plugin
        self.menu_id = None

    def render(self, source, name, program, *sets):
        out = os.path.join(self.work, name)
        command = [self.args.host, "render", self.plugin, source, out, "--program", program]
        for s in sets:
            command += ["--set", s]
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL, timeout=60)
        return out

    def fresh(self, *sources):
        """Replaces the project's tracks with the given files, all selected."""
        self.pipe.do("SelectAll:")
        self.pipe.do("RemoveTracks:")
        for source in sources:
            self.pipe.do('Import2: Filename="%s"' % source)
        self.pipe.do("SelectAll:")

    def export_track(self, track, name):
        out = os.path.join(self.work, name)
        self.pipe.do("SelectTracks: Track=%d TrackCount=1 Mode=Set" % track)
        self.pipe.do('Export2: Filename="%s" NumChannels=2' % out)
        return out

    def apply_program(self, program):
        self.pipe.do('%s: Use_Preset="Factory Preset:%s"' % (EFFECT, program), timeout=60)

    # The checks. Each returns a description or raises CheckFailed.

    def check_program(self, source, program):
        self.fresh(source)
        self.apply_program(program)
        tag = "%s-%s-%s" % (EFFECT, program, os.path.basename(source)[:-4])
        got = self.export_track(0, "program-%s.wav" % tag)
        return compare(self.render(source, "render-%s.wav" % tag, program), got,
                       "program %s" % program)

    def check_two_tracks(self, first, second):
        program = "Hi-Gain"
        self.fresh(first, second)
        self.apply_program(program)
        results = []
        for track, source in enumerate((first, second)):
            got = self.export_track(track, "two-%d.wav" % track)
            want = self.render(source, "render-two-%d.wav" % track, program)
            results.append(compare(want, got, "track %d of two (%s)" % (track + 1, program)))
        return "; ".join(results)

    def open_dialog(self):
        """Opens the effect's dialog as the Effect menu does; returns (dialog, editor) geometry."""
        if self.menu_id is None:
            menus = self.pipe.do("GetInfo: Type=Menus Format=Brief")
            self.menu_id, self.menu_keys = menu_item(menus, DIALOG_TITLE + "...")
            if not self.menu_id:
                raise CheckFailed("the Effect menu has no %s... item" % DIALOG_TITLE)
        if ":" in self.menu_id:
            # The script pipe cuts a command at its first colon, and an LV2 plug-in's id holds a
            # URI: the item is picked from the menus with the keyboard instead, and the pipe
            # stays free while the dialog is open.
            subprocess.run(["xdotool", "windowfocus", "--sync", self.main], timeout=10)
            for key in self.menu_keys:
                subprocess.run(["xdotool", "key", key], check=True, timeout=10)
                time.sleep(0.15)
        else:
            # Modal: the answer comes only when the dialog closes.
            self.pipe.send(self.menu_id + ":")
        deadline = time.monotonic() + 30
        seen, steady = None, 0
        while time.monotonic() < deadline:
            found = None
            for window in xdotool("search", "--name", "^%s$" % re.escape(DIALOG_TITLE)).split():
                found = editor_in(window) or found
            # Clicks go by position: wait until the dialog has its place and the editor shows.
            steady = steady + 1 if found and found == seen and viewable(found[1][2]) else 0
            if steady >= 3:
                self.dialog = found[0]
                return found
            seen = found
            time.sleep(0.2)
        raise CheckFailed("no effect dialog with a %dx%d editor inside appeared within 30 s; "
                          "windows shown: %s" % (EDITOR_SIZE + (shown_windows(),)))

    def close_dialog_with_apply(self, dialog):
        click(dialog[0] + dialog[2] - APPLY_FROM_RIGHT[0], dialog[1] + APPLY_FROM_RIGHT[1])
        if self.pipe.pending is None:
            wait_closed(60)
            return
        ok, text = self.pipe.receive(60)
        if not ok:
            raise CheckFailed("Apply in the dialog failed: %s" % text[-300:])

    def cancel_dialog(self):
        """After a failed dialog check: Apply closes the dialog (the next check starts from
        fresh tracks), and the pipe is free again. Escape does not reach the dialog here."""
        opened_by_keys = self.pipe.pending is None
        shown = dialog_windows() if opened_by_keys else []
        if opened_by_keys and not shown:
            return
        # A dialog without our editor (Audacity's own sliders) still has its Apply button.
        dialog = self.dialog or (window_geometry(shown[0]) if shown else None)
        if dialog:
            click(dialog[0] + dialog[2] - APPLY_FROM_RIGHT[0], dialog[1] + APPLY_FROM_RIGHT[1])
        if opened_by_keys:
            wait_closed(15)
        else:
            self.pipe.receive(15)

    def check_editor_switch(self, source):
        program = "TS"
        self.fresh(source)
        self.apply_program(program)  # the dialog opens with the last settings used
        self.fresh(source)
        dialog, editor = self.open_dialog()
        screenshot(self.work, "dialog-opened")
        click_and_watch(editor, TWEAK_AT, "the tweak plate")
        screenshot(self.work, "dialog-back-panel")
        click_and_watch(editor, STEREO_SWITCH_AT, "the Channels switch")
        screenshot(self.work, "dialog-stereo")
        self.close_dialog_with_apply(dialog)
        got = self.export_track(0, "switch.wav")
        plain = self.render(source, "render-switch-off.wav", program)
        if compare_quietly(plain, got):
            raise CheckFailed("the click on the Channels switch changed nothing")
        want = self.render(source, "render-switch.wav", program, "Stereo=1")
        return "editor at %+d%+d in the dialog; %s" % (
            editor[0] - dialog[0], editor[1] - dialog[1],
            compare(want, got, "%s with Channels switched to Stereo in the editor" % program))

    def check_preview_then_apply(self, source):
        program = "Gritty"
        self.fresh(source)
        self.apply_program(program)
        self.fresh(source)
        dialog, _ = self.open_dialog()
        played = self.args.played
        before = played_sound(played).size
        click(dialog[0] + dialog[2] - PREVIEW_FROM_RIGHT[0], dialog[1] + PREVIEW_FROM_RIGHT[1])
        # The file device plays faster than real time; wait until the sound has stopped growing.
        deadline = time.monotonic() + 20
        heard, last_change = before, time.monotonic()
        while time.monotonic() < deadline:
            now = played_sound(played).size
            if now != heard:
                heard, last_change = now, time.monotonic()
            elif heard > before and time.monotonic() - last_change > 1.0:
                break
            time.sleep(0.25)
        sound = played_sound(played)[before:]
        if sound.size == 0:
            raise CheckFailed("Preview played nothing into %s" % played)
        self.close_dialog_with_apply(dialog)
        got = self.export_track(0, "preview-apply.wav")
        want = self.render(source, "render-preview.wav", program)
        reference, _ = read_float(want)
        reference = reference[LATENCY:].reshape(-1)
        reference = reference[reference != 0]
        if not numpy.array_equal(sound, reference[: sound.size]) or sound.size < reference.size:
            raise CheckFailed("Preview (%s) did not play the render: %d of %d samples, largest "
                              "difference %.3g" % (program, sound.size, reference.size, numpy.abs(
                                  sound[: reference.size] - reference[: sound.size]).max()))
        return "Preview played the render (%d samples); %s" % (sound.size, compare(
            want, got, "Apply after Preview (%s)" % program))


def menu_item(menus, label):
    """The id of the Effect menu's item LABEL, and the keys that pick it, from GetInfo's brief
    list of menus (depth, 1 for a submenu, label, shortcut, id per line)."""
    items = []  # (depth, name, id) under the Effect menu, separators left out
    top = None
    for line in menus.splitlines():
        fields = re.findall(r'"([^"]*)"', line)
        m = re.match(r"\s*(\d+)\s", line)
        if not m or not fields:
            continue
        depth = int(m.group(1))
        if depth == 0:
            top = fields[0]
        elif top == "Effect" and fields[0] != "----":
            items.append((depth, fields[0], fields[-1]))
    for i, (depth, name, item_id) in enumerate(items):
        if name != label:
            continue
        # The item, then each submenu holding it: how many siblings follow it. Counted from
        # a menu's end, as disabled items near the top (Repeat Last Effect) take no key press.
        counts = []
        j, level = i, depth
        while True:
            following = 0
            for d, _, _ in items[j + 1 :]:
                if d < level:
                    break
                following += d == level
            counts.insert(0, following)
            if level == 1:
                break
            j = max(k for k in range(j) if items[k][0] == level - 1)
            level -= 1
        # Alt+C opens the Effect menu (Audacity 3.2's "Effe&ct"); End picks a menu's last item,
        # Right opens a submenu, Return picks the item.
        keys = ["alt+c"]
        for following in counts:
            keys += ["End"] + ["Up"] * following + ["Right"]
        keys[-1] = "Return"
        return item_id, keys
    return None, []


def shown_windows():
    """The viewable top-level windows as "name WxH", for a failure's message."""
    tree = subprocess.run(["xwininfo", "-root", "-children"], capture_output=True, text=True,
                          timeout=10).stdout
    shown = []
    for window in re.findall(r"^\s*(0x[0-9a-f]+)", tree, re.M):
        info = subprocess.run(["xwininfo", "-id", window], capture_output=True, text=True,
                              timeout=10).stdout
        if "IsViewable" in info:
            name = re.search(r'Window id: \S+ (.*)', info)
            size = re.findall(r"^\s*(?:Width|Height):\s*(\d+)", info, re.M)
            shown.append("%s %s" % (name.group(1) if name else "?", "x".join(size)))
    return ", ".join(shown)


def dialog_windows():
    return xdotool("search", "--onlyvisible", "--name", "^%s$" % re.escape(DIALOG_TITLE)).split()


def wait_closed(timeout):
    deadline = time.monotonic() + timeout
    while dialog_windows():
        if time.monotonic() > deadline:
            raise CheckFailed("the effect dialog did not close within %d s" % timeout)
        time.sleep(0.2)
    # Apply runs after the dialog has gone.
    time.sleep(1)


def compare_quietly(reference, other):
    a, _ = read_float(reference)
    b, _ = read_float(other)
    if a.shape != b.shape:
        return False
    a, b = aligned(a, b)
    return numpy.array_equal(a, b)


def played_sound(path):
    """The samples of sound (not silence) that the ALSA file device has been given so far.

    The device writes 32-bit floats whatever its header says, and fills every underrun of its
    instant sink with silence, so only the sound in between is what was played."""
    try:
        data = numpy.fromfile(path, dtype="<f4", offset=44)
    except (FileNotFoundError, ValueError):
        return numpy.zeros(0, numpy.float32)
    return data[data != 0]


def screenshot(work, name):
    """Keeps a picture of the screen for a kept work folder, where ImageMagick is at hand."""
    if os.environ.get("GRAVELIX_KEEP_WORK"):
        try:
            subprocess.run(["import", "-window", "root", os.path.join(work, name + ".png")],
                           capture_output=True, timeout=20)
        except FileNotFoundError:
            pass


def xdotool(*args):
    result = subprocess.run(["xdotool", *args], capture_output=True, text=True, timeout=10)
    return result.stdout


def click(x, y):
    # mousemove --sync waits for a move, forever when the pointer is already there (Apply of
    # two dialogs opened at one place).
    at = re.match(r"x:(-?\d+) y:(-?\d+)", xdotool("getmouselocation"))
    move = [] if at and (int(at.group(1)), int(at.group(2))) == (x, y) else [
        "mousemove", "--sync", str(x), str(y)]
    subprocess.run(["xdotool", *move, "click", "1"], check=True, timeout=10)


def viewable(window):
    info = subprocess.run(["xwininfo", "-id", window], capture_output=True, text=True,
                          timeout=10).stdout
    return "IsViewable" in info


def window_pixels(window):
    """The window's pixels as the X server holds them (xwd), without the file's header."""
    data = subprocess.run(["xwd", "-silent", "-id", window], capture_output=True,
                          timeout=10).stdout
    if len(data) < 100:
        return numpy.zeros(0, numpy.uint8)
    header_size, colours = struct.unpack(">I", data[:4])[0], struct.unpack(">I", data[76:80])[0]
    return numpy.frombuffer(data[header_size + 12 * colours :], dtype=numpy.uint8)


def click_and_watch(editor, at, what):
    """Clicks at an editor position and waits until the editor's picture has changed."""
    before = window_pixels(editor[2])
    click(editor[0] + at[0], editor[1] + at[1])
    deadline = time.monotonic() + 5
    while time.monotonic() < deadline:
        time.sleep(0.2)
        after = window_pixels(editor[2])
        if after.shape == before.shape and numpy.count_nonzero(after != before) > 100:
            return
    raise CheckFailed("the editor did not change within 5 s of a click on %s" % what)


def window_geometry(window):
    """(x, y, width, height) of a window on the screen, or None."""
    info = subprocess.run(["xwininfo", "-id", window], capture_output=True, text=True,
                          timeout=10).stdout
    values = dict(re.findall(r"^\s*(Absolute upper-left [XY]|Width|Height):\s*(-?\d+)", info,
                             re.M))
    if len(values) < 4:
        return None
    return (int(values["Absolute upper-left X"]), int(values["Absolute upper-left Y"]),
            int(values["Width"]), int(values["Height"]))


def editor_in(window):
    """((x, y, width, height) of the dialog, (x, y, id) of the editor window) or None."""
    dialog = window_geometry(window)
    if dialog is None:
        return None
    tree = subprocess.run(["xwininfo", "-tree", "-id", window], capture_output=True,
                          text=True, timeout=10).stdout
    # A child line ends in "WxH+x+y  +absx+absy"; the editor is the deepest one of its size.
    editor = None
    for line in tree.splitlines():
        m = re.search(r"^\s*(0x[0-9a-f]+) .*\s(\d+)x(\d+)[+-]-?\d+[+-]-?\d+\s+\+(-?\d+)\+(-?\d+)\s*$",
                      line)
        if m and (int(m.group(2)), int(m.group(3))) == EDITOR_SIZE:
            editor = (int(m.group(4)), int(m.group(5)), m.group(1))
    if editor is None:
        return None
    return dialog, editor


def run(args):
    global EFFECT, DIALOG_TITLE, LATENCY
    EFFECT, DIALOG_TITLE, LATENCY = args.effect, args.title, args.latency
    first, second = make_inputs(args.work, 44100, ("a", "b"))
    # A track at another rate: Audacity processes each track at its own rate.
    (other_rate,) = make_inputs(args.work, 48000, ("48k",))
    try:
        session = Session(args)
    except PipeStuck as e:
        print("audacity: FAIL connecting: %s" % e)
        return 1
    if args.pedal:
        checks = []
        for pedal in args.pedal:

            def on_pedal(check, pedal=pedal):
                def run_check(*check_args):
                    session.use_pedal(*pedal)
                    return check(*check_args)

                return run_check

            checks += [("%s program %s" % (pedal[1], p), on_pedal(session.check_program),
                        (first, p)) for p in PROGRAMS]
            if args.lv2_editor:
                checks.append(("%s: Channels switched in the editor" % pedal[1],
                               on_pedal(session.check_editor_switch), (first,)))
    else:
        checks = [("program " + p, session.check_program, (first, p)) for p in PROGRAMS]
        checks.append(("program TS at 48 kHz", session.check_program, (other_rate, "TS")))
        checks += [
            ("two tracks in one Apply", session.check_two_tracks, (first, second)),
            ("Channels switched in the editor", session.check_editor_switch, (first,)),
            ("Preview, then Apply", session.check_preview_then_apply, (first,)),
        ]
    passed = failed = 0
    stuck = None
    for name, check, check_args in checks:
        if stuck:
            print("audacity: FAIL %s: not run (%s)" % (name, stuck), flush=True)
            failed += 1
            continue
        start = time.monotonic()
        try:
            detail = check(*check_args)
            print("audacity: pass %s (%.1f s): %s" % (name, time.monotonic() - start, detail),
                  flush=True)
            passed += 1
        except (CheckFailed, subprocess.SubprocessError, OSError) as e:
            print("audacity: FAIL %s: %s" % (name, e), flush=True)
            failed += 1
            try:
                session.cancel_dialog()
            except (PipeStuck, CheckFailed, subprocess.SubprocessError, OSError) as e:
                stuck = str(e)
        except PipeStuck as e:
            print("audacity: FAIL %s: %s" % (name, e), flush=True)
            failed += 1
            stuck = str(e)
    print("audacity: %d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


def edit_cfg(path, group, key=None, value=None):
    """Sets one key of a wxWidgets config file, or drops a whole group."""
    lines = open(path).read().splitlines() if os.path.exists(path) else []
    out, current, done = [], "", False
    for line in lines:
        header = re.match(r"^\[(.*)\]$", line)
        if header:
            if key is not None and current == group and not done:
                out.append("%s=%s" % (key, value))
                done = True
            current = header.group(1)
            if key is None and current == group:
                continue
            out.append(line)
            continue
        if current == group and (key is None or line.split("=", 1)[0] == key):
            continue
        out.append(line)
    if key is not None and not done:
        if current != group:
            out.append("[%s]" % group)
        out.append("%s=%s" % (key, value))
    with open(path, "w") as f:
        f.write("\n".join(out) + "\n")


def main():
    parser = argparse.ArgumentParser()
    sub = parser.add_subparsers(dest="command", required=True)
    r = sub.add_parser("run")
    r.add_argument("--host", required=True)
    r.add_argument("--plugin")
    r.add_argument("--pedal", nargs=4, action="append",
                   metavar=("EFFECT", "TITLE", "LATENCY", "PLUGIN"))
    r.add_argument("--work", required=True)
    r.add_argument("--played", required=True)
    r.add_argument("--pid", type=int, default=0)
    r.add_argument("--effect", default=EFFECT)
    r.add_argument("--title", default=DIALOG_TITLE)
    r.add_argument("--latency", type=int, default=0)
    r.add_argument("--lv2-editor", action="store_true",
                   help="with --pedal: also click the Channels switch in each pedal's editor")
    c = sub.add_parser("cfg")
    c.add_argument("file")
    c.add_argument("group")
    c.add_argument("key", nargs="?")
    c.add_argument("value", nargs="?")
    args = parser.parse_args()
    if args.command == "cfg":
        edit_cfg(args.file, args.group, args.key, args.value)
        return 0
    return run(args)


if __name__ == "__main__":
    sys.exit(main())
