#!/usr/bin/python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Oskel to a screen reader and to the keyboard alone, over the real desktop parts.

Runs the program under a private Xvfb with a private session bus and the AT-SPI bus launcher
(which starts the accessibility bus and its registry), against a virtual keyboard that logs
every report it receives, and reads the program through pyatspi as a screen reader would:

  - the main window lists its 108 keys and its buttons by name in both languages, and its level
    switch is a check box whose state follows the level;
  - a key's press action opens the key settings dialog, whose tabs, options and lists are in the
    tree with states that follow mouse clicks;
  - keys alone (xdotool keys, no mouse): Volume Up assigned to F3 on level 1 and written to the
    keyboard; the reports the keyboard receives equal those of the same assignment made with the
    mouse.

How Qt comes to register on a private bus: Qt's AT-SPI bridge asks the session bus for
org.a11y.Bus and turns itself on only while that service's org.a11y.Status property IsEnabled
(or ScreenReaderEnabled) is true, and follows the property when it changes. A desktop's
settings make the launcher answer true; on a fresh private bus it answers false, so the test
sets IsEnabled to true on the launcher before the program starts. No environment variable
(QT_LINUX_ACCESSIBILITY_ALWAYS_ON) is needed, and the program is tested as a desktop runs it.

Every wait is a poll with a generous limit, and everything started is stopped at the end.
Usage: accessibility_test.py BINDIR
"""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SKIP = 77
LIMIT = 40.0  # seconds for any one thing to happen on a loaded machine

try:
    import gi

    gi.require_version("Atspi", "2.0")
    from gi.repository import GLib
    import pyatspi
except (ImportError, ValueError) as missing:
    print(f"skipped: pyatspi is not installed ({missing})")
    sys.exit(SKIP)

LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
for tool in ("Xvfb", "dbus-daemon", "xdotool"):
    if shutil.which(tool) is None:
        print(f"skipped: {tool} is not installed")
        sys.exit(SKIP)
if not os.access(LAUNCHER, os.X_OK):
    print("skipped: at-spi2-core is not installed")
    sys.exit(SKIP)

BIN = sys.argv[1]
failures = []


def check(condition, what):
    if condition:
        print(f"ok: {what}")
    else:
        print(f"FAILED: {what}")
        failures.append(what)
    return condition


class Desktop:
    """Xvfb, a session bus, the AT-SPI launcher and a virtual keyboard, all private."""

    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="oskel-a11y-")
        os.chmod(self.dir, 0o700)
        self.children = []
        self.env = dict(os.environ)
        for name in ("DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS", "QT_ACCESSIBILITY",
                     "QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "WAYLAND_DISPLAY"):
            self.env.pop(name, None)
        self.env["XDG_RUNTIME_DIR"] = self.dir
        self.env["QT_QPA_PLATFORM"] = "xcb"
        self.env["NO_AT_BRIDGE"] = "0"
        # Qt's xcb platform copies a reply's text with strndup past where a terminator would be
        # (within its bounds), which the address sanitizer's strict string checks call an
        # overflow: keep those checks off for the programs of this desktop.
        if "ASAN_OPTIONS" in self.env:
            self.env["ASAN_OPTIONS"] = self.env["ASAN_OPTIONS"].replace(
                "strict_string_checks=1", "strict_string_checks=0")

        read, write = os.pipe()
        self.spawn(["Xvfb", "-displayfd", str(write), "-nolisten", "tcp", "-screen", "0",
                    "1600x900x24", "-noreset"], pass_fds=(write,))
        os.close(write)
        display = self.read_line(read)
        os.close(read)
        self.env["DISPLAY"] = ":" + display

        read, write = os.pipe()
        self.spawn(["dbus-daemon", "--session", "--nofork", "--nosyslog",
                    f"--print-address={write}"], pass_fds=(write,))
        os.close(write)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = self.read_line(read)
        os.close(read)

        self.spawn([LAUNCHER, "--launch-immediately"])
        self.wait(lambda: self.bus_call(["org.freedesktop.DBus.Properties.Set",
                                         "string:org.a11y.Status", "string:IsEnabled",
                                         "variant:boolean:true"]), "the AT-SPI launcher")
        # The client side of this test talks to the same buses.
        os.environ.update({k: self.env[k] for k in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS",
                                                    "XDG_RUNTIME_DIR")})
        os.environ.pop("AT_SPI_BUS_ADDRESS", None)

    def spawn(self, args, log=None, **kw):
        out = open(log, "w") if log else subprocess.DEVNULL
        child = subprocess.Popen(args, env=self.env, stdout=out, stderr=subprocess.STDOUT,
                                 stdin=kw.pop("stdin", subprocess.DEVNULL), **kw)
        self.children.append(child)
        return child

    @staticmethod
    def read_line(fd):
        deadline = time.monotonic() + LIMIT
        data = b""
        while not data.endswith(b"\n") and time.monotonic() < deadline:
            chunk = os.read(fd, 256)
            if not chunk:
                break
            data += chunk
        return data.decode().strip()

    def bus_call(self, args):
        return subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
                               "/org/a11y/bus"] + args, env=self.env, capture_output=True,
                              timeout=LIMIT).returncode == 0

    @staticmethod
    def wait(condition, what, limit=LIMIT):
        deadline = time.monotonic() + limit
        while time.monotonic() < deadline:
            pump()
            value = condition()
            if value:
                return value
            time.sleep(0.1)
        raise TimeoutError(f"timed out waiting for {what}")

    def stop_all(self):
        for child in reversed(self.children):
            if child.poll() is None:
                child.send_signal(signal.SIGTERM)
        for child in reversed(self.children):
            try:
                child.wait(timeout=10)
            except subprocess.TimeoutExpired:
                child.kill()
                child.wait()
        shutil.rmtree(self.dir, ignore_errors=True)


def pump():
    """Lets pyatspi take the events the program sent (they keep its cache up to date)."""
    context = GLib.MainContext.default()
    while context.pending():
        context.iteration(False)


class Program:
    """A run of Oskel on a fresh virtual keyboard that logs every report."""

    def __init__(self, desktop, name):
        self.desktop = desktop
        self.name = name
        self.log = os.path.join(desktop.dir, f"{name}-reports.log")
        self.keyboard = desktop.spawn([os.path.join(BIN, "oskel-virtual-keyboard"), "--log",
                                       self.log], log=self.log + ".out", stdin=subprocess.PIPE)
        desktop.wait(lambda: "ready" in open(self.log + ".out").read(), "the virtual keyboard")
        self.process = desktop.spawn([os.path.join(BIN, "Oskel")],
                                     log=os.path.join(desktop.dir, f"{name}-oskel.log"))
        # The first registration waits for the registry and, under the sanitizers, for a slow
        # start: give it longer than any later step, and say at once when Oskel ended instead.
        self.app = desktop.wait(self.find_app, "Oskel on the accessibility bus", limit=3 * LIMIT)
        self.main = desktop.wait(lambda: self.dialog("Oskel"), "the main window")

    def find_app(self):
        if self.process.poll() is not None:
            with open(os.path.join(self.desktop.dir, f"{self.name}-oskel.log")) as log:
                said = log.read()[-3000:]
            raise RuntimeError(f"Oskel ended with status {self.process.returncode} before it "
                               f"appeared on the accessibility bus:\n{said}")
        desk = pyatspi.Registry.getDesktop(0)
        for i in range(desk.childCount):
            app = desk.getChildAtIndex(i)
            if app is not None and app.name == "Oskel":
                try:
                    if app.get_process_id() == self.process.pid:
                        return app
                except Exception:
                    return app
        return None

    def dialog(self, name):
        for i in range(self.app.childCount):
            d = self.app.getChildAtIndex(i)
            if d is not None and d.name == name and d.getState().contains(pyatspi.STATE_SHOWING):
                return d
        return None

    def reports(self):
        with open(self.log) as f:
            return f.read().splitlines()

    def stop(self):
        for child in (self.process, self.keyboard):
            if child.poll() is None:
                child.send_signal(signal.SIGTERM)
                try:
                    child.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    child.kill()


def children(node):
    return [node.getChildAtIndex(i) for i in range(node.childCount)]


def descendants(node, depth=3):
    for c in children(node):
        yield c
        if depth > 1:
            yield from descendants(c, depth - 1)


def by_name(node, role, name):
    for c in children(node):
        if c.getRoleName() == role and c.name == name:
            return c
    return None


def states(node):
    return node.getState()


def press(node):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i).lower() == "press":
            return action.doAction(i)
    raise AssertionError(f"{node.name} has no press action")


def focused(program):
    for d in children(program.app):
        for c in children(d):
            if states(c).contains(pyatspi.STATE_FOCUSED):
                return c
            if c.getRoleName() == "list":
                for row in children(c):
                    if states(row).contains(pyatspi.STATE_FOCUSED):
                        return row
    return None


def key(desktop, *keys):
    subprocess.run(["xdotool", "key", "--delay", "60"] + list(keys), env=desktop.env,
                   check=True, timeout=LIMIT)


def tab_to(desktop, program, name, role=None, limit=250):
    """Tab until the focused object has this name; the keyboard is all there is."""
    for _ in range(limit):
        now = desktop.wait(lambda: focused(program), "a focused object")
        if now.name == name and (role is None or now.getRoleName() == role):
            return now
        key(desktop, "Tab")
        time.sleep(0.05)
    raise AssertionError(f"Tab never reached {name}")


def click(desktop, node):
    """A mouse click in the middle of an object, for the mouse-made run."""
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    x, y = box.x + box.width // 2, box.y + box.height // 2
    subprocess.run(["xdotool", "mousemove", "--sync", str(x), str(y), "click", "1"],
                   env=desktop.env, check=True, timeout=LIMIT)


KEYS_ZH = ["保存配置", "打开配置", "清空配置", "写入按键", "设置背光", "读取配置", "固件升级",
           "English", "帮助", "最小化", "关闭"]
KEYS_EN = ["Save", "Open", "Clear", "WriteKeys", "LightSet", "ReadAll", "Update", "简体中文",
           "Help", "Minimize", "Close"]
SAMPLE_KEYS = ["Esc", "F1", "F3", "F12", "Q", "A", "Z", "Tab", "BackSpace", "KP/"]


def key_buttons(window):
    return [c for c in children(window) if c.getRoleName() == "push button" and c.description]


def main_window_tree(desktop, program):
    w = program.main
    for language, buttons, level_name in (("zh-CN", KEYS_ZH, "下档键"),
                                          ("en-US", KEYS_EN, "LevelDn")):
        keys = desktop.wait(lambda: len(key_buttons(w)) == 108 and key_buttons(w),
                            "108 keys in the tree")
        names = [k.name for k in keys]
        # Shift, Ctrl, Alt and Enter are there twice, as on the keyboard.
        check(len(keys) == 108 and all(names) and len(set(names)) > 100,
              f"{language}: 108 keys, each with its name")
        check(all(n in names for n in SAMPLE_KEYS), f"{language}: keys named by their legend")
        check(all(by_name(w, "push button", b) is not None for b in buttons),
              f"{language}: the buttons by name: {', '.join(buttons)}")
        level = by_name(w, "check box", level_name)
        check(level is not None and not states(level).contains(pyatspi.STATE_CHECKED),
              f"{language}: the level switch is an unchecked check box '{level_name}' on level 1")
        if language == "zh-CN":
            press(by_name(w, "push button", "English"))
            desktop.wait(lambda: by_name(w, "push button", "Save"), "the English captions")
    # The level follows the switch, and the bus says so.
    heard = []

    def listener(event):
        if event.source is not None and event.source.name == "LevelDn":
            heard.append(event.detail1)

    pyatspi.Registry.registerEventListener(listener, "object:state-changed:checked")
    level = by_name(w, "check box", "LevelDn")
    press(level)
    check(desktop.wait(lambda: states(level).contains(pyatspi.STATE_CHECKED), "level 2"),
          "the level switch is checked on level 2")
    f1 = by_name(w, "push button", "F1")
    check("L1" in f1.description and "L2" in f1.description,
          f"a key's description is its assignments as the information box words them: "
          f"{f1.description!r}")
    press(level)
    desktop.wait(lambda: not states(level).contains(pyatspi.STATE_CHECKED), "level 1")
    check(desktop.wait(lambda: heard == [1, 0] and heard, "two state events", 10) is not None,
          "the bus was told of both changes of the level")
    pyatspi.Registry.deregisterEventListener(listener, "object:state-changed:checked")
    # Back to Chinese for the rest.
    press(by_name(w, "push button", "简体中文"))
    desktop.wait(lambda: by_name(w, "push button", "保存配置"), "the Chinese captions")


def key_settings_dialog(desktop, program):
    press(by_name(program.main, "push button", "F1"))
    d = desktop.wait(lambda: program.dialog("按键设置面板"), "the key settings dialog")
    check(d is not None, "a key's press action opens the key settings dialog")
    tabs = [c for c in children(d) if c.getRoleName() == "page tab"]
    check([t.name for t in tabs] == ["单/组合键", "宏定义", "模拟击键", "多媒体", "鼠标", "操控键",
                                     "电源键"], "the seven tabs in order")
    check(states(tabs[0]).contains(pyatspi.STATE_SELECTED), "the first tab is selected")
    uniques = by_name(d, "radio button", "单键")
    combo = by_name(d, "radio button", "组合键")
    new = by_name(d, "push button", "新建")
    check(uniques is not None and states(uniques).contains(pyatspi.STATE_CHECKED),
          "the single key option is a checked radio button")
    check(new is not None and not states(new).contains(pyatspi.STATE_ENABLED),
          "New is unavailable while a single key is chosen")
    combos = by_name(d, "list", "组合键列表")
    check(combos is not None, "the combination list is a list")
    click(desktop, combo)
    check(desktop.wait(lambda: states(combo).contains(pyatspi.STATE_CHECKED), "Combo checked"),
          "a click on Combo checks it")
    check(not states(uniques).contains(pyatspi.STATE_CHECKED), "and unchecks the single key")
    check(desktop.wait(lambda: states(new).contains(pyatspi.STATE_ENABLED), "New available"),
          "New is available for a combination")
    click(desktop, new)  # a new entry, its name in the field; Enter keeps it
    key(desktop, "Return")
    rows = desktop.wait(lambda: [r for r in children(combos) if r.name], "a combination")
    check(len(rows) == 1 and rows[0].getRoleName() == "list item" and
          states(rows[0]).contains(pyatspi.STATE_SELECTED) and rows[0].description == rows[0].name,
          f"the new entry is a selected list item named by its name ({rows[0].name!r})")
    click(desktop, tabs[1])
    check(desktop.wait(lambda: states(tabs[1]).contains(pyatspi.STATE_SELECTED), "Macro tab"),
          "a click on the Macro tab selects it")
    check(not states(tabs[0]).contains(pyatspi.STATE_SELECTED), "and no longer the first")
    check(desktop.wait(lambda: by_name(d, "list", "宏列表"), "the macro list") is not None and
          by_name(d, "radio button", "单键") is None, "the tree shows the Macro page's lists only")
    times = by_name(d, "radio button", "次数播放")
    press_play = by_name(d, "radio button", "按下播放，释放停止")
    check(times is not None and states(times).contains(pyatspi.STATE_CHECKED),
          "Times Play is a checked radio button")
    click(desktop, press_play)
    check(desktop.wait(lambda: states(press_play).contains(pyatspi.STATE_CHECKED), "checked"),
          "a click checks another play mode")
    check(not states(times).contains(pyatspi.STATE_CHECKED), "and unchecks Times Play")
    key(desktop, "Escape")
    desktop.wait(lambda: program.dialog("按键设置面板") is None, "the dialog to close")


def other_windows(desktop, program):
    """The backlight and firmware windows: their keys and buttons, the colour chooser by Space."""
    press(by_name(program.main, "push button", "设置背光"))
    d = desktop.wait(lambda: program.dialog("背光设置面板"), "the backlight dialog")
    keys = [c for c in children(d) if c.getRoleName() == "push button" and
            c.description.startswith("RGB(")]
    check(len(keys) == 108, "the backlight dialog lists its 108 keys, each with its colour")
    check(all(by_name(d, "push button", b) for b in ("全域设置", "写入背光", "确定", "取消",
                                                      "恢复默认", "多键设置", "关闭")),
          "and its buttons by name")
    tab_to(desktop, program, "F1", "push button")
    key(desktop, "space")
    chooser = desktop.wait(lambda: next((w for w in children(program.app)
                                         if w.getState().contains(pyatspi.STATE_SHOWING) and
                                         w.name not in ("Oskel", "背光设置面板")), None),
                           "the colour chooser")
    check(chooser is not None, f"Space on a key opens the colour chooser ({chooser.name!r})")
    key(desktop, "Escape")
    desktop.wait(lambda: not chooser.getState().contains(pyatspi.STATE_SHOWING),
                 "the colour chooser to close")
    key(desktop, "Escape")
    desktop.wait(lambda: program.dialog("背光设置面板") is None, "the backlight dialog to close")
    press(by_name(program.main, "push button", "固件升级"))
    d = desktop.wait(lambda: program.dialog("键盘固件升级"), "the firmware dialog")
    check(all(by_name(d, "push button", b) for b in ("获取固件版本", "打开", "更新", "取消")),
          "the firmware dialog's buttons by name")
    tab_to(desktop, program, "取消", "push button")
    key(desktop, "space")
    desktop.wait(lambda: program.dialog("键盘固件升级") is None, "the firmware dialog to close")


def keyboard_assignment(desktop, program):
    """Volume Up on F3, level 1, and WriteKeys, with keys only."""
    tab_to(desktop, program, "Esc", "push button")
    key(desktop, "Right", "Right", "Right")
    check(desktop.wait(lambda: focused(program).name == "F3", "F3"), "Right thrice from Esc: F3")
    key(desktop, "space")
    d = desktop.wait(lambda: program.dialog("按键设置面板"), "the key settings dialog")
    tab_to(desktop, program, "多媒体", "page tab")
    key(desktop, "space")
    volume = tab_to(desktop, program, "音量加大", "radio button")
    key(desktop, "space")
    check(desktop.wait(lambda: states(volume).contains(pyatspi.STATE_CHECKED), "chosen"),
          "Space chooses Volume Up")
    tab_to(desktop, program, "确定", "push button")
    key(desktop, "space")
    desktop.wait(lambda: program.dialog("按键设置面板") is None, "the dialog to close")
    f3 = by_name(program.main, "push button", "F3")
    try:
        desktop.wait(lambda: "VolumeUp" in f3.description, "F3's description", 15)
    except TimeoutError:
        pass
    check("多媒体键 VolumeUp" in f3.description, f"F3 now says what it does: {f3.description!r}")
    write_keys(desktop, program, keyboard=True)


def write_keys(desktop, program, keyboard):
    before = len(program.reports())
    if keyboard:
        tab_to(desktop, program, "写入按键", "push button")
        key(desktop, "space")
    else:
        click(desktop, by_name(program.main, "push button", "写入按键"))
    # The message box is Qt's own; it takes the keyboard at once.
    box = desktop.wait(lambda: next((d for d in children(program.app)
                                     if d.getState().contains(pyatspi.STATE_SHOWING) and
                                     any(c.name == "OK!" for c in children(d))), None),
                       "the message box 'OK!'", 90)
    if keyboard:
        key(desktop, "space")
    else:
        click(desktop, next(c for c in descendants(box) if c.getRoleName() == "push button"))
    desktop.wait(lambda: not box.getState().contains(pyatspi.STATE_SHOWING) or
                 program.dialog("Oskel") is not None and len(
                     [d for d in children(program.app)
                      if d.getState().contains(pyatspi.STATE_SHOWING)]) == 1,
                 "the message box to close")
    return program.reports()[before:]


def mouse_assignment(desktop, program):
    click(desktop, by_name(program.main, "push button", "F3"))
    d = desktop.wait(lambda: program.dialog("按键设置面板"), "the key settings dialog")
    click(desktop, by_name(d, "page tab", "多媒体"))
    volume = desktop.wait(lambda: by_name(d, "radio button", "音量加大"), "the Multimedia page")
    click(desktop, volume)
    desktop.wait(lambda: states(volume).contains(pyatspi.STATE_CHECKED), "Volume Up chosen")
    click(desktop, by_name(d, "push button", "确定"))
    desktop.wait(lambda: program.dialog("按键设置面板") is None, "the dialog to close")
    return write_keys(desktop, program, keyboard=False)


def main():
    desktop = Desktop()
    try:
        program = Program(desktop, "keyboard")
        main_window_tree(desktop, program)
        key_settings_dialog(desktop, program)
        other_windows(desktop, program)
        program.stop()

        # Fresh runs for the two assignments, so both start from the same empty configuration.
        program = Program(desktop, "keys")
        keyboard_assignment(desktop, program)
        by_keys = program.reports()
        program.stop()
        program = Program(desktop, "mouse")
        by_mouse = mouse_assignment(desktop, program)
        by_mouse = program.reports()
        program.stop()
        check(len(by_keys) > 216 and by_keys == by_mouse,
              f"the keyboard received the same {len(by_keys)} reports from both ways")
    except Exception as error:  # a timeout or a missing object: say which, then clean up
        failures.append(repr(error))
        print(f"FAILED: {error!r}")
    finally:
        desktop.stop_all()
    if failures:
        print(f"{len(failures)} failed")
        sys.exit(1)
    print("all passed")


if __name__ == "__main__":
    main()
