#!/usr/bin/env python3
"""Writes forty MNI-sized heads of 182 x 218 x 182 int16 voxels as .nii.gz into a
folder, with nibabel: one head with scanner noise, each file shifted and brightened
by its own amount, so that no two files hold the same voxels."""

import sys
from pathlib import Path

import nibabel as nib
import numpy as np

out = Path(sys.argv[1])
out.mkdir(parents=True, exist_ok=True)
rng = np.random.default_rng(11)

shape = (182, 218, 182)
i, j, k = np.meshgrid(*[np.linspace(-1, 1, n, dtype=np.float32) for n in shape], indexing="ij")
r = np.sqrt((i / 0.85) ** 2 + (j / 0.9) ** 2 + (k / 0.8) ** 2)
tissue = 4000 + 2500 * np.sin(9 * i) * np.sin(7 * j) * np.sin(8 * k)
head = np.where(r < 1, tissue, 0) + rng.normal(0, 60, shape).astype(np.float32) * (r < 1.1)
head = np.clip(head, 0, 30000).astype(np.int16)
affine = np.array([[-1, 0, 0, 90], [0, 1, 0, -126], [0, 0, 1, -72], [0, 0, 0, 1.0]])

for n in range(40):
    voxels = np.roll(head, (n % 7 - 3, n % 5 - 2, n % 3 - 1), axis=(0, 1, 2))
    voxels = np.where(voxels > 0, voxels + np.int16(25 * n), 0).astype(np.int16)
    image = nib.Nifti1Image(voxels, affine)
    image.set_sform(affine, code=4)
    image.set_qform(affine, code=4)
    nib.save(image, str(out / f"head{n:02d}.nii.gz"))
