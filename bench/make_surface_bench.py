#!/usr/bin/env python3
"""Writes a folded, lh.pial-like surface of 150,000 vertices and 299,000
triangles into a folder with nibabel: as FreeSurfer's lh.pial and as
lh.pial.surf.gii in zlib-compressed base64; beside them its lh.curv and
lh.thickness."""

import sys
from pathlib import Path

import nibabel as nib
import nibabel.freesurfer as fs
import numpy as np
from nibabel import gifti

out = Path(sys.argv[1])
out.mkdir(parents=True, exist_ok=True)
rng = np.random.default_rng(27)

# A tube of 300 rings of 500 vertices, closed around, bent into a hemisphere
# with gyri and some noise, as a pial surface's coordinates are.
rings, around = 300, 500
theta = np.linspace(0.05, np.pi - 0.05, rings)[:, None]
phi = np.linspace(0, 2 * np.pi, around, endpoint=False)[None, :]
folds = 1 + 0.06 * np.sin(14 * theta) * np.sin(17 * phi) + 0.01 * rng.standard_normal((rings, around))
x = -35 + 32 * np.sin(theta) * np.cos(phi) * folds
y = -18 + 85 * np.cos(theta) * folds
z = 15 + 60 * np.sin(theta) * np.sin(phi) * folds
xyz = np.stack([x, y, z], axis=-1).reshape(-1, 3).astype(np.float32)

r = np.arange(rings - 1)[:, None]
a = np.arange(around)[None, :]
v00 = r * around + a
v01 = r * around + (a + 1) % around
v10 = v00 + around
v11 = v01 + around
faces = np.concatenate([np.stack([v00, v10, v01], -1).reshape(-1, 3),
                        np.stack([v01, v10, v11], -1).reshape(-1, 3)]).astype(np.int32)

fs.write_geometry(str(out / "lh.pial"), xyz, faces,
                  create_stamp="created by cortivex on Tue Feb 27 10:00:00 2024")
img = gifti.GiftiImage()
img.add_gifti_data_array(gifti.GiftiDataArray(xyz, intent="NIFTI_INTENT_POINTSET",
                                              datatype="NIFTI_TYPE_FLOAT32",
                                              encoding="GIFTI_ENCODING_B64GZ"))
img.add_gifti_data_array(gifti.GiftiDataArray(faces, intent="NIFTI_INTENT_TRIANGLE",
                                              datatype="NIFTI_TYPE_INT32",
                                              encoding="GIFTI_ENCODING_B64GZ"))
nib.save(img, str(out / "lh.pial.surf.gii"))

# Curvature follows the folds; thickness from 1.5 to 4 mm, thinner in the sulci.
fold = (np.sin(14 * theta) * np.sin(17 * phi)).reshape(-1)
fs.write_morph_data(str(out / "lh.curv"), (-0.2 * fold).astype(np.float32), fnum=len(faces))
fs.write_morph_data(str(out / "lh.thickness"),
                    (2.75 + 1.25 * fold + 0.1 * rng.standard_normal(len(fold))).astype(np.float32),
                    fnum=len(faces))
