#!/usr/bin/env python3
"""Drives kinovela-cli the way a user or a script would and checks exit
codes, messages and output.

    test_cli.py PATH/TO/kinovela-cli SOURCE_DIR
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

CLI = None
SOURCE = None


PLUGIN_DIR = None


def run(*args, input_bytes=None, env=None):
    p = subprocess.run([CLI, *args], input=input_bytes, capture_output=True, timeout=120, env=env)
    return p.returncode, p.stdout.decode("utf-8"), p.stderr.decode("utf-8")


class CliTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="kinovela-cli-")
        self.sample = os.path.join(SOURCE, "samples", "robot_arm.mqo")

    def tearDown(self):
        shutil.rmtree(self.tmp)

    def path(self, name):
        return os.path.join(self.tmp, name)

    def test_version_and_help(self):
        code, out, _ = run("--version")
        self.assertEqual((code, out), (0, "Kinovela 6.6\n"))
        code, out, _ = run("--help")
        self.assertEqual(code, 0)
        self.assertIn("kinovela-cli info", out)

    def test_usage_errors_exit_2(self):
        for args in ([], ["frobnicate"], ["info"], ["info", "--bogus", self.sample],
                     ["convert", self.sample], ["convert", self.sample, self.path("x.obj")]):
            code, out, err = run(*args)
            self.assertEqual(code, 2, args)
            self.assertIn("Usage:", err)
            self.assertEqual(out, "")

    def test_info_text_shows_decoded_names(self):
        code, out, err = run("info", self.sample)
        self.assertEqual(code, 0, err)
        self.assertIn("Totals: 6 models, 4 materials", out)
        self.assertIn('"手首"', out)
        self.assertIn('"金属"', out)
        self.assertIn('tex "robot_panel.bmp"', out)
        self.assertEqual(err, "", "no progress noise when stderr is not a terminal")

    def test_info_json(self):
        code, out, err = run("info", "--json", "--frames", self.sample)
        self.assertEqual(code, 0, err)
        lines = out.splitlines()
        self.assertEqual(len(lines), 1)
        doc = json.loads(lines[0])
        for key in ("file", "ok", "error", "warnings", "last_frame", "fps", "smooth", "camera", "walk",
                    "models", "materials"):
            self.assertIn(key, doc)
        self.assertTrue(doc["ok"])
        self.assertIsNone(doc["error"])
        self.assertEqual(doc["last_frame"], 60)
        self.assertEqual(doc["camera"], {"position": [0, 0, -2000], "rotation": [20, 10, 0]})
        self.assertEqual(doc["walk"][0], [0, 0])
        self.assertEqual(doc["walk"][-1], [3, 5])
        wrist = doc["models"][3]
        self.assertEqual(wrist["name"], "手首")
        self.assertEqual(wrist["name_hex"], "8ee88ef1")
        self.assertEqual(wrist["parent"], -99)
        self.assertEqual(wrist["parent_name"], "<NULL>")
        self.assertEqual(wrist["list_id"], 9)
        self.assertEqual(wrist["pivot"], [0, 400, 0])
        self.assertEqual(wrist["frames"], 61)
        self.assertEqual(wrist["keys"], [0])
        self.assertEqual(len(wrist["poses"]), 61)
        self.assertEqual(wrist["poses"][0], {"frame": 0, "position": [0, 0, 0], "rotation": [0, 0, 0],
                                             "scale": [1, 1, 1], "key": 1})
        for k in ("index", "vertices", "faces", "bbox_min", "bbox_max", "visible", "facet"):
            self.assertIn(k, wrist)
        self.assertEqual(doc["models"][0]["vertices"], 20)
        body = doc["materials"][0]
        self.assertEqual(body["texture"], "robot_panel.bmp")
        self.assertEqual(body["color"], [0.95, 0.55, 0.15, 1])  # shortest text of each float
        for k in ("id", "name", "name_hex", "dif", "amb", "emi", "spc", "power", "alpha_plane", "bump"):
            self.assertIn(k, body)
        self.assertEqual(doc["materials"][2]["name"], "金属")

    def test_convert_round_trip_is_byte_exact(self):
        a, b = self.path("a.kvl"), self.path("b.kvl")
        textures = os.path.join(SOURCE, "samples", "TEXTURE")
        self.assertEqual(run("convert", self.sample, a)[0], 0)
        # a.kvl lies away from the sample's TEXTURE folder: --texture-dir finds it.
        self.assertEqual(run("--texture-dir", textures, "convert", a, b)[0], 0)
        with open(a, "rb") as fa, open(b, "rb") as fb:
            self.assertEqual(fa.read(), fb.read())
        code, out, _ = run("info", "--json", "--texture-dir=" + textures, a)
        doc = json.loads(out)
        self.assertEqual(doc["version"], "Version 6.6")
        self.assertEqual(doc["models"][3]["name"], "手首")
        self.assertEqual(doc["materials"][0]["image"], {"width": 64, "height": 64, "bits": 24})
        self.assertIsNone(doc["materials"][1]["image"])

        # Without it the picture is missing: the user is told once, with
        # every folder searched, and the scene keeps its texture name, so
        # the file written is the one that was read.
        c = self.path("c.kvl")
        code, _, err = run("convert", a, c)
        self.assertEqual(code, 0)
        self.assertEqual(err.count("kinovela-cli: warning:"), 1, err)
        self.assertIn("warning: ファイルが見つからないか、この画像ファイルには対応していません！\n\n"
                      "  robot_panel.bmp\n\n探したフォルダ:\n", err)
        self.assertIn("\n  %s\n  %s\n" % (self.tmp, os.path.join(self.tmp, "TEXTURE")), err)
        with open(a, "rb") as fa, open(c, "rb") as fc:
            self.assertEqual(fa.read(), fc.read())
        code, out, _ = run("info", "--json", c)
        self.assertEqual(json.loads(out)["materials"][0]["texture"], "robot_panel.bmp")
        self.assertIsNone(json.loads(out)["materials"][0]["image"])
        # KINOVELA_TEXTURE_PATH names folders to search as well (after those
        # of --texture-dir); empty entries are ignored.
        env = dict(os.environ, KINOVELA_TEXTURE_PATH=":%s:" % textures)
        code, out, err = run("info", "--json", c, env=env)
        self.assertEqual((code, err), (0, ""))
        self.assertEqual(json.loads(out)["materials"][0]["image"], {"width": 64, "height": 64, "bits": 24})
        env = dict(os.environ, KINOVELA_TEXTURE_PATH=self.tmp)
        code, out, _ = run("--texture-dir", os.path.join(self.tmp, "none"), "info", c, env=env)
        self.assertIn("探したフォルダ:\n  %s\n  %s\n" % (os.path.join(self.tmp, "none"), self.tmp), out)
        self.assertIn('tex "robot_panel.bmp" (not loaded)', out)
        os.remove(c)
        self.assertEqual(sorted(os.listdir(self.tmp)), ["a.kvl", "b.kvl"], "no temporary files are left")

    def test_several_files_and_failures(self):
        bad = self.path("invalid_truncated.kvl")
        good = self.path("good.kvl")
        run("convert", self.sample, good)
        with open(good, "rb") as f:
            data = f.read()
        with open(bad, "wb") as f:
            f.write(data[:len(data) // 2])
        code, out, err = run("info", "--json", good, bad, self.path("missing.mqo"), self.path("x.txt"))
        self.assertEqual(code, 1)
        docs = [json.loads(line) for line in out.splitlines()]
        self.assertEqual([d["ok"] for d in docs], [True, False, False, False])
        self.assertIn("invalid_truncated.kvl: offset", docs[1]["error"])
        self.assertIn("No such file", docs[2]["error"])
        self.assertIn("unsupported file type", docs[3]["error"])
        self.assertIn("invalid_truncated.kvl: offset", err)

    def test_mqo_errors_name_the_line(self):
        bad = self.path("invalid_version.mqo")
        with open(bad, "wb") as f:
            f.write(b"Metasequoia Document\r\nFormat Text Ver 2.0\r\nEof\r\n")
        code, out, err = run("info", bad)
        self.assertEqual(code, 1)
        self.assertIn("invalid_version.mqo:2:", err)
        self.assertIn('the document is "Format Text Ver 2.0"', err)
        code, _, err = run("convert", bad, self.path("out.kvl"))
        self.assertEqual(code, 1)
        self.assertFalse(os.path.exists(self.path("out.kvl")), "nothing is written after a failed read")

    def test_warnings_for_dropped_faces(self):
        doc = self.path("dropped.mqo")
        with open(doc, "wb") as f:
            f.write(b'Metasequoia Document\nFormat Text Ver 1.0\nObject "o" {\n vertex 3 {\n 0 0 0\n 1 0 0\n'
                    b' 0 1 0\n }\n face 2 {\n 3 V(0 1 2)\n 3 V(0 1 7)\n }\n}\nEof\n')
        code, out, err = run("info", "--json", doc)
        self.assertEqual(code, 0)
        self.assertEqual(len(json.loads(out)["warnings"]), 1)
        code, _, err = run("convert", doc, self.path("d.kvl"))
        self.assertEqual(code, 0)
        self.assertIn("warning:", err)

    def test_write_errors_exit_1(self):
        full = self.path("full.kvl")
        os.symlink("/dev/full", full)
        code, _, err = run("convert", self.sample, full)
        self.assertEqual(code, 1)
        self.assertIn("No space left", err)
        code, _, err = run("convert", self.sample, self.path("no/such/dir/x.kvl"))
        self.assertEqual(code, 1)

    def test_garbage_never_kills_the_process(self):
        import random
        rng = random.Random(5)
        good = self.path("good.kvl")
        run("convert", self.sample, good)
        for source, ext, most in ((self.sample, ".mqo", 40), (good, ".kvl", 8)):
            with open(source, "rb") as f:
                original = f.read()
            for i in range(40):
                data = bytearray(original)
                for _ in range(rng.randint(1, most)):
                    data[rng.randrange(len(data))] = rng.randrange(256)
                p = self.path("fuzz%d%s" % (i, ext))
                with open(p, "wb") as f:
                    f.write(data)
                code, _, _ = run("info", "--json", p)
                self.assertIn(code, (0, 1), p)

    def test_sample_script(self):
        out = self.path("wave.kvl")
        script = os.path.join(SOURCE, "samples", "robot_arm_wave.kvs")
        code, stdout, err = run("run", script, "--out", out)
        self.assertEqual(code, 0, err)
        self.assertIn('"手首"', stdout)
        code, info, _ = run("info", "--json", "--frames", out)
        doc = json.loads(info)
        names = [m["name"] for m in doc["models"]]
        self.assertEqual([m["parent"] for m in doc["models"]], [-99, 0, 1, 2, 3, 3])
        upper = doc["models"][names.index("upper_arm")]
        self.assertEqual(upper["keys"], [0, 30])
        self.assertEqual(upper["poses"][30]["rotation"], [0, 0, -35])
        self.assertEqual(upper["poses"][15]["rotation"], [0, 0, -17.5])
        self.assertEqual(upper["poses"][45]["rotation"], [0, 0, -35], "held after the last key")
        wrist = doc["models"][names.index("手首")]
        self.assertEqual(wrist["poses"][30]["rotation"], [0, 90, 0])
        # The walk nests the chain: enter 0..3, the two fingers, then leave 3..0.
        self.assertEqual(doc["walk"], [[0, 0], [1, 0], [1, 1], [1, 2], [1, 3], [1, 4], [2, 4], [1, 5], [2, 5],
                                       [2, 3], [2, 2], [2, 1], [2, 0], [3, 5]])

    def test_script_errors(self):
        script = self.path("bad.kvs")
        with open(script, "w", encoding="utf-8") as f:
            f.write("open %s\nsave kept.kvl\nselect nobody\n" % self.sample)
        code, out, err = run("run", script, "--out", self.path("out.kvl"))
        self.assertEqual(code, 1)
        self.assertEqual(err.strip(), script + ':3: no model is named "nobody"')
        self.assertEqual(out, "")
        self.assertEqual(sorted(os.listdir(self.tmp)), ["bad.kvs"], "a failed script writes nothing")
        # The second file cannot be written (a folder is in its place): the
        # first is not written either.
        os.mkdir(self.path("b.kvl"))
        with open(script, "w", encoding="utf-8") as f:
            f.write("open %s\nsave a.kvl\nsave b.kvl\n" % self.sample)
        code, _, err = run("run", script)
        self.assertEqual(code, 1)
        self.assertIn("b.kvl", err)
        self.assertEqual(sorted(os.listdir(self.tmp)), ["b.kvl", "bad.kvs"])
        self.assertEqual(run("run")[0], 2)
        self.assertEqual(run("run", script, "--out")[0], 2)
        self.assertEqual(run("run", script, "--out", "x.obj")[0], 2)
        self.assertEqual(run("run", self.path("missing.kvs"))[0], 1)

    def test_export(self):
        for ext in ("x", "k3d", "mqs", "h", "wrl", "mx"):
            out = self.path("out." + ext)
            code, _, err = run("export", self.sample, out)
            self.assertEqual(code, 0, err)
            self.assertTrue(os.path.getsize(out) > 0)
        for args, message in ((["x.k3d", "--key-type", "srt"], "always writes matrix keys"),
                              (["x.h", "--uv"], "no choice of texture coordinates"),
                              (["x.x", "--light"], "no choice of light"),
                              (["x.x", "--no-normals"], "no choice of normals"),
                              (["x.mqs", "--speed", "3"], "no choice of animation speed"),
                              (["x.mqs", "--left-handed"], "no choice of coordinate system"),
                              (["x.x", "--scale", "big"], "--scale needs a number"),
                              (["x.x", "--frobnicate"], "unknown export option"),
                              (["x.obj"], "names no export format")):
            code, _, err = run("export", self.sample, self.path(args[0]), *args[1:])
            self.assertEqual(code, 2, args)
            self.assertIn(message, err)
            self.assertFalse(os.path.exists(self.path(args[0])))
        code, _, err = run("export", self.sample, self.path("no/such/dir/a.x"))
        self.assertEqual(code, 1)
        self.assertIn("xファイルへの書き出しに失敗しました。", err)

    def test_w3d_export_needs_the_converter(self):
        out = self.path("scene.w3d")
        code, _, err = run("export", self.sample, out, "--light", "--uv")
        self.assertEqual(code, 1)
        self.assertIn("Shockwave3Dへの書き出しに失敗しました。", err)
        self.assertIn("libShockwave3D.so", err)
        self.assertTrue(os.path.exists(self.path("Shockwave3D.sdf")), "the description stays for the user")
        self.assertTrue(os.path.exists(self.path("robot_panel.tga")))
        self.assertFalse(os.path.exists(out))
        code, _, err = run("export", self.sample, out, "--key-type", "matrix")
        self.assertEqual(code, 2)
        if PLUGIN_DIR:
            env = dict(os.environ, LD_LIBRARY_PATH=PLUGIN_DIR)
            code, _, err = run("export", self.sample, out, env=env)
            self.assertEqual(code, 0, err)
            with open(out, "rb") as f:
                self.assertTrue(f.read().startswith(b"W3D stub: converted a "))
            self.assertFalse(os.path.exists(self.path("Shockwave3D.sdf")), "removed once converted")

    def test_script_export(self):
        script = self.path("e.kvs")
        with open(script, "w", encoding="utf-8") as f:
            f.write("open %s\nexport a.x --key-type matrix --scale 1\nexport b.x\nprint\n" % self.sample)
        code, _, err = run("run", script)
        self.assertEqual(code, 0, err)
        with open(self.path("a.x"), "rb") as f:
            a = f.read()
        with open(self.path("b.x"), "rb") as f:
            b = f.read()
        self.assertEqual(a, b, "the options are kept for the next export of the format")
        with open(script, "w", encoding="utf-8") as f:
            f.write("open %s\nexport c.x\nexport d.k3d --key-type srt\n" % self.sample)
        code, _, err = run("run", script)
        self.assertEqual(code, 1)
        self.assertIn(":3: the .k3d format always writes matrix keys", err)
        self.assertFalse(os.path.exists(self.path("c.x")), "a failed script exports nothing")

    def test_script_exports_copy_the_textures_found_beside_the_scene(self):
        # The scene and its picture lie in one folder, the script in another.
        scene = self.path("scene")
        os.makedirs(scene)
        shutil.copy(self.sample, scene)
        shutil.copy(os.path.join(SOURCE, "samples", "TEXTURE", "robot_panel.bmp"), scene)
        os.makedirs(self.path("scripts/out"))
        script = self.path("scripts/e.kvs")
        with open(script, "w", encoding="utf-8") as f:
            f.write("open ../scene/robot_arm.mqo\nexport out/arm.wrl\nexport out/arm.k3d\nsave ../scene/arm.kvl\n")
        code, _, err = run("run", script)
        self.assertEqual((code, err), (0, ""))
        with open(script, "w", encoding="utf-8") as f:
            f.write("open ../scene/arm.kvl\nexport out/again.wrl\n")
        code, _, err = run("run", script)
        self.assertEqual((code, err), (0, ""))
        with open(os.path.join(scene, "robot_panel.bmp"), "rb") as f:
            picture = f.read()
        with open(self.path("scripts/out/robot_panel.bmp"), "rb") as f:
            self.assertEqual(f.read(), picture, "the copy is of the picture that was loaded")
        with open(self.path("scripts/out/arm.wrl"), "rb") as f:
            self.assertIn(b'"robot_panel.bmp"', f.read())
        self.assertTrue(os.path.exists(self.path("scripts/out/again.wrl")))

    def test_closed_stdout_is_a_failure_not_a_signal(self):
        # Far more output than a pipe holds, so the write must fail.
        p = subprocess.Popen([CLI, "info", "--frames"] + [self.sample] * 20, stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE)
        p.stdout.close()
        p.wait(timeout=60)
        self.assertEqual(p.returncode, 1)

    def test_special_files_are_refused(self):
        fifo = self.path("pipe.mqo")
        os.mkfifo(fifo)
        zero = self.path("zero.kvl")
        os.symlink("/dev/zero", zero)
        for p in (fifo, zero):
            code, _, err = run("info", p)
            self.assertEqual(code, 1, p)
            self.assertIn("not a regular file", err)

    def test_deep_hierarchy_prints_in_linear_space(self):
        n = 3000
        doc = self.path("chain.mqo")
        with open(doc, "w") as f:
            f.write("Metasequoia Document\nFormat Text Ver 1.0\n")
            for i in range(n):
                f.write('Object "m%d" {\n vertex 3 {\n 0 0 0\n 1 0 0\n 0 1 0\n }\n face 1 {\n 3 V(0 1 2)\n }\n}\n' % i)
        script = self.path("chain.kvs")
        with open(script, "w") as f:
            f.write("open chain.mqo\n")
            for i in range(1, n):
                f.write("select m%d\nparent m%d\n" % (i, i - 1))
        out = self.path("chain.kvl")
        code, _, err = run("run", script, "--out", out)
        self.assertEqual(code, 0, err)
        code, text, _ = run("info", out)
        self.assertEqual(code, 0)
        self.assertLess(len(text), 400 * n)
        self.assertIn("(depth %d) \"m%d\"" % (n - 1, n - 1), text)
        doc = json.loads(run("info", "--json", out)[1])
        self.assertEqual(len(doc["walk"]), 2 * n + 2)


if __name__ == "__main__":
    CLI = os.path.abspath(sys.argv[1])
    SOURCE = os.path.abspath(sys.argv[2])
    PLUGIN_DIR = os.path.abspath(sys.argv[3]) if len(sys.argv) > 3 else None
    unittest.main(argv=[sys.argv[0], "-v"])
