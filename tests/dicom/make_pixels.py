#!/usr/bin/env python3
"""Writes the DICOM pixel test files into a folder with what pydicom decodes
from them: expected.txt has a line per file, "name kind frames rows columns
tolerance", kind grey (values after rescale, float32) or rgb (8-bit RGB), and
name.values holds the values, frame after frame, little-endian.

Lossless files are compared with pydicom's decoding of their uncompressed
originals; lossy ones with pydicom's own decoding (Pillow for JPEG where it
can, GDCM for 12-bit JPEG), within the codec's error. Multi-frame grey files
are written with pydicom and compressed with GDCM's gdcmconv. hostile.txt
names files that must be refused and a word of the reason."""

import shutil
import struct
import subprocess
import sys
import zlib
from pathlib import Path

import numpy as np
import pydicom
from pydicom.dataset import FileDataset, FileMetaDataset
from pydicom.encaps import encapsulate, generate_pixel_data_frame
from pydicom.pixel_data_handlers import gdcm_handler, numpy_handler, pillow_handler, rle_handler
from pydicom.pixel_data_handlers.util import convert_color_space
from pydicom.uid import ExplicitVRLittleEndian, generate_uid

out = Path(sys.argv[1])
out.mkdir(parents=True, exist_ok=True)
tests = Path(pydicom.__file__).parent / "data" / "test_files"
lines = []


def decoded(path, handlers):
    pydicom.config.pixel_data_handlers = handlers
    ds = pydicom.dcmread(str(path))
    return ds, ds.pixel_array


def record(name, kind, array, frames, tolerance):
    ds = pydicom.dcmread(str(out / name), stop_before_pixels=True)
    rows, cols = int(ds.Rows), int(ds.Columns)
    if kind == "grey":
        data = np.asarray(array, dtype=np.float64)
        slope = float(getattr(ds, "RescaleSlope", 1) or 1)
        inter = float(getattr(ds, "RescaleIntercept", 0) or 0)
        data = (data * slope + inter).astype("<f4")
    else:
        data = np.asarray(array).astype(np.uint8)
    data = data.reshape(frames, rows, cols, *([3] if kind == "rgb" else []))
    (out / (name + ".values")).write_bytes(data.tobytes())
    lines.append("%s %s %d %d %d %g" % (name, kind, frames, rows, cols, tolerance))


def copy(name):
    shutil.copy(tests / name, out / name)


# Grey files, lossless, against the uncompressed original.
_, original = decoded(tests / "MR_small.dcm", [numpy_handler])
for name in ["MR_small.dcm", "MR_small_bigendian.dcm", "MR_small_implicit.dcm",
             "MR_small_expb.dcm", "MR_small_RLE.dcm", "MR_small_jpeg_ls_lossless.dcm",
             "MR_small_jp2klossless.dcm"]:
    copy(name)
    record(name, "grey", original, 1, 0)
_, ct = decoded(tests / "CT_small.dcm", [numpy_handler])
copy("CT_small.dcm")
record("CT_small.dcm", "grey", ct, 1, 0)
# Deflated, 8 bits.
_, deflated = decoded(tests / "image_dfl.dcm", [numpy_handler])
copy("image_dfl.dcm")
record("image_dfl.dcm", "grey", deflated, 1, 0)
# 32-bit multi-frame, native and RLE.
_, dose = decoded(tests / "rtdose.dcm", [numpy_handler])
for name in ["rtdose.dcm", "rtdose_expb.dcm", "rtdose_rle.dcm"]:
    copy(name)
    record(name, "grey", dose, 15, 0)

# Lossy grey files: pydicom through GDCM, the only decoder it has for them.
for name in ["JPEG2000.dcm", "693_J2KI.dcm", "JPGExtended.dcm"]:
    copy(name)
    _, a = decoded(tests / name, [gdcm_handler])
    record(name, "grey", a, 1, 0)


def rgb(ds, a):
    a = np.asarray(a)
    bits = int(ds.BitsStored)
    if bits > 8:
        a = a >> (bits - 8)
    return a


# Colour, lossless: RLE (pydicom's own decoder) and native.
for name, frames in [("SC_rgb_rle.dcm", 1), ("SC_rgb_rle_2frame.dcm", 2),
                     ("SC_rgb_rle_16bit.dcm", 1), ("SC_rgb_rle_16bit_2frame.dcm", 2),
                     ("SC_rgb_small_odd.dcm", 1), ("ExplVR_BigEnd.dcm", 1),
                     ("SC_rgb_jpeg_dcmd.dcm", 1)]:
    copy(name)
    ds, a = decoded(tests / name, [numpy_handler, rle_handler])
    record(name, "rgb", rgb(ds, a), frames, 0)
# YBR_FULL_422 native: pydicom gives YCbCr, turned to RGB as the standard says.
copy("SC_ybr_full_422_uncompressed.dcm")
ds, a = decoded(tests / "SC_ybr_full_422_uncompressed.dcm", [numpy_handler])
record("SC_ybr_full_422_uncompressed.dcm", "rgb", convert_color_space(a, "YBR_FULL", "RGB"),
       1, 2)
# JPEG lossless and JPEG 2000 colour (RGB, YBR_RCT) against the RLE original.
ds, red = decoded(tests / "SC_rgb_rle.dcm", [rle_handler])
for name in ["SC_rgb_jpeg_gdcm.dcm", "SC_rgb_gdcm_KY.dcm"]:
    copy(name)
    record(name, "rgb", red, 1, 0)
copy("GDCMJ2K_TextGBR.dcm")
_, a = decoded(tests / "GDCMJ2K_TextGBR.dcm", [gdcm_handler])
record("GDCMJ2K_TextGBR.dcm", "rgb", a, 1, 0)
# JPEG baseline colour through Pillow (libjpeg-turbo), within the codec's
# error. pydicom leaves the components as the stream holds them: YCbCr, except
# in the one stream whose Adobe marker says RGB; the standard's equations turn
# them to RGB.
for name, ycbcr in [("SC_rgb_jpeg_dcmtk.dcm", True), ("SC_rgb_dcmtk_+eb+cy+np.dcm", True),
                    ("SC_rgb_dcmtk_+eb+cy+s2.dcm", True), ("SC_rgb_dcmtk_+eb+cr.dcm", False),
                    ("SC_rgb_jpeg_lossy_gdcm.dcm", True), ("SC_rgb_small_odd_jpeg.dcm", True)]:
    copy(name)
    ds, a = decoded(tests / name, [pillow_handler])
    if ycbcr:
        a = convert_color_space(a, "YBR_FULL", "RGB")
    record(name, "rgb", a, 1, 6)


# Multi-frame grey images written here, compressed by gdcmconv.
def write(name, frames, bits=16, signed=True, stored=None, slope=None, inter=None,
          photometric="MONOCHROME2", raw=None):
    meta = FileMetaDataset()
    meta.MediaStorageSOPClassUID = "1.2.840.10008.5.1.4.1.1.4.1"
    meta.MediaStorageSOPInstanceUID = generate_uid()
    meta.TransferSyntaxUID = ExplicitVRLittleEndian
    ds = FileDataset(str(out / name), {}, file_meta=meta, preamble=b"\0" * 128)
    ds.is_little_endian = True
    ds.is_implicit_VR = False
    ds.SOPClassUID = meta.MediaStorageSOPClassUID
    ds.SOPInstanceUID = meta.MediaStorageSOPInstanceUID
    ds.Modality = "MR"
    n, rows, cols = frames.shape
    ds.Rows, ds.Columns = rows, cols
    if n > 1:
        ds.NumberOfFrames = n
    ds.SamplesPerPixel = 1
    ds.PhotometricInterpretation = photometric
    ds.BitsAllocated = bits
    ds.BitsStored = stored or bits
    ds.HighBit = (stored or bits) - 1
    ds.PixelRepresentation = 1 if signed else 0
    if slope is not None:
        ds.RescaleSlope = slope
        ds.RescaleIntercept = inter
    dtype = {(8, False): "u1", (16, False): "<u2", (16, True): "<i2"}[(bits, signed)]
    ds.PixelData = (raw if raw is not None else frames).astype(dtype).tobytes()
    ds.save_as(str(out / name), write_like_original=False)


rng = np.random.default_rng(25)
y, x = np.mgrid[0:48, 0:40]
frames = np.stack([(x * 37 + y * 11 + 300 * f) % 4000 - 1000 for f in range(5)]).astype(np.int16)
frames[:, 5:9, 5:9] = rng.integers(-2000, 3000, (5, 4, 4))
write("multi16.dcm", frames, slope="0.5", inter="-20")
record("multi16.dcm", "grey", frames, 5, 0)
for flag, name in [("--rle", "multi16_rle.dcm"), ("--jpegls", "multi16_jpegls.dcm"),
                   ("--j2k", "multi16_j2k.dcm"), ("--jpeg", "multi16_jpeg.dcm"),
                   ("--deflated", "multi16_deflated.dcm")]:
    subprocess.run(["gdcmconv", flag, str(out / "multi16.dcm"), str(out / name)], check=True)
    record(name, "grey", frames, 5, 0)
# JPEG-LS near-lossless: within its allowed error.
subprocess.run(["gdcmconv", "--jpegls", "--allowed-error", "3", str(out / "multi16.dcm"),
                str(out / "multi16_jpegls_near.dcm")], check=True)
record("multi16_jpegls_near.dcm", "grey", frames, 5, 3 * 0.5)

# 8 bits unsigned, one frame, in JPEG lossless split over fragments.
eight = ((x * 5 + y * 3) % 256).astype(np.uint8)[None]
write("grey8.dcm", eight, bits=8, signed=False)
record("grey8.dcm", "grey", eight, 1, 0)
subprocess.run(["gdcmconv", "--jpeg", str(out / "grey8.dcm"), str(out / "grey8_jpeg.dcm")],
               check=True)
record("grey8_jpeg.dcm", "grey", eight, 1, 0)
# Seven bits stored of the stream's eight: the top bit is not the value's.
ds = pydicom.dcmread(str(out / "grey8_jpeg.dcm"))
ds.BitsStored, ds.HighBit = 7, 6
ds.save_as(str(out / "stored7_jpeg.dcm"))
record("stored7_jpeg.dcm", "grey", eight & 0x7F, 1, 0)
# Frames of five fragments each, with and without an offset table.
subprocess.run(["gdcmconv", "--jpegls", str(out / "multi16.dcm"), str(out / "fragments.dcm")],
               check=True)
ds = pydicom.dcmread(str(out / "fragments.dcm"))
streams = list(generate_pixel_data_frame(ds.PixelData, 5))
for name, table in [("fragments_table.dcm", True), ("fragments_notable.dcm", False)]:
    ds.PixelData = encapsulate(streams, fragments_per_frame=5, has_bot=table)
    ds.save_as(str(out / name))
    record(name, "grey", frames, 5, 0)

# 12 bits stored of 16, signed, with junk in the bits above: masked and
# sign-extended.
twelve = ((x * 97 + y * 13) % 4096 - 2048).astype(np.int16)[None]
junk = (twelve.astype(np.int32) & 0x0FFF) | 0x5000
write("stored12.dcm", twelve, bits=16, signed=True, stored=12, raw=junk.astype("<u2"))
record("stored12.dcm", "grey", twelve, 1, 0)
# 16 bits unsigned, values above 32767 among them.
bright = ((x * 1500 + y * 700) % 60000).astype(np.uint16)[None]
write("bright16.dcm", bright, bits=16, signed=False)
record("bright16.dcm", "grey", bright, 1, 0)
# MONOCHROME1 keeps its values; the viewer inverts.
write("mono1.dcm", eight, bits=8, signed=False, photometric="MONOCHROME1")
record("mono1.dcm", "grey", eight, 1, 0)

# Colour written here, and compressed without loss by gdcmconv.
def write_rgb(name, pixels, planar):
    write(name, pixels[None, :, :, 0], bits=8, signed=False)
    ds = pydicom.dcmread(str(out / name))
    ds.SamplesPerPixel = 3
    ds.PhotometricInterpretation = "RGB"
    ds.PlanarConfiguration = planar
    ds.PixelData = (pixels.transpose(2, 0, 1) if planar else pixels).astype("u1").tobytes()
    ds.save_as(str(out / name))


colour = np.stack([(x * 6) % 256, (y * 5) % 256, (x * y) % 256], axis=-1).astype(np.uint8)
write_rgb("colour.dcm", colour, 0)
record("colour.dcm", "rgb", colour, 1, 0)
write_rgb("colour_planar.dcm", colour, 1)
record("colour_planar.dcm", "rgb", colour, 1, 0)
for flag, name in [("--rle", "colour_rle.dcm"), ("--j2k", "colour_j2k.dcm"),
                   ("--jpegls", "colour_jpegls.dcm"), ("--jpeg", "colour_jpeg.dcm")]:
    subprocess.run(["gdcmconv", flag, str(out / "colour.dcm"), str(out / name)], check=True)
    record(name, "rgb", colour, 1, 0)

(out / "expected.txt").write_text("\n".join(lines) + "\n")

# Hostile files: each must be refused with a reason holding the word given.
hostile = []


def rewrite(source, name, change):
    ds = pydicom.dcmread(str(out / source) if (out / source).exists() else str(tests / source))
    change(ds)
    ds.save_as(str(out / name))


def truncate_stream(source, name, keep, tail=b""):
    def change(ds):
        stream = b"".join(generate_pixel_data_frame(ds.PixelData))
        ds.PixelData = encapsulate([stream[:keep(len(stream))] + tail])
    rewrite(source, name, change)


for source, name, reason in [("MR_small_jpeg_ls_lossless.dcm", "cut_jpegls.dcm", "ends early"),
                             ("MR_small_jp2klossless.dcm", "cut_j2k.dcm", "decoded"),
                             ("MR_small_RLE.dcm", "cut_rle.dcm", "ends early")]:
    truncate_stream(source, name, lambda n: n // 2)
    hostile.append((name, reason))
# Cut, with the end marker put back.
truncate_stream("MR_small_jpeg_ls_lossless.dcm", "cut_jpegls_end.dcm",
                lambda n: n // 2, b"\xff\xd9")
hostile.append(("cut_jpegls_end.dcm", "decoded"))
truncate_stream("MR_small_RLE.dcm", "rle_header_only.dcm", lambda n: 40)
hostile.append(("rle_header_only.dcm", "header"))
truncate_stream("MR_small_jp2klossless.dcm", "j2k_header_only.dcm", lambda n: 30)
hostile.append(("j2k_header_only.dcm", "code stream"))


def big_siz(ds):
    # The code stream claims 8000 x 8000 pixels, the header 64 x 64.
    stream = bytearray(b"".join(generate_pixel_data_frame(ds.PixelData)))
    stream[8:12] = (8000).to_bytes(4, "big")
    stream[12:16] = (8000).to_bytes(4, "big")
    ds.PixelData = encapsulate([bytes(stream)])


rewrite("MR_small_jp2klossless.dcm", "j2k_bomb.dcm", big_siz)
hostile.append(("j2k_bomb.dcm", "8000 × 8000"))


def ls_claims_more(ds):
    stream = bytearray(b"".join(generate_pixel_data_frame(ds.PixelData)))
    at = stream.find(b"\xff\xf7")
    stream[at + 5:at + 7] = (30000).to_bytes(2, "big")
    stream[at + 7:at + 9] = (30000).to_bytes(2, "big")
    ds.PixelData = encapsulate([bytes(stream)])


rewrite("MR_small_jpeg_ls_lossless.dcm", "jpegls_bomb.dcm", ls_claims_more)
hostile.append(("jpegls_bomb.dcm", "30000 × 30000"))


def rle_segments(ds):
    stream = bytearray(b"".join(generate_pixel_data_frame(ds.PixelData)))
    stream[0:4] = (15).to_bytes(4, "little")
    ds.PixelData = encapsulate([bytes(stream)])


rewrite("MR_small_RLE.dcm", "rle_segments.dcm", rle_segments)
hostile.append(("rle_segments.dcm", "15 segments"))
rewrite("MR_small.dcm", "lying_frames.dcm", lambda ds: setattr(ds, "NumberOfFrames", 10))
hostile.append(("lying_frames.dcm", "1 of the 10 frames"))
rewrite("multi16.dcm", "lying_frames_native.dcm", lambda ds: setattr(ds, "NumberOfFrames", 9))
hostile.append(("lying_frames_native.dcm", "5 of the 9 frames"))
rewrite("multi16_rle.dcm", "lying_frames_rle.dcm", lambda ds: setattr(ds, "NumberOfFrames", 40))
hostile.append(("lying_frames_rle.dcm", "5 of the 40 frames"))
rewrite("MR_small.dcm", "huge_claim.dcm",
        lambda ds: (setattr(ds, "Rows", 65535), setattr(ds, "Columns", 65535)))
hostile.append(("huge_claim.dcm", "65535 × 65535"))
rewrite("multi16_jpegls.dcm", "many_frames.dcm",
        lambda ds: (setattr(ds, "Rows", 8192), setattr(ds, "Columns", 8192),
                    setattr(ds, "NumberOfFrames", 100)))
hostile.append(("many_frames.dcm", "more than the viewer holds"))
rewrite("MR_small.dcm", "palette.dcm",
        lambda ds: setattr(ds, "PhotometricInterpretation", "PALETTE COLOR"))
hostile.append(("palette.dcm", "palette"))
for source, name in [("multi16_jpeg.dcm", "jpeg_32bits.dcm"),
                     ("multi16_jpegls.dcm", "jpegls_32bits.dcm")]:
    rewrite(source, name, lambda ds: (setattr(ds, "BitsAllocated", 32),
                                      setattr(ds, "BitsStored", 24), setattr(ds, "HighBit", 23)))
    hostile.append((name, "16-bit samples in 32 bits allocated"))
copy("liver_1frame.dcm")
hostile.append(("liver_1frame.dcm", "1 bits"))
copy("MR_truncated.dcm")
hostile.append(("MR_truncated.dcm", "bytes of the image"))


def deflated_bomb():
    # A deflated data set with 200 MB of zeros before its image: the header
    # alone inflates past what any header needs.
    source = (out / "multi16_deflated.dcm").read_bytes()
    ds = pydicom.dcmread(str(out / "multi16.dcm"))
    ds.add_new(0x00291010, "OB", bytes(200 << 20))
    ds.file_meta.TransferSyntaxUID = "1.2.840.10008.1.2.1.99"
    ds.save_as(str(out / "deflate_bomb.dcm"), write_like_original=False)
    return source


deflated_bomb()
hostile.append(("deflate_bomb.dcm", "inflates past"))
def edit_stream(source, name, edit):
    def change(ds):
        ds.PixelData = encapsulate([edit(b"".join(generate_pixel_data_frame(ds.PixelData)))])
    rewrite(source, name, change)


def patch(at, value):
    return lambda s: s[:s.find(at) + len(at)] + value + s[s.find(at) + len(at) + len(value):]


# Headers on which GDCM's codecs would abort the process or read past the stream.
for source, name, edit, reason in [
        ("colour_jpeg.dcm", "jpeg_extraneous.dcm",
         lambda s: s.replace(b"\xff\xda", bytes(29) + b"\xff\xda", 1), "between its markers"),
        ("colour_jpeg.dcm", "jpeg_adobe.dcm", patch(b"Adobe\0\x64\0\0\0\0", b"\x05"),
         "colour transform 5"),
        ("SC_rgb_jpeg_dcmtk.dcm", "jpeg_jfif2.dcm", patch(b"JFIF\0", b"\x02"), "JFIF"),
        # GDCM walks JPEG 2000 markers trusting their lengths.
        ("MR_small_jp2klossless.dcm", "j2k_long_segment.dcm", patch(b"\xff\x5c", b"\xff\xf0"),
         "marker segment (0xff5c)")]:
    edit_stream(source, name, edit)
    hostile.append((name, reason))


def jp2_palette(stream):
    # The grey code stream in a JP2 file whose palette makes three components of one.
    def box(kind, payload):
        return struct.pack(">I", 8 + len(payload)) + kind + payload
    header = (box(b"ihdr", struct.pack(">IIHBBBB", 64, 64, 1, 0x8F, 7, 0, 0))
              + box(b"colr", bytes([1, 0, 0]) + struct.pack(">I", 17))
              + box(b"pclr", struct.pack(">HB", 2, 3) + bytes([7, 7, 7]) + bytes(range(6)))
              + box(b"cmap", b"".join(struct.pack(">HBB", 0, 1, i) for i in range(3))))
    data = (b"\0\0\0\x0cjP  \r\n\x87\n" + box(b"ftyp", b"jp2 \0\0\0\0jp2 ")
            + box(b"jp2h", header) + box(b"jp2c", stream))
    return data + bytes(len(data) % 2)


edit_stream("MR_small_jp2klossless.dcm", "jp2_palette.dcm", jp2_palette)
hostile.append(("jp2_palette.dcm", "colour palette"))
# A compressed syntax nobody decodes here.
rewrite("MR_small_RLE.dcm", "mpeg.dcm",
        lambda ds: setattr(ds.file_meta, "TransferSyntaxUID", "1.2.840.10008.1.2.4.100"))
hostile.append(("mpeg.dcm", "MPEG-2"))

(out / "hostile.txt").write_text("".join("%s\t%s\n" % h for h in hostile))
