#!/usr/bin/env python3
"""Our glTF files read by independent programs: the Khronos validator (no
errors and no warnings), assimp (the counts we wrote), tinygltf (the node
transforms of frame 0) and three.js in headless Chromium (frame 30's
silhouette against the editor's own picture of frame 30).

    test_gltf.py CLI SOURCE_DIR GLTF_DUMP WEB_DIR [EDITOR]

WEB_DIR holds node_modules with gltf-validator, three and playwright-core
(scripts/deps.sh installs them). Without EDITOR the three.js check is
skipped. On a failed silhouette check (or with KINOVELA_KEEP_PICTURES set) the
pictures are kept in gltf-silhouette/ under the current folder.
"""
import json
import math
import os
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import unittest
from functools import partial
from http.server import SimpleHTTPRequestHandler, ThreadingHTTPServer

CLI = SOURCE = DUMP = WEB = EDITOR = None
WITH_DISPLAY = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "gui", "with-display")


def run(*args, cwd=None, timeout=600, env=None):
    p = subprocess.run(list(args), capture_output=True, timeout=timeout, cwd=cwd, env=env)
    return p.returncode, p.stdout.decode("utf-8", "replace"), p.stderr.decode("utf-8", "replace")


def gltf_json(path):
    """The JSON part of a .gltf or .glb file."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] == b"glTF":
        length, kind = struct.unpack_from("<II", data, 12)
        assert kind == 0x4E4F534A, "the first chunk of a .glb is its JSON"
        return json.loads(data[20:20 + length].decode("utf-8"))
    return json.loads(data.decode("utf-8"))


def matmul(a, b):
    return [[sum(a[i][k] * b[k][j] for k in range(4)) for j in range(4)] for i in range(4)]


def translation(x, y, z):
    return [[1, 0, 0, x], [0, 1, 0, y], [0, 0, 1, z], [0, 0, 0, 1]]


def scaling(x, y, z):
    return [[x, 0, 0, 0], [0, y, 0, 0], [0, 0, z, 0], [0, 0, 0, 1]]


def rotation(axis, degrees):
    c, s = math.cos(math.radians(degrees)), math.sin(math.radians(degrees))
    i, j = [(1, 2), (2, 0), (0, 1)][axis]
    m = [[1 if r == k else 0 for k in range(4)] for r in range(4)]
    m[i][i], m[i][j], m[j][i], m[j][j] = c, -s, s, c
    return m


def local_transform(model, pose):
    """The preview's transform of a pose (column vectors):
    T(position + pivot) Rz Ry Rx S T(-pivot)."""
    p, t, r, s = model["pivot"], pose["position"], pose["rotation"], pose["scale"]
    m = translation(t[0] + p[0], t[1] + p[1], t[2] + p[2])
    for part in (rotation(2, r[2]), rotation(1, r[1]), rotation(0, r[0]), scaling(*s),
                 translation(-p[0], -p[1], -p[2])):
        m = matmul(m, part)
    return m


def expected_node_names(models):
    """Model names as the file carries them: a repeated name gets _2, _3..."""
    seen, names = set(), []
    for m in models:
        name, n = m["name"], 2
        while name in seen:
            name = "%s_%d" % (m["name"], n)
            n += 1
        seen.add(name)
        names.append(name)
    return names


def read_rgba(png):
    """Width, height and RGBA bytes of a picture, through ImageMagick."""
    code, out, err = run("identify", "-format", "%w %h", png)
    assert code == 0, err
    w, h = (int(v) for v in out.split())
    p = subprocess.run(["convert", png, "-depth", "8", "rgba:-"], capture_output=True, timeout=120, check=True)
    return w, h, p.stdout


class Server:
    """A static file server on localhost for the three.js page."""

    def __init__(self, root):
        handler = partial(QuietHandler, directory=root)
        self.httpd = ThreadingHTTPServer(("127.0.0.1", 0), handler)
        self.port = self.httpd.server_address[1]
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


class QuietHandler(SimpleHTTPRequestHandler):
    extensions_map = dict(SimpleHTTPRequestHandler.extensions_map, **{".js": "text/javascript", ".mjs": "text/javascript"})

    def log_message(self, *args):
        pass


class Gltf(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="kinovela-gltf-")
        shutil.copytree(os.path.join(SOURCE, "samples", "TEXTURE"), os.path.join(cls.tmp, "TEXTURE"))
        cls.wave = os.path.join(cls.tmp, "wave.kvl")
        code, _, err = run(CLI, "run", os.path.join(SOURCE, "samples", "robot_arm_wave.kvs"), "--out", cls.wave)
        assert code == 0, err
        cls.shrine_dir = os.path.join(cls.tmp, "shrine")
        code, _, err = run(sys.executable, os.path.join(SOURCE, "tests", "data", "make_gltf_scene.py"), cls.shrine_dir)
        assert code == 0, err
        cls.shrine = os.path.join(cls.shrine_dir, "shrine.kvl")
        code, _, err = run(CLI, "run", os.path.join(cls.shrine_dir, "shrine.kvs"), "--out", cls.shrine)
        assert code == 0, err

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp)

    def info(self, scene):
        code, out, err = run(CLI, "info", "--json", "--frames", scene)
        self.assertEqual(code, 0, err)
        return json.loads(out)

    def export(self, scene, name, *options, folder=None):
        path = os.path.join(folder or self.tmp, name)
        code, _, err = run(CLI, "export", scene, path, *options)
        self.assertEqual(code, 0, err)
        return path, err

    def validate(self, *paths):
        code, out, err = run("node", os.path.join(WEB, "validate.js"), *paths, cwd=WEB)
        reports = [json.loads(line) for line in out.splitlines() if line.startswith("{")]
        self.assertEqual(len(reports), len(paths), out + err)
        for r in reports:
            self.assertEqual((r["errors"], r["warnings"]), (0, 0), "%s:\n%s" % (r["file"], "\n".join(r["messages"])))
        self.assertEqual(code, 0, err)
        return reports

    def test_every_variant_of_the_sample_is_valid(self):
        variants = {
            "plain.glb": [], "frames.glb": ["--every-frame"], "camera.glb": ["--camera", "--scale", "1"],
            "still.glb": ["--key-type", "none"], "bare.glb": ["--no-uv"], "safe.glb": ["--safe-names"],
            "plain.gltf": [], "embedded.gltf": ["--embed-textures", "--camera"],
            "frames.gltf": ["--every-frame", "--key-type", "srt"],
        }
        folder = os.path.join(self.tmp, "variants")
        os.makedirs(folder)
        paths = [self.export(self.wave, name, *options, folder=folder)[0] for name, options in variants.items()]
        self.validate(*paths)
        # The plain .gltf has its picture beside it; the embedded one none.
        self.assertEqual(gltf_json(os.path.join(folder, "plain.gltf"))["images"][0]["uri"], "robot_panel.png")
        self.assertNotIn("uri", gltf_json(os.path.join(folder, "embedded.gltf"))["images"][0])
        frames = gltf_json(os.path.join(folder, "frames.glb"))
        times = frames["accessors"][frames["animations"][0]["samplers"][0]["input"]]
        self.assertEqual(times["count"], 61)
        self.assertNotIn("animations", gltf_json(os.path.join(folder, "still.glb")))
        self.assertNotIn("textures", gltf_json(os.path.join(folder, "bare.glb")))

    def test_japanese_textured_scene(self):
        folder = os.path.join(self.tmp, "shrine-out")
        os.makedirs(folder)
        glb, warnings = self.export(self.shrine, "社.glb", "--camera", folder=folder)
        gltf, _ = self.export(self.shrine, "社.gltf", folder=folder)
        embedded, _ = self.export(self.shrine, "社_埋め込み.gltf", "--embed-textures", folder=folder)
        self.validate(glb, gltf, embedded)

        doc = gltf_json(gltf)
        names = [n["name"] for n in doc["nodes"]]
        self.assertEqual(len(names), len(set(names)), "node names are unique")
        for name in ("台座", "柱", "屋根", "旗", "旗_2", "空っぽ", "潰れ", "屋根_pivot"):
            self.assertIn(name, names)
        self.assertEqual({m["name"] for m in doc["materials"]}, {"木目", "写真", "模様", "ガラス", "透かし", "無し"})
        blended = {m["name"] for m in doc["materials"] if m.get("alphaMode") == "BLEND"}
        self.assertEqual(blended, {"ガラス", "透かし"})
        # PNG and JPEG pictures are the files themselves, the TGA becomes a
        # PNG; all beside the .gltf, under their names in UTF-8.
        uris = sorted(i["uri"] for i in doc["images"])
        self.assertEqual(uris, sorted(["木目.png", "写真.jpg", "模様.png", "透かし.png"]))
        texture = os.path.join(self.shrine_dir, "TEXTURE").encode()
        for name in ("木目.png", "写真.jpg", "透かし.png"):
            with open(os.path.join(texture, name.encode("cp932")), "rb") as a, open(os.path.join(folder, name), "rb") as b:
                self.assertEqual(a.read(), b.read(), name)
        with open(os.path.join(folder, "模様.png"), "rb") as f:
            self.assertEqual(f.read(8), b"\x89PNG\r\n\x1a\n")
        # The converted picture keeps its top row on top.
        w, h, rgba = read_rgba(os.path.join(folder, "模様.png"))
        self.assertEqual((w, h), (16, 8))
        self.assertEqual(tuple(rgba[0:3]), (220, 40, 30))
        self.assertEqual(tuple(rgba[(h - 1) * w * 4:(h - 1) * w * 4 + 3]), (30, 60, 200))
        # The pillar turns 350 degrees the long way: a sample between its
        # keys keeps the turn going that way.
        pillar = names.index("柱")
        anim = doc["animations"][0]
        rot = [s for c, s in ((c, anim["samplers"][c["sampler"]]) for c in anim["channels"])
               if c["target"]["node"] == pillar and c["target"]["path"] == "rotation"][0]
        self.assertGreater(doc["accessors"][rot["input"]]["count"], 4)
        self.assertNotIn("mesh", doc["nodes"][names.index("空っぽ")])

    def test_bench_scene_is_valid(self):
        folder = os.path.join(self.tmp, "bench")
        code, _, err = run(sys.executable, os.path.join(SOURCE, "bench", "make_bench_data.py"), folder)
        self.assertEqual(code, 0, err)
        scene = os.path.join(folder, "quads.mqo")
        glb, _ = self.export(scene, "quads.glb", folder=folder)
        gltf, _ = self.export(scene, "quads.gltf", "--every-frame", folder=folder)
        reports = self.validate(glb, gltf)
        self.assertEqual(reports[0]["info"]["totalTriangleCount"], 1000000)

    def test_assimp_reads_the_counts_we_wrote(self):
        for scene, options in ((self.wave, ["--camera"]), (self.shrine, []), (self.shrine, ["--camera"])):
            glb, _ = self.export(scene, "counts.glb", *options)
            doc = gltf_json(glb)
            code, out, err = run("assimp", "info", glb, "-r")
            self.assertEqual(code, 0, out + err)
            stats = {}
            for line in out.splitlines():
                key, _, value = line.partition(":")
                if value.strip().isdigit():
                    stats[key.strip()] = int(value)
            roots = len(doc["scenes"][0]["nodes"])
            primitives = sum(len(m["primitives"]) for m in doc["meshes"])
            # assimp makes one mesh per primitive, adds a default material
            # and a root node above several top-level nodes.
            self.assertEqual(stats["Nodes"], len(doc["nodes"]) + (1 if roots > 1 else 0))
            self.assertEqual(stats["Meshes"], primitives)
            self.assertEqual(stats["Materials"], len(doc["materials"]) + 1)
            self.assertEqual(stats["Animations"], 1)
            self.assertEqual(stats["Animation Channels"], len({c["target"]["node"] for c in doc["animations"][0]["channels"]}))
            self.assertEqual(stats["Cameras"], len(doc.get("cameras", [])))
            self.assertEqual(stats["Textures (embed.)"], len(doc.get("images", [])))

    def test_tinygltf_reads_back_the_poses_of_frame_0(self):
        scale = 0.01
        for scene in (self.wave, self.shrine):
            info = self.info(scene)
            models = info["models"]
            names = expected_node_names(models)
            for name in ("frame0.glb", "frame0.gltf"):
                path, _ = self.export(scene, name)
                code, out, err = run(DUMP, path)
                self.assertEqual(code, 0, err)
                dump = json.loads(out)
                nodes = {n["name"]: n for n in dump["nodes"]}
                world = {}
                for i, m in enumerate(models):
                    own = local_transform(m, m["poses"][0])
                    parent = m["parent"]
                    world[i] = own if parent is None or parent < 0 else None
                for _ in models:  # parents first, whatever the list order
                    for i, m in enumerate(models):
                        if world[i] is None and world.get(m["parent"]) is not None:
                            world[i] = matmul(world[m["parent"]], local_transform(m, m["poses"][0]))
                for i, m in enumerate(models):
                    node = nodes[names[i]]
                    # A mesh point is (x - pivot) * scale; the node must take
                    # it to the preview's world point times the scale.
                    p = m["pivot"]
                    expect = matmul(matmul(scaling(scale, scale, scale), world[i]),
                                    matmul(translation(*p), scaling(1 / scale, 1 / scale, 1 / scale)))
                    got = node["world"]
                    for r in range(4):
                        for c in range(4):
                            self.assertAlmostEqual(got[c * 4 + r], expect[r][c], delta=1e-4,
                                                   msg="%s %s [%d][%d]" % (name, names[i], r, c))
                # The first sample of every channel is the node's own pose.
                index = {n["name"]: k for k, n in enumerate(dump["nodes"])}
                for ch in dump["channels"]:
                    node = dump["nodes"][ch["node"]]
                    default = {"translation": [0, 0, 0], "rotation": [0, 0, 0, 1], "scale": [1, 1, 1]}[ch["path"]]
                    for a, b in zip(ch["first"], node[ch["path"]] or default):
                        self.assertAlmostEqual(a, b, places=5, msg="%s %s" % (node["name"], ch["path"]))
                    self.assertEqual(ch["interpolation"], "LINEAR")
                self.assertEqual(len(index), len(dump["nodes"]))

    def test_command_line_choices(self):
        out = os.path.join(self.tmp, "choices")
        os.makedirs(out)
        for options, message in ((["--no-embed-textures"], "always holds its textures"),
                                 (["--key-type", "matrix"], "cannot write matrix keys"),
                                 (["--speed", "10"], "no choice of animation speed"),
                                 (["--left-handed"], "no choice of coordinate system")):
            code, _, err = run(CLI, "export", self.wave, os.path.join(out, "a.glb"), *options)
            self.assertEqual(code, 2, options)
            self.assertIn(message, err)
        code, _, err = run(CLI, "export", self.wave, os.path.join(out, "a.x"), "--every-frame")
        self.assertEqual(code, 2)
        self.assertIn("no choice of samples", err)
        code, _, err = run(CLI, "export", self.wave, os.path.join(out, "a.glb"), "--scale", "0")
        self.assertEqual(code, 1)
        self.assertIn("glTFファイルへの書き出しに失敗しました。", err)
        self.assertEqual(os.listdir(out), [], "a refused export writes nothing")
        # A script exports as the command does, with the same options.
        script = os.path.join(out, "export.kvs")
        with open(script, "w", encoding="utf-8") as f:
            f.write('open "%s"\nexport scripted.gltf --every-frame --embed-textures\n' % self.wave)
        code, _, err = run(CLI, "run", script)
        self.assertEqual(code, 0, err)
        self.assertEqual(sorted(os.listdir(out)), ["export.kvs", "scripted.bin", "scripted.gltf"])

    def test_three_js_plays_frame_30_like_the_editor(self):
        if not EDITOR:
            self.skipTest("the editor is not built")
        folder = os.path.join(self.tmp, "web")
        os.makedirs(folder)
        # The whole arm in view, from further away than the default camera;
        # the scenes stay beside the sample's TEXTURE folder.
        scene = os.path.join(self.tmp, "view.kvl")
        hidden = os.path.join(self.tmp, "hidden.kvl")
        script = os.path.join(self.tmp, "view.kvs")
        models = [m["name"] for m in self.info(self.wave)["models"]]
        with open(script, "w", encoding="utf-8") as f:
            f.write('open "%s"\nselect none\nmode move\nset 0 -250 -5000\nsave view.kvl\n' % self.wave)
            # The same view without the models: the grid and axes alone.
            for m in models:
                f.write('select "%s"\nhide\n' % m)
            f.write("save hidden.kvl\n")
        code, _, err = run(CLI, "run", script)
        self.assertEqual(code, 0, err)
        glb, _ = self.export(scene, "view.glb", "--camera", folder=folder)

        editor = os.path.join(folder, "editor.png")
        empty = os.path.join(folder, "empty.png")
        # The system's GL driver keeps allocations past exit, which a
        # sanitizer build would report as leaks of the editor's.
        env = dict(os.environ, ASAN_OPTIONS=os.environ.get("ASAN_OPTIONS", "") + ":detect_leaks=0")
        for picture, kvl in ((editor, scene), (empty, hidden)):
            code, out, err = run(WITH_DISPLAY, EDITOR, "--grab", picture,
                                 "--frame", "30", kvl, timeout=180, env=env)
            self.assertEqual(code, 0, out + err)
        width, height, grabbed = read_rgba(editor)
        _, _, background = read_rgba(empty)

        for name in ("index.html", "viewer.js"):
            shutil.copy(os.path.join(WEB, "page", name), folder)
        os.symlink(os.path.join(WEB, "node_modules", "three"), os.path.join(folder, "three"))
        server = Server(folder)
        try:
            silhouette = os.path.join(folder, "threejs.png")
            picture = os.path.join(folder, "threejs_picture.png")
            url = "http://127.0.0.1:%d/index.html?file=view.glb&w=%d&h=%d" % (server.port, width, height)
            code, out, err = run("node", os.path.join(WEB, "render.js"), url, "30", "30", str(width), str(height),
                                 silhouette, picture, cwd=WEB, timeout=300)
        finally:
            server.close()
        self.assertEqual(code, 0, out + err)
        state = json.loads(out.splitlines()[-1])
        self.assertGreater(state["played"], 0, "the animation played")
        self.assertAlmostEqual(state["duration"], 2.0, places=5)
        w2, h2, rendered = read_rgba(silhouette)
        self.assertEqual((w2, h2), (width, height))

        # The editor's models are where its picture differs from the same
        # view without them; three.js's are where its picture is not
        # transparent.
        ours = [any(abs(grabbed[i + k] - background[i + k]) > 8 for k in range(3)) for i in range(0, len(grabbed), 4)]
        theirs = [rendered[i + 3] > 0 for i in range(0, len(rendered), 4)]
        both = sum(1 for a, b in zip(ours, theirs) if a and b)
        either = sum(1 for a, b in zip(ours, theirs) if a or b)
        self.assertGreater(sum(ours), 0.02 * width * height, "the models fill part of the view")
        overlap = both / either
        print("silhouette overlap at frame 30: %.2f %% of %d pixels" % (100 * overlap, either), file=sys.stderr)
        # The pictures are kept on failure, and on request (for the docs).
        if overlap < 0.95 or os.environ.get("KINOVELA_KEEP_PICTURES"):
            keep = os.path.join(os.getcwd(), "gltf-silhouette")
            os.makedirs(keep, exist_ok=True)
            for f in (editor, empty, silhouette, picture):
                shutil.copy(f, keep)
        self.assertGreaterEqual(overlap, 0.95, "the silhouettes overlap by %.1f %% only; the pictures are in "
                                "gltf-silhouette/" % (100 * overlap))


def main():
    global CLI, SOURCE, DUMP, WEB, EDITOR
    CLI, SOURCE, DUMP, WEB = (os.path.abspath(a) for a in sys.argv[1:5])
    EDITOR = os.path.abspath(sys.argv[5]) if len(sys.argv) > 5 else None
    unittest.main(argv=sys.argv[:1], verbosity=2)


if __name__ == "__main__":
    main()
