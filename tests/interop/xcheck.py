"""A structural reader for DirectX text files, stricter than most loaders:
every count must match the entries that follow it, every index must be in
range, and every { name } reference must name a frame of the file."""
import re

TOKEN = re.compile(rb'"[^"]*"|<[^>]*>|[{};,]|[-+]?\d+\.\d+(?:[eE][-+]?\d+)?|[-+]?\d+|[^\s{};,"<>]+')


class XObject:
    def __init__(self, kind, name):
        self.kind = kind
        self.name = name
        self.values = []     # numbers and strings of this object's own data
        self.children = []
        self.refs = []


def parse(data):
    """Returns the top-level objects; raises ValueError on bad structure."""
    if not data.startswith(b"xof 0302txt 0032"):
        raise ValueError("not a DirectX text file")
    body = re.sub(rb"//[^\n]*", b"", data[16:])
    tokens = TOKEN.findall(body)
    pos = 0

    def number(tok):
        return float(tok) if b"." in tok else int(tok)

    def parse_object(kind):
        nonlocal pos
        name = None
        if tokens[pos] != b"{":
            name = tokens[pos].decode("latin-1")
            pos += 1
        if tokens[pos] != b"{":
            raise ValueError("'{' expected after %s" % kind)
        pos += 1
        obj = XObject(kind, name)
        if pos < len(tokens) and tokens[pos].startswith(b"<"):
            pos += 1
        while True:
            tok = tokens[pos]
            if tok == b"}":
                pos += 1
                return obj
            if tok in (b";", b","):
                pos += 1
            elif tok == b"{":  # a reference
                ref = tokens[pos + 1].decode("latin-1")
                if tokens[pos + 2] != b"}":
                    raise ValueError("bad reference")
                obj.refs.append(ref)
                pos += 3
            elif tok.startswith(b'"'):
                obj.values.append(tok[1:-1].decode("latin-1"))
                pos += 1
            elif re.fullmatch(rb"[-+]?\d+(\.\d+)?([eE][-+]?\d+)?", tok):
                obj.values.append(number(tok))
                pos += 1
            else:
                pos += 1
                obj.children.append(parse_object(tok.decode("latin-1")))

    roots = []
    while pos < len(tokens):
        kind = tokens[pos].decode("latin-1")
        pos += 1
        if kind == "template":
            depth = 0
            while True:
                t = tokens[pos]
                pos += 1
                if t == b"{":
                    depth += 1
                elif t == b"}":
                    depth -= 1
                    if depth == 0:
                        break
            continue
        roots.append(parse_object(kind))
    return roots


def walk(objs):
    for o in objs:
        yield o
        yield from walk(o.children)


def check_mesh_faces(values, start, vertex_count, what):
    """Faces from values[start]: count, then per face n and n indices."""
    nf = values[start]
    i = start + 1
    for _ in range(nf):
        n = values[i]
        idx = values[i + 1:i + 1 + n]
        if n not in (3, 4) or len(idx) != n:
            raise ValueError("%s: a face of %r corners" % (what, n))
        for k in idx:
            if not (isinstance(k, int) and 0 <= k < vertex_count):
                raise ValueError("%s: index %r outside 0..%d" % (what, k, vertex_count - 1))
        i += 1 + n
    return nf, i


def check(data):
    """Checks the file; returns a summary dict: meshes, vertices, faces,
    frames (names) and animations as {frame: [key counts]}."""
    roots = parse(data)
    summary = {"meshes": 0, "vertices": 0, "faces": 0, "frames": [], "animations": {}}
    frames = set(o.name for o in walk(roots) if o.kind == "Frame")
    summary["frames"] = sorted(frames)
    for o in walk(roots):
        v = o.values
        if o.kind == "Mesh":
            nv = v[0]
            if len(v) < 1 + 3 * nv:
                raise ValueError("mesh %s: fewer positions than %d" % (o.name, nv))
            nf, end = check_mesh_faces(v, 1 + 3 * nv, nv, "mesh " + str(o.name))
            if end != len(v):
                raise ValueError("mesh %s: %d values left over" % (o.name, len(v) - end))
            summary["meshes"] += 1
            summary["vertices"] += nv
            summary["faces"] += nf
            for c in o.children:
                cv = c.values
                if c.kind == "MeshNormals":
                    nn = cv[0]
                    if nn != nv:
                        raise ValueError("normals: %d for %d vertices" % (nn, nv))
                    fn, end = check_mesh_faces(cv, 1 + 3 * nn, nn, "normals")
                    if fn != nf or end != len(cv):
                        raise ValueError("normals: face list does not match")
                elif c.kind == "MeshMaterialList":
                    nm, nfi = cv[0], cv[1]
                    mats = [m for m in c.children if m.kind == "Material"]
                    if len(mats) != nm:
                        raise ValueError("material list announces %d, holds %d" % (nm, len(mats)))
                    if nfi != nf or len(cv) != 2 + nfi:
                        raise ValueError("material list: %d face indexes for %d faces" % (nfi, nf))
                    if any(not (0 <= k < nm) for k in cv[2:]):
                        raise ValueError("material index out of range")
                    for m in mats:
                        if len(m.values) != 11:
                            raise ValueError("material with %d values" % len(m.values))
                elif c.kind == "MeshTextureCoords":
                    if cv[0] != nv or len(cv) != 1 + 2 * nv:
                        raise ValueError("texture coordinates do not match the vertices")
        elif o.kind == "FrameTransformMatrix":
            if len(v) != 16:
                raise ValueError("frame matrix with %d values" % len(v))
        elif o.kind == "Animation":
            if len(o.refs) != 1 or o.refs[0] not in frames:
                raise ValueError("animation refers to %r, not a frame" % o.refs)
            counts = []
            for k in o.children:
                if k.kind != "AnimationKey":
                    continue
                kv = k.values
                key_type, n = kv[0], kv[1]
                width = {0: 4, 1: 3, 2: 3, 4: 16}[key_type]
                i = 2
                for _ in range(n):
                    if kv[i + 1] != width:
                        raise ValueError("key of %r values for type %d" % (kv[i + 1], key_type))
                    i += 2 + width
                if i != len(kv):
                    raise ValueError("animation key: %d values left over" % (len(kv) - i))
                counts.append((key_type, n))
            summary["animations"][o.refs[0]] = counts
    return summary
