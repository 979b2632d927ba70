#!/usr/bin/python3
"""What a screen reader gets from the program, read through AT-SPI.

  a11y.py tree PID                 the tree: role, name, relations, value
  a11y.py check PID WINDOW [MO]    names and roles of the window's Tab stops,
                                   and that every label names what it labels
                                   (with MO, a compiled catalog: the names
                                   and the title are its translations)
  a11y.py press PID NAME           presses the button NAME (its action)
  a11y.py value PID NAME           the value of the object NAME
  a11y.py alert PID TEXT           waits for an alert holding TEXT: its name
  a11y.py status PID               the status bar's name, description, text
                                   and its last word
  a11y.py events PID               prints the program's events as they come
  a11y.py ring PID NAME PNG1 PNG2  pixels round NAME that focus changed
                                   (PNG1 focused, PNG2 not), how many of
                                   them are at 3:1 or more against white,
                                   and NAME's width + height
"""
import gettext
import subprocess
import sys
import time

import pyatspi

# What each control a person reaches by Tab is called, and what it is.
TAB_STOPS = {
    "Vestrel": {
        "Record": "push button", "Select Source": "combo box", "Output file": "text",
        "Select output file...": "push button", "Bit rate": "combo box",
        "Website": "push button", "Help": "push button", "Convert Options": "push button",
        "Convert and Save": "push button", "Play take": "push button",
        "Stop playback": "push button", "Position": "slider", "Volume": "slider",
        "Information page": "scroll pane", "Pause": "push button",
        "Input level": "level bar",  # focusable to GTK, though Tab passes it by
    },
    "Options": {"OK": "push button", "Cancel": "push button", "Format": "combo box",
                "Bitrate": "combo box"},
}


def app_of(pid):
    for _ in range(100):
        for a in pyatspi.Registry.getDesktop(0):
            if a is not None and a.get_process_id() == pid:
                return a
        time.sleep(0.1)
    sys.exit("no accessible application of process %d" % pid)


def walk(o):
    yield o
    if o.getRoleName() != "document web":  # the page's insides are the page's
        for c in o:
            if c is not None:
                yield from walk(c)


def showing(o):
    return o.getState().contains(pyatspi.STATE_SHOWING)


def find(pid, name, role=None, seconds=5):
    for _ in range(seconds * 10):
        for o in walk(app_of(pid)):
            if o.name == name and showing(o) and (role is None or o.getRoleName() == role):
                return o
        time.sleep(0.1)
    sys.exit("nothing showing is named %r" % name)


def relations(o):
    out = []
    for r in o.getRelationSet():
        kind = r.getRelationType().value_nick
        out += [(kind, r.getTarget(i)) for i in range(r.getNTargets())]
    return out


def line(o):
    rel = " ".join("%s->%s %r" % (k, t.getRoleName(), t.name) for k, t in relations(o))
    try:
        v = o.queryValue()
        rel += " value %g [%g..%g]" % (v.currentValue, v.minimumValue, v.maximumValue)
    except NotImplementedError:
        pass
    return "%s\t%r\t%s" % (o.getRoleName(), o.name, rel)


def tree(pid):
    def show(o, depth):
        if showing(o) or depth < 2:
            print("  " * depth + line(o))
            for c in o:
                if c is not None and o.getRoleName() != "document web":
                    show(c, depth + 1)
    show(app_of(pid), 0)


def check(pid, title, mo=None):
    tr = gettext.GNUTranslations(open(mo, "rb")).gettext if mo else (lambda text: text)
    window = next((w for w in app_of(pid) if w.name == tr(title) and showing(w)), None)
    if window is None:
        sys.exit("no window %r" % tr(title))
    want = {tr(name): role for name, role in TAB_STOPS[title].items()}
    faults = []
    for o in walk(window):
        inside_page = o.getRoleName() == "document web" or o.parent.getRoleName() == "filler"
        # (GTK's combo box takes the focus in a button it does not show.)
        tab_stop = o.getState().contains(pyatspi.STATE_FOCUSABLE) or o.getRoleName() == "combo box"
        if tab_stop and showing(o) and not inside_page:
            role = want.pop(o.name, None)
            if role is None:
                faults.append("Tab stop %s %r is not one a person should meet" % (o.getRoleName(), o.name))
            elif role != o.getRoleName():
                faults.append("%r is a %s, not a %s" % (o.name, o.getRoleName(), role))
        for kind, target in relations(o):
            # A label names what it labels; nothing else labels anything.
            if kind in ("label-for", "labelled-by"):
                label, control = (o, target) if kind == "label-for" else (target, o)
                if label.getRoleName() != "label" or label.name != control.name:
                    faults.append("%s %r %s %s %r" % (o.getRoleName(), o.name, kind,
                                                      target.getRoleName(), target.name))
    faults += ["no Tab stop named %r" % n for n in want]
    if faults:
        sys.exit("\n".join(faults))


def press(pid, name):
    find(pid, name, "push button").queryAction().doAction(0)


def events(pid):
    def on(e):
        try:
            if e.source.get_process_id() != pid:
                return
            data = e.any_data if isinstance(e.any_data, (str, int, float)) else ""
            said = [str(s).replace("\n", " ") for s in (e.source.name, data)]
            print("%s\t%s\t%s\t%s" % (e.type, e.source.getRoleName(), *said), flush=True)
        except Exception:  # an object gone meanwhile
            pass
    pyatspi.Registry.registerEventListener(
        on, "object:text-changed:insert", "object:property-change:accessible-name",
        "object:announcement", "window:create")
    print("listening", flush=True)
    pyatspi.Registry.start()


def alert(pid, text):
    for _ in range(150):
        for w in app_of(pid):
            if w is not None and w.getRoleName() == "alert" and showing(w):
                said = [o.name for o in walk(w) if o.getRoleName() == "label"]
                if any(text in s for s in said):
                    print("%s\t%s\t%s" % (w.getRoleName(), w.name, " | ".join(said)))
                    return
        time.sleep(0.1)
    sys.exit("no alert says %r" % text)


def status(pid):
    """The status bar's name, description, text (as a reader's text
    commands read it, line breaks kept) and its last word."""
    for w in app_of(pid):
        for o in walk(w):
            if o.getRoleName() == "status bar" and showing(o):
                text = o.queryText()
                whole = text.getText(0, -1)
                if len(whole) != text.characterCount:
                    sys.exit("the text %r counts %d characters" % (whole, text.characterCount))
                last = text.getStringAtOffset(text.characterCount - 1,
                                              pyatspi.TEXT_GRANULARITY_WORD)[0]
                print("%s\t%s\t%s\t%s" % (o.name, o.description, whole.replace("\n", "\\n"),
                                           last))
                return
    sys.exit("no status bar showing")


def luminance(rgb):
    def lin(c):
        c /= 255
        return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4
    r, g, b = (lin(c) for c in rgb)
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


def pixels(png, x, y, w, h):
    out = subprocess.run(["convert", png, "-crop", "%sx%s+%s+%s" % (w, h, x, y), "+repage",
                          "-depth", "8", "txt:-"], capture_output=True, text=True).stdout
    return {row.split(":")[0]: tuple(int(row.split("#")[1][i:i + 2], 16) for i in (0, 2, 4))
            for row in out.splitlines()[1:]}


def ring(pid, name, focused, unfocused):
    """Pixels round NAME that focus changed, and how many of them stand out
    from white by at least 3:1."""
    e = find(pid, name).queryComponent().getExtents(pyatspi.WINDOW_COORDS)
    box = (e.x - 3, e.y - 3, e.width + 6, e.height + 6)
    before, after = pixels(unfocused, *box), pixels(focused, *box)
    changed = [rgb for at, rgb in after.items() if before.get(at) != rgb]
    strong = [rgb for rgb in changed if 1.05 / (luminance(rgb) + 0.05) >= 3]
    print(len(changed), len(strong), e.width + e.height)


def main():
    cmd, args = sys.argv[1], sys.argv[2:]
    pid = int(args[0])
    if cmd == "tree":
        tree(pid)
    elif cmd == "check":
        check(pid, *args[1:3])
    elif cmd == "press":
        press(pid, args[1])
    elif cmd == "value":
        print("%g" % find(pid, args[1]).queryValue().currentValue)
    elif cmd == "ring":
        ring(pid, *args[1:])
    elif cmd == "alert":
        alert(pid, args[1])
    elif cmd == "status":
        status(pid)
    elif cmd == "events":
        events(pid)


main()
