#!/usr/bin/env python3
"""`cmake --install` into a fresh prefix, then the installed editor used as a
user would: its desktop entry and file types, the language chosen from the
locale, Help opening the page beside the program, the splash and the
per-user registration and its removal.

    test_install.py BUILD_DIR SOURCE_DIR

The desktop's opener is a stand-in script first on PATH that writes down
what it was asked to open; keys go in through xdotool.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

BUILD = None
SOURCE = None
WITH_DISPLAY = os.path.join(os.path.dirname(os.path.abspath(__file__)), "with-display")


def wait_for(predicate, seconds=20.0):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = predicate()
        if value:
            return value
        time.sleep(0.1)
    return predicate()


class Installed(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="kinovela-install-")
        cls.prefix = os.path.join(cls.tmp, "prefix")
        p = subprocess.run(["cmake", "--install", BUILD, "--prefix", cls.prefix], capture_output=True, timeout=300)
        if p.returncode != 0:
            raise AssertionError(p.stdout.decode() + p.stderr.decode())
        cls.data = os.path.join(cls.prefix, "share", "kinovela")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def test_the_files_are_in_place(self):
        for path in ("bin/kinovela", "bin/kinovela-cli", "share/kinovela/English.qm",
                     "share/kinovela/TEXTURE/robot_panel.bmp", "share/kinovela/samples/robot_arm.mqo",
                     "share/icons/hicolor/scalable/apps/kinovela.svg",
                     "share/icons/hicolor/scalable/mimetypes/application-x-kinovela-scene.svg",
                     "share/mime/packages/kinovela.xml", "share/applications/kinovela.desktop"):
            self.assertTrue(os.path.isfile(os.path.join(self.prefix, path)), path)
        # Every page and picture of the manual, whatever the folder holds.
        help_source = os.path.join(SOURCE, "resources", "help")
        for folder, _, files in os.walk(help_source):
            for name in files:
                relative = os.path.relpath(os.path.join(folder, name), help_source)
                self.assertTrue(os.path.isfile(os.path.join(self.data, "help", relative)), relative)

    def test_the_desktop_entry_and_the_file_types(self):
        entry = os.path.join(self.prefix, "share", "applications", "kinovela.desktop")
        p = subprocess.run(["desktop-file-validate", entry], capture_output=True)
        self.assertEqual(p.returncode, 0, p.stdout.decode() + p.stderr.decode())
        with open(entry, encoding="utf-8") as f:
            text = f.read()
        self.assertIn("Exec=%s/bin/kinovela %%F\n" % self.prefix, text)
        self.assertIn("MimeType=application/x-kinovela-scene;application/x-metasequoia-document;", text)
        # The install brought the MIME database of the prefix up to date.
        with open(os.path.join(self.prefix, "share", "mime", "globs2"), encoding="utf-8") as f:
            globs = f.read()
        self.assertIn("application/x-kinovela-scene:*.kvl", globs)
        self.assertIn("application/x-metasequoia-document:*.mqo", globs)

    def test_version_needs_no_display(self):
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        p = subprocess.run([os.path.join(self.prefix, "bin", "kinovela"), "--version"], capture_output=True,
                           env=env, timeout=30)
        self.assertEqual((p.returncode, p.stdout.decode()), (0, "Kinovela 6.6\n"))

    def test_the_program_texture_folder_is_found_in_the_prefix(self):
        # A document alone in a folder: its texture can only come from the
        # program's TEXTURE folder, installed in share/kinovela.
        folder = tempfile.mkdtemp(dir=self.tmp)
        document = shutil.copy(os.path.join(self.data, "samples", "robot_arm.mqo"), folder)
        env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(folder, "config"))
        p = subprocess.run([WITH_DISPLAY, os.path.join(self.prefix, "bin", "kinovela"),
                            "--grab", os.path.join(folder, "view.png"), document], capture_output=True, env=env,
                           timeout=120)
        err = p.stderr.decode("utf-8", "replace")
        self.assertEqual(p.returncode, 0, err)
        self.assertNotIn("robot_panel.bmp", err)
        self.assertTrue(os.path.exists(os.path.join(folder, "view.png")))

    # The installed editor, started as from a desktop, on a virtual display.
    def start(self, language, *args):
        home = tempfile.mkdtemp(dir=self.tmp)
        tools = os.path.join(home, "tools")
        os.makedirs(tools)
        self.opened = os.path.join(home, "opened.txt")
        with open(os.path.join(tools, "xdg-open"), "w") as f:
            f.write("#!/bin/sh\necho \"$1\" >> '%s'\n" % self.opened)
        os.chmod(os.path.join(tools, "xdg-open"), 0o755)
        self.data_home = os.path.join(home, "data")
        self.display_file = os.path.join(home, "display")
        env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, "config"), XDG_DATA_HOME=self.data_home,
                   PATH=tools + os.pathsep + os.environ["PATH"], LANG=language, LC_ALL="", LANGUAGE="")
        env.pop("BROWSER", None)
        script = 'echo "$DISPLAY $XAUTHORITY" > "%s"; exec "$@"' % self.display_file
        self.editor = subprocess.Popen(
            [WITH_DISPLAY, "sh", "-c", script, "sh",
             os.path.join(self.prefix, "bin", "kinovela"), *args],
            env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, start_new_session=True)
        self.addCleanup(self.stop)
        self.assertTrue(wait_for(lambda: os.path.exists(self.display_file) and os.path.getsize(self.display_file)))
        with open(self.display_file) as f:
            display, auth = f.read().split()
        self.x = dict(os.environ, DISPLAY=display, XAUTHORITY=auth)
        # Up once the window has its menu bar and has registered itself.
        wait_for(lambda: self.windows() or self.editor.poll() is not None, 60)
        if not self.windows():
            out, err = self.stop()
            self.fail("no window:\n" + (out + err).decode("utf-8", "replace"))

    def stop(self):
        """Ends the editor, once, and gives what it printed."""
        if not hasattr(self, "output"):
            if self.editor.poll() is None:
                os.killpg(self.editor.pid, 15)
            self.output = self.editor.communicate(timeout=30)
        return self.output

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *args], env=self.x, capture_output=True, timeout=30).stdout.decode()

    def windows(self):
        """(width, height) of each visible top-level window of the editor."""
        sizes = []
        for wid in self.xdotool("search", "--onlyvisible", "--name", "Kinovela").split():
            geometry = self.xdotool("getwindowgeometry", wid)
            for line in geometry.splitlines():
                if "Geometry:" in line:
                    w, h = line.split()[-1].split("x")
                    sizes.append((int(w), int(h)))
        return sizes

    def keys(self, *keys):
        # No window manager: a click on the tree's empty space (which changes
        # nothing) makes the window the active one.
        self.xdotool("mousemove", "100", "600", "click", "1")
        time.sleep(0.3)
        for k in keys:
            self.xdotool("key", k)
            time.sleep(0.3)

    def opened_pages(self):
        if not os.path.exists(self.opened):
            return []
        with open(self.opened) as f:
            return f.read().split()

    def test_an_english_desktop_gets_the_english_help_and_the_splash(self):
        self.start("en_US.UTF-8")
        self.assertIn((480, 300), self.windows(), "the splash")
        self.assertTrue(wait_for(lambda: (480, 300) not in self.windows(), 5), "the splash goes")
        self.keys("alt+i")
        page = "file://" + os.path.join(self.data, "help", "en", "index.html")
        self.assertEqual(wait_for(self.opened_pages, 10), [page])

        # Registered for this user at start; the registration command takes
        # it away again (Settings, then its item's access key).
        entry = os.path.join(self.data_home, "applications", "kinovela.desktop")
        self.assertTrue(wait_for(lambda: os.path.exists(entry)))
        self.assertTrue(os.path.exists(os.path.join(self.data_home, "mime", "packages", "kinovela.xml")))
        self.keys("alt+s", "u")
        self.assertTrue(wait_for(lambda: not os.path.exists(entry), 10))
        self.assertFalse(os.path.exists(os.path.join(self.data_home, "mime", "packages", "kinovela.xml")))

    def test_a_japanese_desktop_gets_the_japanese_help_and_nosplash_is_heard(self):
        self.start("ja_JP.UTF-8", "/nosplash", os.path.join(self.data, "samples", "robot_arm_wave.kvl"))
        self.assertNotIn((480, 300), self.windows())
        self.keys("alt+i")
        page = "file://" + os.path.join(self.data, "help", "ja", "index.html")
        self.assertEqual(wait_for(self.opened_pages, 10), [page])
        # Alt+L: English from now on, and Help follows.
        self.keys("alt+l", "alt+i")
        self.assertEqual(wait_for(lambda: self.opened_pages()[1:], 10),
                         ["file://" + os.path.join(self.data, "help", "en", "index.html")])


if __name__ == "__main__":
    BUILD = os.path.abspath(sys.argv[1])
    SOURCE = os.path.abspath(sys.argv[2])
    unittest.main(argv=[sys.argv[0], "-v"])
