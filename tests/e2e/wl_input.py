#!/usr/bin/python3
"""Real input and screenshots on a headless GNOME compositor (mutter), for
the end-to-end scripts: one remote-desktop session bound to a screen cast of
the monitor, fed one command a line on standard input; each command answers
one line ("ok ..." or "error ...") on standard output.

  move X Y             pointer to screen pixel X,Y
  button N 1|0         press (1) or release (0) button N (1 left, 3 right)
  click X Y [N]        move, then press and release button N (default 1)
  key COMBO...         each like xdotool's: Return, ctrl+a, shift+F10
  type TEXT            the text, character by character
  shot FILE            a PNG of the whole monitor
  windows              the program's mapped top-level windows: ID TITLE pairs,
                       tab-separated (IDs are its xdg_toplevel objects)
  where ID             the window's frame on screen and its client area's
                       offset below the title bar: X Y W H TOP
  focused              the ID of the window with the keyboard focus

The program's side comes from its WAYLAND_DEBUG=client log (the file in
$VESTREL_WAYLAND_LOG), read as it grows. A client cannot know where its
windows are: "where" moves the pointer over the window (found in a screen-cast
frame as what differs from the bare desktop) and takes the surface position
the compositor reports to the program with the pointer's entry.
"""
import ctypes
import os
import re
import subprocess
import sys
import time

from gi.repository import Gio, GLib

GST = ctypes.CDLL('libgstreamer-1.0.so.0')
for _name in ('gst_parse_launch', 'gst_element_get_bus', 'gst_bus_timed_pop_filtered'):
    getattr(GST, _name).restype = ctypes.c_void_p
GST.gst_parse_launch.argtypes = [ctypes.c_char_p, ctypes.c_void_p]
GST.gst_element_set_state.argtypes = [ctypes.c_void_p, ctypes.c_int]
GST.gst_element_get_bus.argtypes = [ctypes.c_void_p]
GST.gst_bus_timed_pop_filtered.argtypes = [ctypes.c_void_p, ctypes.c_uint64, ctypes.c_int]
GST.gst_mini_object_unref.argtypes = [ctypes.c_void_p]
GST.gst_object_unref.argtypes = [ctypes.c_void_p]
GST.gst_init(None, None)
BUS = Gio.bus_get_sync(Gio.BusType.SESSION, None)
BUTTONS = {1: 272, 2: 274, 3: 273}  # evdev BTN_LEFT, BTN_MIDDLE, BTN_RIGHT
KEYSYMS = {
    'Return': 0xff0d, 'KP_Enter': 0xff8d, 'Escape': 0xff1b, 'Tab': 0xff09,
    'BackSpace': 0xff08, 'Delete': 0xffff, 'Home': 0xff50, 'End': 0xff57,
    'Left': 0xff51, 'Up': 0xff52, 'Right': 0xff53, 'Down': 0xff54,
    'Menu': 0xff67, 'space': 0x20, 'minus': 0x2d, 'slash': 0x2f, 'period': 0x2e,
    'shift': 0xffe1, 'ctrl': 0xffe3, 'alt': 0xffe9, 'super': 0xffeb,
}
KEYSYMS.update({'F%d' % n: 0xffbe + n - 1 for n in range(1, 13)})


def call(path, iface, method, args=None, reply=None):
    """A method of mutter's interface org.gnome.Mutter.IFACE."""
    service = 'org.gnome.Mutter.' + iface.split('.')[0]
    return BUS.call_sync(service, path, 'org.gnome.Mutter.' + iface, method, args,
                         GLib.VariantType(reply) if reply else None,
                         Gio.DBusCallFlags.NONE, 10000, None)


class Desktop:
    def __init__(self):
        # The compositor may take its names on the bus a moment after its
        # Wayland socket appeared.
        deadline = time.monotonic() + 10
        while True:
            try:
                rd = call('/org/gnome/Mutter/RemoteDesktop', 'RemoteDesktop', 'CreateSession',
                          None, '(o)')[0]
                break
            except GLib.Error:
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.1)
        self.rd = rd
        session_id = BUS.call_sync('org.gnome.Mutter.RemoteDesktop', rd,
                                   'org.freedesktop.DBus.Properties', 'Get',
                                   GLib.Variant('(ss)', ('org.gnome.Mutter.RemoteDesktop.Session',
                                                         'SessionId')),
                                   GLib.VariantType('(v)'), Gio.DBusCallFlags.NONE, 10000,
                                   None)[0]
        sc = call('/org/gnome/Mutter/ScreenCast', 'ScreenCast', 'CreateSession',
                  GLib.Variant('(a{sv})', ({'remote-desktop-session-id':
                                            GLib.Variant('s', session_id)},)), '(o)')[0]
        self.stream = call(sc, 'ScreenCast.Session', 'RecordMonitor',
                           GLib.Variant('(sa{sv})', ('', {})), '(o)')[0]
        self.node = None
        BUS.signal_subscribe('org.gnome.Mutter.ScreenCast', 'org.gnome.Mutter.ScreenCast.Stream',
                             'PipeWireStreamAdded', self.stream, None, Gio.DBusSignalFlags.NONE,
                             self._on_node)
        call(rd, 'RemoteDesktop.Session', 'Start')
        ctx = GLib.MainContext.default()
        deadline = time.monotonic() + 10
        while self.node is None and time.monotonic() < deadline:
            ctx.iteration(True)
        if self.node is None:
            raise RuntimeError('the screen cast gave no PipeWire node')
        # The compositor drops the first key after the session starts
        # (only its release arrives).
        self.keysym(KEYSYMS['shift'], True)
        self.keysym(KEYSYMS['shift'], False)

    def _on_node(self, _bus, _sender, _path, _iface, _signal, params):
        self.node = params[0]

    def rd_call(self, method, signature, *args):
        call(self.rd, 'RemoteDesktop.Session', method, GLib.Variant(signature, args))

    def move(self, x, y):
        self.rd_call('NotifyPointerMotionAbsolute', '(sdd)', self.stream, float(x), float(y))

    def button(self, n, pressed):
        self.rd_call('NotifyPointerButton', '(ib)', BUTTONS[n], pressed)

    def keysym(self, sym, pressed):
        self.rd_call('NotifyKeyboardKeysym', '(ub)', sym, pressed)

    def key(self, combo):
        syms = [KEYSYMS.get(k, ord(k) if len(k) == 1 else None) for k in combo.split('+')]
        if None in syms:
            raise ValueError('unknown key in ' + combo)
        for s in syms:
            self.keysym(s, True)
        # Held as a person holds a key: a program reacting to the press
        # meets the release later, not in the same read. (GTK grabs a menu
        # opened by keys with the latest key event's serial, and the
        # compositor takes only the last key pressed or released: a menu
        # opened after Shift was let go closes at once.)
        time.sleep(0.1 if len(syms) > 1 else 0.03)
        for s in reversed(syms):
            self.keysym(s, False)

    def shot(self, path):
        # GStreamer through its C library: no gst-launch or typelib needed.
        if os.path.exists(path):
            os.remove(path)
        pipeline = GST.gst_parse_launch(
            ('pipewiresrc path=%d num-buffers=1 ! videoconvert ! pngenc ! filesink location="%s"'
             % (self.node, path)).encode(), None)
        if not pipeline:
            raise ValueError('no screenshot pipeline (gstreamer1.0-pipewire missing?)')
        try:
            GST.gst_element_set_state(pipeline, 4)  # PLAYING
            bus = GST.gst_element_get_bus(pipeline)
            # Ends at end-of-stream (1) or an error (2); 10 s at most.
            msg = GST.gst_bus_timed_pop_filtered(bus, ctypes.c_uint64(10 * 10**9), 3)
            if msg:
                GST.gst_mini_object_unref(msg)
            GST.gst_object_unref(bus)
        finally:
            GST.gst_element_set_state(pipeline, 1)  # NULL
            GST.gst_object_unref(pipeline)
        if not os.path.exists(path) or os.path.getsize(path) == 0:
            raise ValueError('the screen cast gave no frame')


NEW_ID = re.compile(r'-> xdg_wm_base@\d+\.get_xdg_surface\(new id xdg_surface@(\d+), wl_surface@(\d+)\)')
TOPLEVEL = re.compile(r'-> xdg_surface@(\d+)\.get_toplevel\(new id xdg_toplevel@(\d+)\)')
TITLE = re.compile(r'-> xdg_toplevel@(\d+)\.set_title\("(.*)"\)$')
GEOMETRY = re.compile(r'-> xdg_surface@(\d+)\.set_window_geometry\((-?\d+), (-?\d+), (\d+), (\d+)\)')
DESTROY = re.compile(r'-> xdg_(surface|toplevel)@(\d+)\.destroy\(\)')
ACK = re.compile(r'-> xdg_surface@(\d+)\.ack_configure\(')
ENTER = re.compile(r'wl_(pointer|keyboard)@\d+\.enter\(\d+, wl_surface@(\d+)(?:, (-?[\d.]+), (-?[\d.]+))?')
LEAVE = re.compile(r'wl_(pointer|keyboard)@\d+\.leave\(')
MOTION = re.compile(r'wl_pointer@\d+\.motion\(\d+, (-?[\d.]+), (-?[\d.]+)\)')


class ClientLog:
    """The program's windows, followed through its protocol log."""

    def __init__(self, path):
        self.path, self.offset, self.rest = path, 0, ''
        self.surface_of = {}   # xdg_surface -> wl_surface
        self.toplevels = {}    # xdg_toplevel -> [xdg_surface, title, geometry, mapped]
        self.pointer = None    # [wl_surface, x, y] under the pointer, or None
        self.keyboard = None   # wl_surface with the keyboard focus
        self.pointer_events = 0

    def read(self):
        try:
            with open(self.path, errors='replace') as f:
                f.seek(self.offset)
                text = f.read()
                self.offset = f.tell()
        except OSError:
            return
        lines = (self.rest + text).split('\n')
        self.rest = lines.pop()
        for line in lines:
            self._line(line)

    def _line(self, line):
        if m := NEW_ID.search(line):
            self.surface_of[m[1]] = m[2]
        elif m := TOPLEVEL.search(line):
            self.toplevels[m[2]] = [m[1], '', None, False]
        elif m := TITLE.search(line):
            if m[1] in self.toplevels:
                self.toplevels[m[1]][1] = m[2]
        elif m := GEOMETRY.search(line):
            for t in self.toplevels.values():
                if t[0] == m[1]:
                    t[2] = tuple(int(v) for v in m.groups()[1:])
        elif m := ACK.search(line):
            for t in self.toplevels.values():
                if t[0] == m[1]:
                    t[3] = True
        elif m := DESTROY.search(line):
            if m[1] == 'toplevel':
                self.toplevels.pop(m[2], None)
        elif m := ENTER.search(line):
            if m[1] == 'pointer':
                self.pointer = [m[2], float(m[3]), float(m[4])]
                self.pointer_events += 1
            else:
                self.keyboard = m[2]
        elif m := MOTION.search(line):
            if self.pointer:
                self.pointer[1:] = [float(m[1]), float(m[2])]
            self.pointer_events += 1
        elif m := LEAVE.search(line):
            if m[1] == 'pointer':
                self.pointer = None
                self.pointer_events += 1
            else:
                self.keyboard = None

    def windows(self):
        self.read()
        return {i: t for i, t in self.toplevels.items() if t[3] and t[2]}

    def wl_surface(self, toplevel):
        return self.surface_of.get(self.windows()[toplevel][0])


def pixels(png, geometry=None):
    """RGB bytes of a PNG (or of a part, geometry 'WxH+X+Y'), via ImageMagick."""
    args = ['convert', png] + (['-crop', geometry, '+repage'] if geometry else [])
    return subprocess.run(args + ['-depth', '8', 'rgb:-'], check=True, capture_output=True,
                          timeout=20).stdout


CELL = 16


def covered_cells(png, bare):
    """Centres of the 16 px cells of the monitor whose middle pixel differs
    from the bare desktop's."""
    def sample(p):
        return subprocess.run(['convert', p, '-sample', '%dx%d!' % (1280 // CELL, 1024 // CELL),
                               '-depth', '8', 'rgb:-'], check=True, capture_output=True,
                              timeout=20).stdout
    a, b = sample(png), sample(bare)
    out = []
    for i in range(0, min(len(a), len(b)), 3):
        if max(abs(a[i + k] - b[i + k]) for k in range(3)) > 24:
            n = i // 3
            out.append(((n % (1280 // CELL)) * CELL + CELL // 2, (n // (1280 // CELL)) * CELL + CELL // 2))
    return out


class Windows:
    def __init__(self, desk, log_path, tmp):
        self.desk, self.log = desk, ClientLog(log_path)
        self.tmp = tmp
        self.frames = {}  # xdg_toplevel -> (xdg_surface, frame found)
        self.bare = os.path.join(tmp, 'bare.png')
        desk.shot(self.bare)

    def probe(self, x, y):
        """The program's surface under screen point x,y and the point in it:
        [wl_surface, x, y], or None over another client or the desktop."""
        self.log.read()
        before = self.log.pointer_events
        self.desk.move(x + 1, y)
        self.desk.move(x, y)
        # Whatever the program gets comes within moments; it is settled
        # when nothing more has come for a while.
        seen, quiet_since, start = before, time.monotonic(), time.monotonic()
        while time.monotonic() - start < 2:
            time.sleep(0.01)
            self.log.read()
            if self.log.pointer_events != seen:
                seen, quiet_since = self.log.pointer_events, time.monotonic()
            elif time.monotonic() - quiet_since > (0.08 if seen > before else 0.3):
                break
        return self.log.pointer if seen > before else None

    def where(self, toplevel):
        wins = self.log.windows()
        if toplevel not in wins:
            raise ValueError('no window %s' % toplevel)
        for gone in [t for t in self.frames if t not in wins or self.frames[t][0] != wins[t][0]]:
            del self.frames[gone]
        if toplevel in self.frames:
            return self.frames[toplevel][1]
        surface = self.log.wl_surface(toplevel)
        gx, gy, gw, gh = wins[toplevel][2]
        png = os.path.join(self.tmp, 'where.png')
        self.desk.shot(png)
        cells = covered_cells(png, self.bare)
        if not cells:
            raise ValueError('nothing on the screen')
        # Most likely first: outside the windows already found, then from
        # the middle of what is covered outward.
        known = [f[1] for t, f in self.frames.items() if t != toplevel]
        mx = sum(c[0] for c in cells) / len(cells)
        my = sum(c[1] for c in cells) / len(cells)

        def inside_known(c):
            return any(k[0] <= c[0] < k[0] + k[2] and k[1] <= c[1] < k[1] + k[3] for k in known)
        cells.sort(key=lambda c: (inside_known(c), (c[0] - mx) ** 2 + (c[1] - my) ** 2))
        for x, y in cells[:400]:
            hit = self.probe(x, y)
            if hit and hit[0] == surface:
                left, top = round(x - hit[1]) + gx, round(y - hit[2]) + gy
                # The first frames may be drawn before the client area is.
                bar = self.client_top(png, left, top, gh)
                for _ in range(3 if bar == 0 else 0):
                    time.sleep(0.3)
                    self.desk.shot(png)
                    bar = self.client_top(png, left, top, gh)
                    if bar:
                        break
                frame = (left, top, gw, gh, bar)
                self.frames[toplevel] = (wins[toplevel][0], frame)
                return frame
        raise ValueError('window %s not found on the screen' % toplevel)

    @staticmethod
    def client_top(png, left, top, height):
        """Height of the title bar: rows from the frame's top down to the
        first white one (the program paints its windows white), 0 without."""
        col = pixels(png, '1x%d+%d+%d' % (min(height, 80), left + 4, top))
        for row in range(len(col) // 3):
            if col[3 * row:3 * row + 3] == b'\xff\xff\xff':
                return row if row > 8 else 0
        return 0


def run(desk, words, line):
    cmd = words[0]
    if cmd == 'move':
        desk.move(words[1], words[2])
    elif cmd == 'button':
        desk.button(int(words[1]), words[2] == '1')
    elif cmd == 'click':
        desk.move(words[1], words[2])
        time.sleep(0.05)
        n = int(words[3]) if len(words) > 3 else 1
        desk.button(n, True)
        desk.button(n, False)
    elif cmd == 'key':
        for combo in words[1:]:
            desk.key(combo)
            time.sleep(0.02)
    elif cmd == 'type':
        for ch in line.split(' ', 1)[1]:
            desk.keysym(KEYSYMS['space'] if ch == ' ' else ord(ch), True)
            desk.keysym(KEYSYMS['space'] if ch == ' ' else ord(ch), False)
            time.sleep(0.02)
    elif cmd == 'shot':
        desk.shot(words[1])
    elif cmd == 'windows':
        return '\t'.join('%s\t%s' % (i, t[1]) for i, t in desk.windows.log.windows().items())
    elif cmd == 'where':
        return ' '.join(str(v) for v in desk.windows.where(words[1]))
    elif cmd == 'focused':
        log = desk.windows.log
        log.read()
        return ' '.join(i for i in log.windows() if log.wl_surface(i) == log.keyboard)
    else:
        raise ValueError('unknown command ' + cmd)


def main():
    desk = Desktop()
    desk.windows = Windows(desk, os.environ['VESTREL_WAYLAND_LOG'], os.environ.get('TMPDIR', '/tmp'))
    print('ok node %d' % desk.node, flush=True)
    for line in sys.stdin:
        line = line.rstrip('\n')
        words = line.split()
        if not words:
            continue
        try:
            answer = run(desk, words, line)
            print('ok' if answer is None else 'ok ' + answer, flush=True)
        except (GLib.Error, ValueError, KeyError, IndexError) as e:
            print('error %s' % e, flush=True)


if __name__ == '__main__':
    main()
