# SPDX-License-Identifier: GPL-2.0-or-later
# Switching between the recent profiles with oskelctl write --recent, next and previous, against
# oskel-virtual-keyboard, with the desktop notification taken by python-dbusmock's notification
# daemon on a private session bus.
# Usage: test-switching.py OSKELCTL VIRTUAL_KEYBOARD SAMPLE_PROFILE CLEARED_PROFILE SMALL_PROFILE
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import dbusmock

OSKELCTL, KEYBOARD, SAMPLE, CLEARED, SMALL = sys.argv[1:6]
del sys.argv[1:6]


class Switching(dbusmock.DBusTestCase):
    @classmethod
    def setUpClass(cls):
        cls.start_session_bus()
        cls.bus_address = os.environ["DBUS_SESSION_BUS_ADDRESS"]

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="oskel-switching-")
        self.runtime = os.path.join(self.dir, "run")
        os.mkdir(self.runtime, 0o700)
        self.config = os.path.join(self.dir, "config")
        os.makedirs(os.path.join(self.config, "oskel"))
        self.profiles = []
        for name, source in (("sample", SAMPLE), ("cleared", CLEARED), ("small", SMALL)):
            path = os.path.join(self.dir, name + ".pro")
            shutil.copyfile(source, path)
            self.profiles.append(path)
        self.set_recent(self.profiles)
        env = self.env()
        self.keyboard = subprocess.Popen([KEYBOARD], env=env, stdin=subprocess.PIPE,
                                         stdout=subprocess.PIPE, text=True)
        line = self.keyboard.stdout.readline()
        self.assertTrue(line.startswith("ready "), line)
        self.daemon, self.daemon_obj = self.spawn_server_template(
            "notification_daemon", {}, stdout=subprocess.DEVNULL)

    def tearDown(self):
        self.keyboard.terminate()
        self.keyboard.wait(30)
        self.keyboard.stdout.close()
        self.keyboard.stdin.close()
        self.daemon.terminate()
        self.daemon.wait(30)
        shutil.rmtree(self.dir, ignore_errors=True)

    def env(self, bus=True):
        env = {k: v for k, v in os.environ.items()
               if k not in ("LANG", "LC_ALL", "LC_MESSAGES", "DBUS_SESSION_BUS_ADDRESS")}
        env["XDG_RUNTIME_DIR"] = self.runtime
        env["XDG_CONFIG_HOME"] = self.config
        if bus:
            env["DBUS_SESSION_BUS_ADDRESS"] = self.bus_address
        return env

    def set_recent(self, paths):
        with open(os.path.join(self.config, "oskel", "recent-profiles"), "w") as f:
            f.writelines(p + "\n" for p in paths)

    def ctl(self, *args, bus=True):
        return subprocess.run([OSKELCTL, *args], env=self.env(bus), capture_output=True,
                              text=True, timeout=120)

    def last_applied(self):
        path = os.path.join(self.config, "oskel", "last-applied")
        with open(path) as f:
            return f.read()

    def notified(self):
        """The summaries and bodies of the notifications shown so far."""
        return [(str(args[3]), str(args[4]))
                for _, args in self.daemon_obj.GetMethodCalls("Notify")]

    def assert_holds(self, profile):
        r = self.ctl("verify", profile)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)

    def step(self, command, expected):
        r = self.ctl(command)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(r.stdout,
                         "Wrote the key settings and the backlight of " + expected + ".\n")
        self.assertEqual(self.last_applied(), expected + "\n")
        self.assert_holds(expected)

    def test_next_and_previous_go_round_the_list(self):
        sample, cleared, small = self.profiles
        # Nothing written yet: next starts at the newest, then goes on and wraps around.
        for expected in (sample, cleared, small, sample):
            self.step("next", expected)
        # Back from the newest comes the oldest.
        for expected in (small, cleared):
            self.step("previous", expected)
        names = [summary for summary, _ in self.notified()]
        self.assertEqual(names, ["sample", "cleared", "small", "sample", "small", "cleared"])
        self.assertEqual(self.notified()[0][1], "Written to the keyboard: " + sample)

    def test_previous_without_a_profile_written_starts_at_the_oldest(self):
        self.step("previous", self.profiles[2])

    def test_write_recent_picks_by_place_and_next_goes_on_from_there(self):
        sample, cleared, small = self.profiles
        r = self.ctl("write", "--recent", "2")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(self.last_applied(), cleared + "\n")
        self.assert_holds(cleared)
        # A plain write names no profile on the desktop.
        self.assertEqual(self.notified(), [])
        self.step("next", small)

        r = self.ctl("write", "--recent", "4")
        self.assertEqual(r.returncode, 2)
        self.assertEqual(r.stderr, "oskelctl: there are only 3 recent profiles; --recent 4 "
                                   "names none\n")
        self.assert_holds(small)

    def test_a_profile_written_by_name_counts_as_written_last(self):
        self.assertEqual(self.ctl("write", self.profiles[1]).returncode, 0)
        self.step("next", self.profiles[2])

    def test_an_empty_list_writes_nothing(self):
        self.set_recent([])
        self.assertEqual(self.ctl("write", self.profiles[0]).returncode, 0)
        for command in (["next"], ["previous"], ["write", "--recent", "1"]):
            r = self.ctl(*command)
            self.assertEqual(r.returncode, 2, command)
            self.assertEqual(r.stdout, "")
            self.assertIn("there are no recent profiles", r.stderr)
        self.assert_holds(self.profiles[0])
        self.assertEqual(self.notified(), [])

    def test_a_profile_written_last_that_left_the_list_starts_again(self):
        sample, cleared, small = self.profiles
        self.step("next", sample)
        self.set_recent([cleared, small])
        self.step("next", cleared)

    def test_a_state_file_that_is_not_ours_counts_as_none(self):
        state = os.path.join(self.config, "oskel", "last-applied")
        for content in ("relative/path.pro\n", "/" + "x" * 5000 + "\n",
                        self.profiles[1] + "\n" + self.profiles[2] + "\n", "\0\n"):
            with open(state, "w") as f:
                f.write(content)
            r = self.ctl("next")
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertIn(self.profiles[0] + ".", r.stdout)
        # A folder in its place: the profile is written, with a warning that it is not recorded.
        os.remove(state)
        os.mkdir(state)
        r = self.ctl("next")
        self.assertEqual(r.returncode, 0)
        self.assertIn("warning: cannot write " + state, r.stderr)
        self.assert_holds(self.profiles[0])

    def test_without_a_session_bus_next_is_silent(self):
        r = self.ctl("next", bus=False)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(r.stderr, "")
        self.assertEqual(self.notified(), [])

    def test_without_a_notification_service_next_is_silent(self):
        self.daemon.terminate()
        self.daemon.wait(30)
        r = self.ctl("next")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(r.stderr, "")
        self.daemon, self.daemon_obj = self.spawn_server_template(
            "notification_daemon", {}, stdout=subprocess.DEVNULL)


if __name__ == "__main__":
    unittest.main(verbosity=2)
