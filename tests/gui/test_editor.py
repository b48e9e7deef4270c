#!/usr/bin/env python3
"""The editor opened on the sample under a virtual display: the 3D view's
picture must show the background colour, the grid and the textured arm.

    test_editor.py PATH/TO/kinovela SOURCE_DIR PATH/TO/robot_arm_wave.kvl
"""
import os
import subprocess
import sys
import tempfile
import unittest

EDITOR = None
SOURCE = None
WITH_DISPLAY = os.path.join(os.path.dirname(os.path.abspath(__file__)), "with-display")
SAMPLE_SCENE = None


def pixels(path):
    """(width, height, rows of (r, g, b)) of a picture, through ImageMagick."""
    convert = "/usr/bin/convert-im6.q16" if os.path.exists("/usr/bin/convert-im6.q16") else "/usr/bin/convert"
    ppm = subprocess.run([convert, path, "-depth", "8", "ppm:-"], capture_output=True, check=True).stdout
    parts = ppm.split(b"\n", 3)
    width, height = map(int, parts[1].split())
    data = parts[3]
    return width, height, [[tuple(data[(y * width + x) * 3:(y * width + x) * 3 + 3]) for x in range(width)]
                           for y in range(height)]


class EditorTest(unittest.TestCase):
    def grab(self, *files):
        out = os.path.join(self.tmp, "view.png")
        p = subprocess.run([WITH_DISPLAY, EDITOR, "--grab", out, *files],
                           capture_output=True, timeout=120)
        self.assertEqual(p.returncode, 0, p.stderr.decode("utf-8", "replace"))
        return pixels(out)

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="kinovela-gui-")

    def test_sample_is_drawn_on_the_background(self):
        w, h, rows = self.grab(os.path.join(SOURCE, "samples", "robot_arm.mqo"))
        self.assertGreater(w, 200)
        self.assertEqual(rows[2][2], (30, 65, 90), "the default background colour")
        colours = [c for row in rows[::4] for c in row[::4]]
        orange = sum(1 for r, g, b in colours if r > 150 and 40 < g < 140 and b < 60)
        self.assertGreater(orange, 200, "the orange panels of the arm")
        grid = sum(1 for c in colours if abs(c[0] - 91) < 30 and abs(c[1] - 105) < 30 and abs(c[2] - 91) < 30)
        self.assertGreater(grid, 50, "the grey ground grid")

    def test_the_built_sample_scene_is_framed_and_textured(self):
        # What scripts/run.sh opens: the whole arm in the view, away from
        # its edges, with the panel texture found beside the scene.
        w, h, rows = self.grab(SAMPLE_SCENE)
        orange = [(x, y) for y in range(0, h, 2) for x in range(0, w, 2)
                  if rows[y][x][0] > 150 and 40 < rows[y][x][1] < 140 and rows[y][x][2] < 60]
        self.assertGreater(len(orange), 500)
        xs, ys = [x for x, _ in orange], [y for _, y in orange]
        self.assertTrue(w * 0.1 < min(xs) and max(xs) < w * 0.9, (min(xs), max(xs), w))
        self.assertTrue(h * 0.05 < min(ys) and max(ys) < h * 0.95, (min(ys), max(ys), h))
        seams = sum(1 for y in range(0, h, 2) for x in range(0, w, 2)
                    if rows[y][x][0] < 90 and rows[y][x][1] < 60 and rows[y][x][2] < 60
                    and rows[y][x][0] > rows[y][x][2] + 10)
        self.assertGreater(seams, 20, "the dark seams of the panel texture")

    def run_editor(self, *args, env=None, timeout=60):
        return subprocess.run([WITH_DISPLAY, EDITOR, *args],
                              capture_output=True, timeout=timeout, env=env)

    def test_grab_prints_messages_and_goes_on(self):
        # A message box would wait for an answer nobody gives.
        scene = os.path.join(self.tmp, "missing.mqo")
        with open(scene, "w") as f:
            f.write("Metasequoia Document\nFormat Text Ver 1.0\n"
                    "Material 1 {\n\t\"m\" col(1 1 1 1) tex(\"no_such_picture.bmp\")\n}\n"
                    "Object \"o\" {\n\tvertex 3 {\n\t\t0 0 0\n\t\t100 0 0\n\t\t0 100 0\n\t}\n"
                    "\tface 1 {\n\t\t3 V(0 1 2) M(0)\n\t}\n}\nEof\n")
        out = os.path.join(self.tmp, "view.png")
        p = self.run_editor("--grab", out, scene)
        err = p.stderr.decode("utf-8", "replace")
        self.assertEqual(p.returncode, 0, err)
        self.assertIn("kinovela: ", err)
        self.assertIn("no_such_picture.bmp", err)
        self.assertTrue(os.path.exists(out))

    def test_help_and_version_need_no_display(self):
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        for option, text in (("--help", "Usage: kinovela"), ("--version", "Kinovela 6.6")):
            p = subprocess.run([EDITOR, option], capture_output=True, timeout=30, env=env)
            self.assertEqual(p.returncode, 0, p.stderr.decode("utf-8", "replace"))
            self.assertIn(text, p.stdout.decode())

    def test_without_opengl_the_editor_says_why(self):
        # No GL at all on the display: the context cannot be made.
        env = dict(os.environ, QT_XCB_GL_INTEGRATION="none")
        p = self.run_editor("--grab", os.path.join(self.tmp, "none.png"), env=env)
        self.assertEqual(p.returncode, 1)
        self.assertIn("kinovela: wglCreateContext::Error", p.stderr.decode("utf-8", "replace"))

    def test_empty_scene_shows_only_grid_and_axes(self):
        w, h, rows = self.grab()
        colours = [c for row in rows[::4] for c in row[::4]]
        self.assertEqual(sum(1 for r, g, b in colours if r > 150 and 40 < g < 140 and b < 60), 0)
        self.assertGreater(sum(1 for c in colours if c == (30, 65, 90)), len(colours) // 2)


if __name__ == "__main__":
    EDITOR = os.path.abspath(sys.argv[1])
    SOURCE = os.path.abspath(sys.argv[2])
    SAMPLE_SCENE = os.path.abspath(sys.argv[3])
    unittest.main(argv=[sys.argv[0], "-v"])
