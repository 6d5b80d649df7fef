#!/usr/bin/env python3
"""Writes a 1 mm MNI-sized template of 182 x 218 x 182 int16 voxels as .nii.gz
and a 2 mm float z map over it into a folder, with nibabel."""

import sys
from pathlib import Path

import nibabel as nib
import numpy as np

out = Path(sys.argv[1])
out.mkdir(parents=True, exist_ok=True)
rng = np.random.default_rng(7)

# A head: an ellipsoid of grey and white matter textures with scanner noise.
shape = (182, 218, 182)
i, j, k = np.meshgrid(*[np.linspace(-1, 1, n, dtype=np.float32) for n in shape], indexing="ij")
r = np.sqrt((i / 0.85) ** 2 + (j / 0.9) ** 2 + (k / 0.8) ** 2)
tissue = 4000 + 2500 * np.sin(9 * i) * np.sin(7 * j) * np.sin(8 * k)
head = np.where(r < 1, tissue, 0) + rng.normal(0, 60, shape) * (r < 1.1)
template = nib.Nifti1Image(np.clip(head, 0, 32767).astype(np.int16),
                           np.array([[-1, 0, 0, 90], [0, 1, 0, -126], [0, 0, 1, -72], [0, 0, 0, 1.0]]))
template.set_sform(template.affine, code=4)
template.set_qform(template.affine, code=4)
nib.save(template, str(out / "mni_t1.nii.gz"))

# A z map at 2 mm: blobs of both signs over smooth noise.
shape = (91, 109, 91)
i, j, k = np.meshgrid(*[np.arange(n, dtype=np.float32) for n in shape], indexing="ij")
z = rng.normal(0, 1, shape).astype(np.float32)
for ci, cj, ck, peak in [(30, 50, 40, 7), (60, 50, 40, -6), (45, 80, 60, 5), (45, 30, 30, -5)]:
    z += peak * np.exp(-((i - ci) ** 2 + (j - cj) ** 2 + (k - ck) ** 2) / 30)
zmap = nib.Nifti1Image(z, np.array([[-2, 0, 0, 90], [0, 2, 0, -126], [0, 0, 2, -72], [0, 0, 0, 1.0]]))
zmap.header.set_intent("z score")
zmap.set_sform(zmap.affine, code=4)
zmap.set_qform(zmap.affine, code=4)
nib.save(zmap, str(out / "zstat.nii.gz"))
