#!/usr/bin/env python3
"""Writes DICOM series into OUT/series from a volume made with nibabel, and
converts them with dcm2niix into OUT/nifti (s<series number>.nii).

Series 5: the volume, obliquely oriented, instance numbers and file names
shuffled, no name endings. Series 7: the same without its sixth slice.
Series 9: one UID holding images of two sizes. Series 11: two slices only.
Series 13: slices shifted sideways as a tilted gantry makes them. Series 15:
the volume as one enhanced multi-frame file with per-frame positions, frames
shuffled. Also a file that is not DICOM, and OUT/nifti/stats.nii: float
statistics over the volume's world.

expected.txt holds, per series in the viewer's order, "display name|volume|
missing|tilted|multi-frame|file names along the normal" (frame numbers for the
multi-frame file)."""

import subprocess
import sys
from pathlib import Path

import nibabel as nib
import numpy as np
import pydicom
from pydicom.dataset import Dataset, FileDataset, FileMetaDataset
from pydicom.sequence import Sequence
from pydicom.uid import ExplicitVRLittleEndian, generate_uid

out = Path(sys.argv[1])
folder = out / "series"
nifti = out / "nifti"
for d in (folder, nifti):
    d.mkdir(parents=True, exist_ok=True)
    for f in d.iterdir():
        f.unlink()
rng = np.random.default_rng(5)

shape = (20, 16, 12)  # columns, rows, slices
i, j, k = np.meshgrid(*[np.arange(n) for n in shape], indexing="ij")
volume = (7 * i + 13 * j + 101 * k + rng.integers(0, 5, shape)).astype(np.int16)


def rotation(a, b, c):
    a, b, c = np.radians([a, b, c])
    rx = np.array([[1, 0, 0], [0, np.cos(a), -np.sin(a)], [0, np.sin(a), np.cos(a)]])
    ry = np.array([[np.cos(b), 0, np.sin(b)], [0, 1, 0], [-np.sin(b), 0, np.cos(b)]])
    rz = np.array([[np.cos(c), -np.sin(c), 0], [np.sin(c), np.cos(c), 0], [0, 0, 1]])
    return rz @ ry @ rx


affine = np.eye(4)
affine[:3, :3] = rotation(12, -8, 20) @ np.diag([0.9, 1.1, 2.5])
affine[:3, 3] = [-40.5, 25.25, 10.0]
image = nib.Nifti1Image(volume, affine)
nib.save(image, str(out / "volume.nii"))

# The image's geometry in the patient's LPS axes.
lps = np.diag([-1, -1, 1, 1]) @ image.affine
col_step, row_step, slice_step, origin = lps[:3, 0], lps[:3, 1], lps[:3, 2], lps[:3, 3]
col_spacing, row_spacing = np.linalg.norm(col_step), np.linalg.norm(row_step)
r, c = col_step / col_spacing, row_step / row_spacing


def ds_number(x):
    return "%.10g" % x


def base(series_uid, number, description, rows, cols):
    meta = FileMetaDataset()
    meta.MediaStorageSOPClassUID = "1.2.840.10008.5.1.4.1.1.4"
    meta.MediaStorageSOPInstanceUID = generate_uid()
    meta.TransferSyntaxUID = ExplicitVRLittleEndian
    ds = FileDataset("x", {}, file_meta=meta, preamble=b"\0" * 128)
    ds.is_little_endian = True
    ds.is_implicit_VR = False
    ds.SOPClassUID = meta.MediaStorageSOPClassUID
    ds.SOPInstanceUID = meta.MediaStorageSOPInstanceUID
    ds.StudyInstanceUID = study
    ds.SeriesInstanceUID = series_uid
    ds.FrameOfReferenceUID = frame_of_reference
    ds.PatientName = "Phantom"
    ds.PatientID = "25"
    ds.Modality = "MR"
    ds.SeriesNumber = number
    ds.SeriesDescription = description
    ds.StudyDate = "20240101"
    ds.SeriesTime = "120000"
    ds.AcquisitionTime = "120000"
    ds.Rows, ds.Columns = rows, cols
    ds.SamplesPerPixel = 1
    ds.PhotometricInterpretation = "MONOCHROME2"
    ds.BitsAllocated = 16
    ds.BitsStored = 16
    ds.HighBit = 15
    ds.PixelRepresentation = 1
    ds.PixelSpacing = [ds_number(row_spacing), ds_number(col_spacing)]
    ds.SliceThickness = ds_number(np.linalg.norm(slice_step))
    return ds


study = generate_uid()
frame_of_reference = generate_uid()
names = iter(rng.permutation(10000))
expected = []


def write_series(number, description, slices, shift=None, uid=None, size=None):
    """slices: indices k of the volume to write; shift(k) moves a slice."""
    uid = uid or generate_uid()
    cols, rows = size or shape[:2]
    order = rng.permutation(len(slices))
    written = []
    for n, s in enumerate(slices):
        ds = base(uid, number, description, rows, cols)
        position = origin + s * slice_step + (shift(s) if shift else 0)
        ds.ImagePositionPatient = [ds_number(v) for v in position]
        ds.ImageOrientationPatient = [ds_number(v) for v in (*r, *c)]
        ds.InstanceNumber = int(order[n]) + 1
        ds.PixelData = volume[:cols, :rows, s].T.astype("<i2").tobytes()
        name = "IM%04d" % next(names)
        ds.save_as(str(folder / name), write_like_original=False)
        written.append(name)
    return written


all_slices = list(range(shape[2]))
a = write_series(5, "T1_oblique", all_slices)
expected.append("5 T1_oblique (12)|1|0|0|0|" + ",".join(a))
missing = [s for s in all_slices if s != 5]
b = write_series(7, "T1_missing", missing)
expected.append("7 T1_missing (11)|1|1|0|0|" + ",".join(b))
mixed = generate_uid()
big = write_series(9, "mixed", [0, 1, 2, 3], uid=mixed)
small = write_series(9, "mixed", [4, 5, 6], uid=mixed, size=(10, 8))
expected.append("9 mixed [1] (4)|1|0|0|0|" + ",".join(big))
expected.append("9 mixed [2] (3)|1|0|0|0|" + ",".join(small))
two = write_series(11, "scout", [3, 8])
expected.append("11 scout (2)|0|0|0|0|" + ",".join(two))
tilted = write_series(13, "tilted", all_slices, shift=lambda s: 0.6 * s * c)
expected.append("13 tilted (12)|1|0|1|0|" + ",".join(tilted))

# The volume as one enhanced MR image, its frames in a shuffled order.
ds = base(generate_uid(), 15, "enhanced", shape[1], shape[0])
ds.file_meta.MediaStorageSOPClassUID = "1.2.840.10008.5.1.4.1.1.4.1"
ds.SOPClassUID = ds.file_meta.MediaStorageSOPClassUID
del ds.PixelSpacing
del ds.SliceThickness
frames = rng.permutation(shape[2])
ds.NumberOfFrames = len(frames)
shared = Dataset()
orientation = Dataset()
orientation.ImageOrientationPatient = [ds_number(v) for v in (*r, *c)]
shared.PlaneOrientationSequence = Sequence([orientation])
measures = Dataset()
measures.PixelSpacing = [ds_number(row_spacing), ds_number(col_spacing)]
measures.SliceThickness = ds_number(np.linalg.norm(slice_step))
shared.PixelMeasuresSequence = Sequence([measures])
ds.SharedFunctionalGroupsSequence = Sequence([shared])
per_frame = []
for s in frames:
    group = Dataset()
    plane = Dataset()
    plane.ImagePositionPatient = [ds_number(v) for v in origin + s * slice_step]
    group.PlanePositionSequence = Sequence([plane])
    per_frame.append(group)
ds.PerFrameFunctionalGroupsSequence = Sequence(per_frame)
ds.PixelData = b"".join(volume[:, :, s].T.astype("<i2").tobytes() for s in frames)
ds.save_as(str(folder / "enhanced"), write_like_original=False)
expected.append("15 enhanced (12)|1|0|0|1|" +
                ",".join(str(list(frames).index(s)) for s in all_slices))
(folder / "notes.txt").write_text("not an image\n")
# Statistics over the same world, to be offered as maps over the series.
stats = ((i - 10.0) * 0.5 + (j - 8.0) * 0.25).astype(np.float32)
nib.save(nib.Nifti1Image(stats, affine), str(nifti / "stats.nii"))

(out / "expected.txt").write_text("\n".join(expected) + "\n")
subprocess.run(["dcm2niix", "-f", "s%s", "-z", "n", "-b", "n", "-o", str(nifti), str(folder)],
               check=True, stdout=subprocess.DEVNULL)
