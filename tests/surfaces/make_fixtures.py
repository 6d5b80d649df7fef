#!/usr/bin/env python3
"""Writes FreeSurfer and GIfTI test files with nibabel into a folder, and
expected.tsv beside them: what nibabel reads back from each file.

Lines of expected.tsv are tab-separated: file, field, then the field's values:
  counts   vertices, triangles
  xyz      all coordinates, space-separated
  faces    all vertex numbers of the triangles
  created  the created-by line
  volinfo  a key of the volume geometry and its value
  facecount  the triangles a curvature file names
  values   number of the per-vertex values in the file, name, intent code, the values
  labels   for each vertex the key of its label, or -1
  label    key, red, green, blue, alpha (0 to 255), name
  meta     name, value
Big-endian GIfTI files are nibabel's little-endian ones with their data
swapped, and read back by nibabel like the others."""

import base64
import re
import struct
import sys
import warnings
import zlib
from pathlib import Path

import nibabel as nib
import nibabel.freesurfer as fs
import numpy as np
from nibabel import gifti

out = Path(sys.argv[1])
out.mkdir(parents=True, exist_ok=True)
rng = np.random.default_rng(27)
# nibabel warns of surfaces without the volume geometry, which is meant.
warnings.simplefilter("ignore")
lines = []


def record(name, field, *values):
    lines.append("\t".join([name, field] + [str(v) for v in values]))


def numbers(values, integer=False):
    flat = np.asarray(values).reshape(-1)
    if integer:
        return " ".join(str(int(v)) for v in flat)
    return " ".join("%.9g" % float(v) for v in flat)


def icosphere():
    """An icosahedron divided once: 42 vertices, 80 triangles, with bumps."""
    t = (1 + 5 ** 0.5) / 2
    v = [(-1, t, 0), (1, t, 0), (-1, -t, 0), (1, -t, 0), (0, -1, t), (0, 1, t),
         (0, -1, -t), (0, 1, -t), (t, 0, -1), (t, 0, 1), (-t, 0, -1), (-t, 0, 1)]
    f = [(0, 11, 5), (0, 5, 1), (0, 1, 7), (0, 7, 10), (0, 10, 11), (1, 5, 9), (5, 11, 4),
         (11, 10, 2), (10, 7, 6), (7, 1, 8), (3, 9, 4), (3, 4, 2), (3, 2, 6), (3, 6, 8),
         (3, 8, 9), (4, 9, 5), (2, 4, 11), (6, 2, 10), (8, 6, 7), (9, 8, 1)]
    verts = [np.array(p, float) / np.linalg.norm(p) for p in v]
    middle = {}

    def mid(a, b):
        key = (min(a, b), max(a, b))
        if key not in middle:
            p = verts[a] + verts[b]
            verts.append(p / np.linalg.norm(p))
            middle[key] = len(verts) - 1
        return middle[key]

    faces = []
    for a, b, c in f:
        ab, bc, ca = mid(a, b), mid(b, c), mid(c, a)
        faces += [(a, ab, ca), (b, bc, ab), (c, ca, bc), (ab, bc, ca)]
    xyz = np.array(verts) * (60 + 4 * rng.standard_normal((len(verts), 1)))
    xyz += np.array([-30.5, -18.25, 12.125])
    return xyz.astype(np.float32), np.array(faces, dtype=np.int32)


xyz, faces = icosphere()
nv, nf = len(xyz), len(faces)


def record_surface(name, coords, tris):
    record(name, "counts", len(coords), len(tris))
    record(name, "xyz", numbers(coords))
    record(name, "faces", numbers(tris, integer=True))


# FreeSurfer surfaces, with and without the volume geometry.
volume_info = {
    "head": [2, 0, 20],
    "valid": "1  # volume info valid",
    "filename": "/subjects/bert/mri/filled.mgz",
    "volume": [256, 256, 256],
    "voxelsize": [1.0, 1.0, 1.0],
    "xras": [-1.0, 0.0, 0.0],
    "yras": [0.0, 0.0, -1.0],
    "zras": [0.0, 1.0, 0.0],
    "cras": [5.5, -17.25, 18.0],
}
for name, info in [("lh.white", volume_info), ("rh.pial", None)]:
    path = out / name
    fs.write_geometry(str(path), xyz, faces, create_stamp="created by cortivex on Tue Feb 27 10:00:00 2024",
                      volume_info=info)
    coords, tris, meta, stamp = fs.read_geometry(str(path), read_metadata=True, read_stamp=True)
    record_surface(name, coords, tris)
    record(name, "created", stamp)
    for key, value in meta.items():
        if key == "head":
            continue
        text = value if isinstance(value, str) else " ".join("%.10g" % x for x in value)
        record(name, "volinfo", key, text)

# Curvature-format values.
for name, values in [("lh.curv", rng.normal(0, 0.2, nv)), ("lh.thickness", rng.uniform(1.2, 4.4, nv))]:
    path = out / name
    fs.write_morph_data(str(path), values.astype(np.float32), fnum=nf)
    record(name, "facecount", nf)
    record(name, "values", 0, "", 0, numbers(fs.read_morph_data(str(path))))

# An annotation in the version 2 colour table, with a vertex in no label; the
# first label is black, as in some of FreeSurfer's tables, which makes its
# vertices' value 0: in no label.
ctab = np.array([[0, 0, 0, 0], [60, 20, 220, 0], [220, 20, 20, 0], [20, 220, 60, 40]], dtype=np.int32)
names = ["unknown", "precentral", "postcentral", "superiorfrontal"]
labels = rng.integers(0, len(names), nv).astype(np.int32)
labels[5] = -1


def record_annot(name):
    read_labels, read_ctab, read_names = fs.read_annot(str(out / name))
    record(name, "labels", numbers(read_labels, integer=True))
    for key, (row, label_name) in enumerate(zip(read_ctab, read_names)):
        record(name, "label", key, row[0], row[1], row[2], 255 - row[3], label_name.decode())


fs.write_annot(str(out / "lh.aparc.annot"), labels, ctab, names)
record_annot("lh.aparc.annot")


# The old colour table, laid out byte by byte: entries numbered by their place.
def old_annot(path, labels, ctab, names):
    be = lambda *v: struct.pack(">%di" % len(v), *v)
    values = ctab[:, 0] + ctab[:, 1] * 256 + ctab[:, 2] * 65536
    data = be(len(labels))
    for v, label in enumerate(labels):
        data += be(v, 0 if label < 0 else int(values[label]))
    data += be(1, len(names))
    orig = b"/subjects/bert/label/colortable.txt\0"
    data += be(len(orig)) + orig
    for row, label_name in zip(ctab, names):
        encoded = label_name.encode() + b"\0"
        data += be(len(encoded)) + encoded + be(*[int(x) for x in row])
    path.write_bytes(data)


old_annot(out / "rh.old.annot", labels, ctab, names)
record_annot("rh.old.annot")


# GIfTI files.
def to_big_endian(xml):
    """The file with every array's binary data byte-swapped and said to be big-endian."""
    def swap_array(match):
        element = match.group(0)
        head = element[:element.index(">") + 1]
        wide = "NIFTI_TYPE_UINT8" not in head
        def swap_data(data):
            text = data.group(1)
            if 'Encoding="ASCII"' in head or not wide:
                return data.group(0)
            raw = base64.b64decode(text)
            gz = 'Encoding="GZipBase64Binary"' in head
            if gz:
                raw = zlib.decompress(raw)
            raw = np.frombuffer(raw, "<u4").byteswap().tobytes()
            if gz:
                raw = zlib.compress(raw)
            return "<Data>" + base64.b64encode(raw).decode() + "</Data>"
        element = re.sub(r"<Data>(.*?)</Data>", swap_data, element, flags=re.S)
        return element.replace('Endian="LittleEndian"', 'Endian="BigEndian"', 1)
    return re.sub(r"<DataArray .*?</DataArray>", swap_array, xml, flags=re.S)


ENCODINGS = {"ascii": "GIFTI_ENCODING_ASCII", "base64": "GIFTI_ENCODING_B64BIN",
             "gzip": "GIFTI_ENCODING_B64GZ"}


def save(img, name, big_endian):
    xml = img.to_xml().decode()
    if big_endian:
        xml = to_big_endian(xml)
        assert 'Endian="BigEndian"' in xml
    (out / name).write_text(xml)
    return nib.load(str(out / name))


def record_values(name, img):
    k = 0
    for array in img.darrays:
        if array.intent in (1002, 1008, 1009):
            continue
        data = np.asarray(array.data)
        columns = data.reshape(len(data), -1)
        for c in range(columns.shape[1]):
            array_name = array.meta.get("Name", "")
            if columns.shape[1] > 1:
                array_name = ("%s (%d)" % (array_name, c + 1)).strip()
            record(name, "values", k, array_name, array.intent, numbers(columns[:, c]))
            k += 1


def record_meta(name, img):
    for key, value in img.meta.items():
        record(name, "meta", key, value)


for encoding in ["ascii", "base64", "gzip"]:
    for order in ["le", "be"]:
        name = "surf_%s_%s.surf.gii" % (encoding, order)
        img = gifti.GiftiImage(meta=gifti.GiftiMetaData({"AnatomicalStructurePrimary": "CortexLeft",
                                                          "Date": "Tue Feb 27 2024"}))
        img.add_gifti_data_array(gifti.GiftiDataArray(xyz, intent="NIFTI_INTENT_POINTSET",
                                                      datatype="NIFTI_TYPE_FLOAT32",
                                                      encoding=ENCODINGS[encoding]))
        img.add_gifti_data_array(gifti.GiftiDataArray(faces, intent="NIFTI_INTENT_TRIANGLE",
                                                      datatype="NIFTI_TYPE_INT32",
                                                      encoding=ENCODINGS[encoding]))
        back = save(img, name, order == "be")
        points, tris = back.agg_data(("pointset", "triangle"))
        record_surface(name, points, tris)
        record_meta(name, back)

# Column-major arrays: coordinates x first, then y, then z.
img = gifti.GiftiImage()
for data, intent, dtype in [(xyz, "NIFTI_INTENT_POINTSET", "NIFTI_TYPE_FLOAT32"),
                            (faces, "NIFTI_INTENT_TRIANGLE", "NIFTI_TYPE_INT32")]:
    img.add_gifti_data_array(gifti.GiftiDataArray(data, intent=intent, datatype=dtype,
                                                  encoding="GIFTI_ENCODING_B64BIN",
                                                  ordering="ColumnMajorOrder"))
back = save(img, "surf_columns.surf.gii", False)
assert "ColumnMajorOrder" in (out / "surf_columns.surf.gii").read_text()
record_surface("surf_columns.surf.gii", *back.agg_data(("pointset", "triangle")))

# A shape in two encodings.
thickness = rng.uniform(1.0, 4.5, nv).astype(np.float32)
for encoding, order in [("gzip", "le"), ("ascii", "be")]:
    name = "thickness_%s_%s.shape.gii" % (encoding, order)
    img = gifti.GiftiImage()
    img.add_gifti_data_array(gifti.GiftiDataArray(thickness, intent="NIFTI_INTENT_SHAPE",
                                                  datatype="NIFTI_TYPE_FLOAT32",
                                                  encoding=ENCODINGS[encoding],
                                                  meta=gifti.GiftiMetaData({"Name": "thickness"})))
    record_values(name, save(img, name, order == "be"))

# Statistics: a z map, a t map, and a uint8 mask.
zmap = rng.normal(0, 2, nv).astype(np.float32)
tmap = rng.normal(0, 3, nv).astype(np.float32)
mask = (rng.uniform(0, 1, nv) > 0.5).astype(np.uint8) * 255
for encoding, order in [("base64", "be"), ("gzip", "le"), ("ascii", "le")]:
    name = "stats_%s_%s.func.gii" % (encoding, order)
    img = gifti.GiftiImage()
    for data, intent, dtype, label in [(zmap, "NIFTI_INTENT_ZSCORE", "NIFTI_TYPE_FLOAT32", "zstat1"),
                                       (tmap, "NIFTI_INTENT_TTEST", "NIFTI_TYPE_FLOAT32", "tstat1"),
                                       (mask, "NIFTI_INTENT_NONE", "NIFTI_TYPE_UINT8", "mask")]:
        img.add_gifti_data_array(gifti.GiftiDataArray(data, intent=intent, datatype=dtype,
                                                      encoding=ENCODINGS[encoding],
                                                      meta=gifti.GiftiMetaData({"Name": label})))
    record_values(name, save(img, name, order == "be"))

# Labels with a table, and a vertex whose key the table lacks.
keys = rng.integers(0, 4, nv).astype(np.int32)
keys[7] = 9
table = [(0, "???", (0.0, 0.0, 0.0, 0.0)), (1, "V1", (0.8, 0.1, 0.1, 1.0)),
         (2, "V2", (0.1, 0.6, 0.25, 1.0)), (3, "MT+ & LO", (0.2, 0.3, 0.9, 0.5))]
for encoding, order in [("ascii", "le"), ("gzip", "be")]:
    name = "areas_%s_%s.label.gii" % (encoding, order)
    img = gifti.GiftiImage()
    for key, label_name, (r, g, b, a) in table:
        img.labeltable.labels.append(gifti.GiftiLabel(key, r, g, b, a))
        img.labeltable.labels[-1].label = label_name
    img.add_gifti_data_array(gifti.GiftiDataArray(keys, intent="NIFTI_INTENT_LABEL",
                                                  datatype="NIFTI_TYPE_INT32",
                                                  encoding=ENCODINGS[encoding]))
    back = save(img, name, order == "be")
    table_keys = [label.key for label in back.labeltable.labels]
    data = back.darrays[0].data
    record(name, "labels", numbers([k if k in table_keys else -1 for k in data], integer=True))
    for label in back.labeltable.labels:
        rgba = [int(np.floor(c * 255 + 0.5)) for c in label.rgba]
        record(name, "label", label.key, *rgba, label.label)

(out / "expected.tsv").write_text("\n".join(lines) + "\n")
