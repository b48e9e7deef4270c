#!/usr/bin/env python3
"""Our exports read by independent programs: assimp for .x (and the .x files
of a .k3d package), gcc and g++ for .h, and our own importer for .mqs. A
structural reader of our own (xcheck) adds the index and count checks that
assimp skips.

    test_interop.py PATH/TO/kinovela-cli SOURCE_DIR
"""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import xcheck  # noqa: E402

CLI = None
SOURCE = None


def read(path):
    with open(path, "rb") as f:
        return f.read()


def run(*args, cwd=None):
    p = subprocess.run(list(args), capture_output=True, timeout=300, cwd=cwd)
    return p.returncode, p.stdout.decode("utf-8", "replace"), p.stderr.decode("utf-8", "replace")


def assimp_info(path):
    code, out, err = run("assimp", "info", path, "-r")
    if code != 0 or "Importing file ...                   OK" not in out:
        raise AssertionError("assimp could not read %r:\n%s%s" % (path, out, err))
    stats = {}
    for key in ("Meshes", "Vertices", "Faces", "Animations", "Animation Channels"):
        m = re.search(r"^%s:\s+(\d+)" % key, out, re.M)
        stats[key] = int(m.group(1)) if m else None
    return stats


def assimp_channels(path, tmp):
    """Key counts per channel as assimp reads them (through its JSON export)."""
    out = os.path.join(tmp, "channels.assjson")
    code, _, err = run("assimp", "export", path, out, "-fassjson")
    if code != 0:
        raise AssertionError("assimp export failed: " + err)
    doc = json.loads(read(out).decode("cp932", "replace"))
    anims = doc.get("animations", [])
    return {c["name"]: (len(c["positionkeys"]), len(c["rotationkeys"]), len(c["scalingkeys"]))
            for a in anims for c in a["channels"]}


class Interop(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="kinovela-interop-")
        cls.scene = os.path.join(cls.tmp, "wave.kvl")
        # Textures are looked for beside the scene too (its TEXTURE folder).
        shutil.copytree(os.path.join(SOURCE, "samples", "TEXTURE"), os.path.join(cls.tmp, "TEXTURE"))
        code, _, err = run(CLI, "run", os.path.join(SOURCE, "samples", "robot_arm_wave.kvs"), "--out", cls.scene)
        assert code == 0, err
        code, out, _ = run(CLI, "info", "--json", cls.scene)
        cls.info = json.loads(out)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp)

    def export(self, name, *options):
        path = os.path.join(self.tmp, name)
        code, _, err = run(CLI, "export", self.scene, path, *options)
        self.assertEqual(code, 0, err)
        return path

    def test_every_x_variant(self):
        models = self.info["models"]
        faces = sum(m["faces"] for m in models)
        keys = {m["name"]: len(m["keys"]) for m in models}
        frames = self.info["last_frame"] + 1
        for key_type in ("srt", "matrix", "none"):
            for quality in ("standard", "high"):
                for hand in ("--left-handed", "--right-handed"):
                    for camera in ("--camera", "--no-camera"):
                        with self.subTest(key_type=key_type, quality=quality, hand=hand, camera=camera):
                            path = self.export("v.x", "--key-type", key_type, "--texture-quality", quality, hand,
                                               camera, "--uv")
                            stats = assimp_info(path)
                            self.assertEqual(stats["Meshes"], len(models))
                            self.assertEqual(stats["Faces"], faces)
                            # assimp gives every face corner its own vertex
                            self.assertEqual(stats["Vertices"], 4 * faces)
                            summary = xcheck.check(read(path))
                            self.assertEqual(summary["meshes"], len(models))
                            self.assertEqual(summary["faces"], faces)
                            expected_vertices = 4 * faces if quality == "high" else sum(m["vertices"] for m in models)
                            self.assertEqual(summary["vertices"], expected_vertices)
                            if key_type == "none":
                                self.assertEqual(stats["Animations"], 0)
                                continue
                            self.assertEqual(stats["Animations"], 1)
                            channels = assimp_channels(path, self.tmp)
                            mine = summary["animations"]
                            if key_type == "matrix":
                                self.assertEqual(stats["Animation Channels"], len(models))
                                for m in models:
                                    self.assertEqual(mine[m["name"].encode("cp932").decode("latin-1")], [(4, frames)])
                                for counts in channels.values():
                                    self.assertEqual(counts, (frames, frames, frames))
                            else:
                                pivoted = sum(1 for m in models if any(m["pivot"]))
                                self.assertEqual(stats["Animation Channels"], len(models) + 3 * pivoted)
                                for m in models:
                                    n = keys[m["name"]]
                                    name = m["name"].encode("cp932").decode("latin-1")
                                    self.assertEqual([c for c in mine[name] if c[0] != 1], [(0, n), (2, n)])
                                    ours = channels[m["name"]] if m["name"] in channels else channels.get(name)
                                    if ours:
                                        self.assertEqual(ours[0], n)
                                        self.assertEqual(ours[1], n)

    def test_safe_names(self):
        path = self.export("safe.x", "--key-type", "srt", "--safe-names")
        summary = xcheck.check(read(path))
        for frame in summary["frames"]:
            self.assertRegex(frame, r"^[A-Za-z_][A-Za-z0-9_]*$")
        self.assertEqual(assimp_info(path)["Meshes"], len(self.info["models"]))

    def test_c_header_compiles(self):
        folder = os.path.join(self.tmp, "h")
        os.makedirs(folder, exist_ok=True)
        header = os.path.join(folder, "scene.h")
        code, _, err = run(CLI, "export", self.scene, header, "--scale", "2", "--safe-names")
        self.assertEqual(code, 0, err)
        with open(os.path.join(folder, "OpenGL.h"), "w") as f:
            f.write("typedef struct { int c0, c1, c2, c3, material; float u0, u1, u2, u3, v0, v1, v2, v3; } Face;\n"
                    "typedef struct { float x, y, z; } Vector3;\n"
                    "typedef struct { float r, g, b, a, diffuse, ambient, emissive, specular, power, zero;"
                    " int components, format; } Material;\n")
        text = read(header).decode("latin-1")
        names = re.findall(r"^Face (\w+)Face\[\d+\]", text, re.M)
        self.assertEqual(len(names), len(self.info["models"]))
        with open(os.path.join(folder, "main.c"), "w") as f:
            f.write('#include <stdio.h>\n#include "scene.h"\nint main(void)\n{\n')
            for n in names:
                f.write('    printf("%%d %%d %%d\\n", (int)(sizeof %sFace / sizeof(Face)), '
                        '(int)(sizeof %sVertex / sizeof(Vector3)), (int)(sizeof %sMaterial / sizeof(Material)));\n'
                        % (n, n, n))
            f.write("    return 0;\n}\n")
        exe = os.path.join(folder, "main")
        for compiler, std in (("gcc", "-std=c99"), ("g++", "-std=c++11")):
            src = os.path.join(folder, "main.c")
            args = [compiler, std, "-Wall", "-Werror", "-o", exe]
            if compiler == "g++":
                args += ["-x", "c++"]
            code, out, err = run(*args, src)
            self.assertEqual(code, 0, compiler + ": " + err)
        code, out, _ = run(exe)
        self.assertEqual(code, 0)
        walk_order = [m for e, m in self.info["walk"] if e == 1]
        expected = ["%d %d %d" % (self.info["models"][i]["faces"], self.info["models"][i]["vertices"],
                                  len(self.info["materials"])) for i in walk_order]
        self.assertEqual(out.split("\n")[:-1], expected)

    def test_mqs_reimports(self):
        path = self.export("scene.mqs", "--scale", "2", "--uv")
        copy = os.path.join(self.tmp, "scene_mqs.mqo")
        shutil.copyfile(path, copy)
        code, out, err = run(CLI, "info", "--json", copy)
        self.assertEqual(code, 0, err)
        back = json.loads(out)
        self.assertEqual([m["name"] for m in back["materials"]], [m["name"] for m in self.info["materials"]])
        self.assertEqual([m["id"] for m in back["materials"]], list(range(len(self.info["materials"]))))
        for a, b in zip(self.info["models"], back["models"]):
            self.assertEqual(a["name"], b["name"])
            self.assertEqual(a["faces"], b["faces"])
            for k in range(3):
                self.assertAlmostEqual(b["bbox_min"][k], (a["bbox_min"][k] - a["pivot"][k]) * 2, places=3)
                self.assertAlmostEqual(b["bbox_max"][k], (a["bbox_max"][k] - a["pivot"][k]) * 2, places=3)
        text = read(path).decode("latin-1")
        frames = self.info["last_frame"] + 1
        self.assertEqual(text.count("\tanimation %d {\r\n" % frames), len(self.info["models"]))
        self.assertEqual(len(re.findall(r"^\t\t(?:-?\d+\.\d{6} ){15}-?\d+\.\d{6}\r$", text, re.M)),
                         frames * len(self.info["models"]))

    def test_kino3d_package(self):
        folder = os.path.join(self.tmp, "k3d")
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, "scene.k3d")
        code, _, err = run(CLI, "export", self.scene, path, "--texture-quality", "high", "--uv")
        self.assertEqual(code, 0, err)
        lines = read(path).decode("latin-1").split("\r\n")
        models = self.info["models"]
        frames = self.info["last_frame"] + 1
        self.assertEqual(int(lines[0]), len(models))
        self.assertEqual(int(lines[1]), frames)
        i = 2
        for m in models:
            name = lines[i]
            self.assertEqual(name, m["name"].encode("cp932").decode("latin-1") + ".x")
            for k in range(frames):
                self.assertEqual(len(lines[i + 1 + k].split(",")), 16)
            i += 1 + frames
            # The file is named with the model name's own (Shift_JIS) bytes.
            model_file = os.path.join(os.fsencode(folder), name.encode("latin-1"))
            stats = assimp_info(model_file)
            self.assertEqual(stats["Meshes"], 1)
            self.assertEqual(stats["Faces"], m["faces"])
            summary = xcheck.check(read(model_file))
            self.assertEqual(summary["faces"], m["faces"])
        self.assertEqual(lines[i:], [""])
        self.assertTrue(os.path.exists(os.path.join(folder, "robot_panel.bmp")), "the texture is copied")


if __name__ == "__main__":
    CLI = os.path.abspath(sys.argv[1])
    SOURCE = os.path.abspath(sys.argv[2])
    unittest.main(argv=[sys.argv[0], "-v"])
