#!/usr/bin/env python3
"""Writes the NIfTI test files with nibabel into a folder, and expected.txt
beside them: for chosen world points of each volume, the value nibabel's own
affine arithmetic gives there and the 0.5th and 99.5th percentiles of the
volume's non-zero values.

The volumes hold a linear ramp of their voxel indices, which trilinear
interpolation reproduces exactly, so that a value resampled twice can be
compared with the value at the world point."""

import struct
import sys
from pathlib import Path

import nibabel as nib
import numpy as np

out = Path(sys.argv[1])
out.mkdir(parents=True, exist_ok=True)
rng = np.random.default_rng(17)


def ramp(shape, dtype, volumes=1):
    i, j, k = np.meshgrid(*[np.arange(n) for n in shape], indexing="ij")
    data = 2 * i + 3 * j + 5 * k + 1
    if volumes > 1:
        data = np.stack([data + 7 * v for v in range(volumes)], axis=-1)
    return data.astype(dtype)


def rotation(degrees_z, degrees_x):
    a, b = np.radians(degrees_z), np.radians(degrees_x)
    rz = np.array([[np.cos(a), -np.sin(a), 0], [np.sin(a), np.cos(a), 0], [0, 0, 1]])
    rx = np.array([[1, 0, 0], [0, np.cos(b), -np.sin(b)], [0, np.sin(b), np.cos(b)]])
    return rz @ rx


def affine(linear, origin):
    a = np.eye(4)
    a[:3, :3] = linear
    a[:3, 3] = origin
    return a


def trilinear(volume, p):
    i0 = np.floor(p).astype(int)
    f = p - i0
    value = 0.0
    for corner in range(8):
        d = np.array([corner & 1, (corner >> 1) & 1, (corner >> 2) & 1])
        w = np.prod(np.where(d == 1, f, 1 - f))
        value += w * volume[tuple(i0 + d)]
    return value


def patch_scaling(path, slope, inter):
    # nibabel writes floats unscaled; the header is changed afterwards.
    raw = bytearray(path.read_bytes())
    raw[112:120] = struct.pack("<ff", slope, inter)
    path.write_bytes(bytes(raw))


lines = []


def record(name, best_affine=None, points=6):
    """Expected values at world points inside the first volume of a file."""
    img = nib.load(str(out / name))
    data = np.asarray(img.get_fdata())
    volume = data[..., 0] if data.ndim == 4 else data
    a = img.affine if best_affine is None else best_affine
    nonzero = volume[volume != 0]
    lo, hi = np.percentile(nonzero, [0.5, 99.5], method="nearest")
    for _ in range(points):
        ijk = np.array([rng.uniform(1, n - 2) for n in volume.shape[:3]])
        world = nib.affines.apply_affine(a, ijk)
        back = nib.affines.apply_affine(np.linalg.inv(a), world)
        lines.append("%s %.6f %.6f %.6f %.6f %.6f %.6f" %
                     (name, *world, trilinear(volume, back), lo, hi))


def save(img, name, sform_code, qform_code):
    affine = img.affine
    img.set_sform(affine, code=sform_code)
    img.set_qform(affine, code=qform_code)
    nib.save(img, str(out / name))


save(nib.Nifti1Image(ramp((16, 20, 14), np.uint8), affine(2 * np.eye(3), (-16, -20, -14))),
     "ras_uint8.nii.gz", 4, 4)
record("ras_uint8.nii.gz")

save(nib.Nifti1Image(ramp((14, 16, 12), np.int16), affine(-1.5 * np.eye(3), (10, 12, 9))),
     "lpi_int16.nii", 1, 1)
record("lpi_int16.nii")

oblique = affine(rotation(20, 10) @ np.diag([1.2, 1.0, 1.5]), (-8, -10, -9))
save(nib.Nifti1Image(ramp((14, 18, 12), np.float32), oblique), "oblique_float32.nii.gz", 2, 0)
record("oblique_float32.nii.gz")

# The qform alone: i runs anterior, j right, k superior.
qform = affine(np.array([[0, -1.0, 0], [1.0, 0, 0], [0, 0, 1.0]]), (12, -9, -7))
img = nib.Nifti1Image(ramp((12, 14, 10), np.int16), qform)
save(img, "qform_int16.nii", 0, 3)
record("qform_int16.nii", nib.load(str(out / "qform_int16.nii")).header.get_qform())

# Neither transform: the voxel sizes alone, without an offset.
img = nib.Nifti1Pair(ramp((10, 12, 8), np.uint8), affine(np.diag([1.0, 2.0, 1.5]), (0, 0, 0)))
save(img, "neither_uint8.hdr", 0, 0)
record("neither_uint8.hdr", affine(np.diag([1.0, 2.0, 1.5]), (0, 0, 0)))

save(nib.Nifti1Image(ramp((12, 12, 12), np.float64), affine(np.eye(3), (-6, -6, -6))),
     "scaled_float64.nii", 4, 0)
patch_scaling(out / "scaled_float64.nii", 2.0, -5.0)
record("scaled_float64.nii")

save(nib.Nifti1Image(ramp((10, 10, 10), np.int16, volumes=3), affine(np.eye(3) * 2, (-9, -9, -9))),
     "fourd_int16.nii.gz", 4, 4)
record("fourd_int16.nii.gz")

save(nib.Nifti2Image(ramp((12, 10, 14), np.float32), affine(np.eye(3), (-5, -4, -6))),
     "nifti2_float32.nii", 4, 4)
record("nifti2_float32.nii")

save(nib.Nifti1Image(ramp((10, 12, 14), ">i2"), affine(np.eye(3), (-5, -6, -7)),
                     nib.Nifti1Header(endianness=">")),
     "bigendian_int16.nii", 4, 4)
record("bigendian_int16.nii")

(out / "expected.txt").write_text("\n".join(lines) + "\n")

# Maps: a z map of a positive and a negative blob over the ramp volumes' MNI
# space, one of two volumes, one far away, and an integer mask that is no map.
i, j, k = np.meshgrid(np.arange(12), np.arange(12), np.arange(12), indexing="ij")
blobs = (6 * np.exp(-((i - 3) ** 2 + (j - 6) ** 2 + (k - 6) ** 2) / 4)
         - 6 * np.exp(-((i - 9) ** 2 + (j - 6) ** 2 + (k - 6) ** 2) / 4)).astype(np.float32)
zmap = nib.Nifti1Image(blobs, affine(2 * np.eye(3), (-11, -11, -11)))
zmap.header.set_intent("z score")
save(zmap, "zmap_float32.nii.gz", 4, 4)
save(nib.Nifti1Image(np.stack([blobs, -blobs], axis=-1), affine(2 * np.eye(3), (-11, -11, -11))),
     "twomaps_float32.nii", 4, 4)
save(nib.Nifti1Image(blobs, affine(2 * np.eye(3), (900, 900, 900))), "far_float32.nii", 4, 4)
save(nib.Nifti1Image((blobs > 1).astype(np.uint8), affine(2 * np.eye(3), (-11, -11, -11))),
     "mask_uint8.nii", 4, 4)
