"""Builds the DICOM test files with pydicom and reports what pydicom reads from files.

  dataset <variant> <out.dcm>      variant: implicit (no preamble), implicitmeta, explicit, big
  list <in.dcm> <out.json>         every element: group, element, VR, value (nested items)
  pixels <case> <out.dcm> ...      an uncompressed picture of each named case
  samples <in.dcm> <out.raw> ...   pixel_array of frame 0 as little-endian int32 values, per file
  frames <count> <out.dcm>         a multi-frame 8-bit file, frame i holding (i * 20 + 3x + y) mod 256
  clean <in.dcm>                   dcmdump parses the file without a warning or error (else exit 1)
  tags <in.dcm> <out.json>         a few attributes as pydicom reads them
"""
import json
import struct
import sys

import numpy as np
import pydicom
from pydicom.dataset import Dataset, FileDataset, FileMetaDataset
from pydicom.sequence import Sequence
from pydicom.uid import ExplicitVRLittleEndian, ExplicitVRBigEndian, ImplicitVRLittleEndian, SecondaryCaptureImageStorage


def base(syntax):
    meta = FileMetaDataset()
    meta.MediaStorageSOPClassUID = SecondaryCaptureImageStorage
    meta.MediaStorageSOPInstanceUID = "1.2.3.4.5.6.7"
    meta.TransferSyntaxUID = syntax
    ds = FileDataset("x", {}, file_meta=meta, preamble=b"\0" * 128)
    ds.is_little_endian = syntax != ExplicitVRBigEndian
    ds.is_implicit_VR = syntax == ImplicitVRLittleEndian
    ds.SOPClassUID = SecondaryCaptureImageStorage
    ds.SOPInstanceUID = "1.2.3.4.5.6.7"
    return ds


def dataset(variant, out):
    syntax = {"implicit": ImplicitVRLittleEndian, "implicitmeta": ImplicitVRLittleEndian, "explicit": ExplicitVRLittleEndian, "big": ExplicitVRBigEndian}[variant]
    ds = base(syntax)
    ds.PatientName = "Doe^John"
    ds.PatientID = "12345"
    ds.StudyDate = "20240131"
    ds.Modality = "OT"
    ds.WindowCenter = "40\\400"
    ds.WindowWidth = "400"
    ds.RescaleIntercept = "-1024"
    ds.RescaleSlope = "1"
    ds.RecommendedDisplayFrameRateInFloat = 12.5
    ds.add_new(0x00189087, "FD", 1000.25)
    ds.add_new(0x00186020, "SL", -70000)
    ds.add_new(0x00081161, "UL", [7, 70000])
    ds.add_new(0x00280009, "AT", [0x00181063, 0x00181065])
    inner = Dataset()
    inner.CodeValue = "121311"
    inner.CodingSchemeDesignator = "DCM"
    item = Dataset()
    item.ReferencedSOPClassUID = SecondaryCaptureImageStorage
    item.ReferencedSOPInstanceUID = "1.2.3.9"
    item.PurposeOfReferenceCodeSequence = Sequence([inner])
    item2 = Dataset()
    item2.ReferencedSOPInstanceUID = "1.2.3.10"
    ds.ReferencedImageSequence = Sequence([item, item2])
    und = Dataset()
    und.CodeMeaning = "Open ended"
    ds.ConceptNameCodeSequence = Sequence([und])
    ds.ConceptNameCodeSequence.is_undefined_length = True
    und.is_undefined_length_sequence_item = True
    ds.add_new(0x00090010, "LO", "ACME")
    ds.add_new(0x00091010, "LO", "vendor text")
    priv = Dataset()
    priv.add_new(0x00091012, "SH", "inside")
    ds.add_new(0x00091011, "SQ", Sequence([priv]))
    ds[0x00091011].value.is_undefined_length = True
    priv.is_undefined_length_sequence_item = True
    ds.SamplesPerPixel = 1
    ds.PhotometricInterpretation = "MONOCHROME2"
    ds.Rows = 2
    ds.Columns = 3
    ds.BitsAllocated = 16
    ds.BitsStored = 16
    ds.HighBit = 15
    ds.PixelRepresentation = 0
    ds.NumberOfFrames = "12"
    ds.PixelData = np.arange(2 * 3 * 12, dtype="<u2").astype(">u2" if variant == "big" else "<u2").tobytes()
    if variant == "implicit":
        ds.preamble = None
        del ds.file_meta
        pydicom.dcmwrite(out, ds, write_like_original=True)
    else:
        ds.save_as(out, write_like_original=False)


def listing(ds, big):
    out = []
    for elem in ds:
        if elem.tag == 0x7FE00010:
            continue
        entry = {"g": elem.tag.group, "e": elem.tag.element, "vr": elem.VR}
        if elem.VR == "SQ":
            entry["items"] = [listing(i, big) for i in elem.value]
        elif elem.VR in ("OB", "OW", "UN", "OF"):
            raw = bytes(elem.value)
            if big and elem.VR == "OW":
                raw = b"".join(raw[i:i + 2][::-1] for i in range(0, len(raw) - 1, 2))
            entry["hex"] = raw.hex()
        elif elem.VR == "AT":
            vals = elem.value if elem.VM > 1 else [elem.value]
            entry["nums"] = [x for t in vals for x in (int(t) >> 16, int(t) & 0xFFFF)]
        elif elem.VR in ("US", "SS", "UL", "SL", "FL", "FD"):
            vals = elem.value if elem.VM > 1 else [elem.value]
            entry["nums"] = [float(v) for v in vals]
        else:
            v = elem.value
            if isinstance(v, (list, pydicom.multival.MultiValue)):
                v = "\\".join(str(x) for x in v)
            entry["text"] = str(v if v is not None else "")
        out.append(entry)
    return out


def pixels(case, out):
    # case: <syntax>_<kind>; syntax le or be; kind in the table below.
    syntax, kind = case.split("_", 1)
    ds = base(ExplicitVRBigEndian if syntax == "be" else ExplicitVRLittleEndian)
    w, h = 40, 33
    rng = np.random.default_rng(7)
    ds.Rows, ds.Columns = h, w
    ds.PixelRepresentation = 0
    ds.PlanarConfiguration = 0
    spp = 1
    photometric = "MONOCHROME2"
    if kind in ("8", "mono1"):
        bits, alloc, arr = 8, 8, rng.integers(0, 256, (h, w)).astype(np.uint8)
        if kind == "mono1":
            photometric = "MONOCHROME1"
    elif kind == "12in16":
        bits, alloc, arr = 12, 16, rng.integers(0, 4096, (h, w)).astype(np.uint16)
    elif kind == "16u":
        bits, alloc, arr = 16, 16, rng.integers(0, 65536, (h, w)).astype(np.uint16)
    elif kind == "16s":
        bits, alloc, arr = 16, 16, rng.integers(-32768, 32768, (h, w)).astype(np.int16)
        ds.PixelRepresentation = 1
    elif kind in ("rgb0", "rgb1", "ybr"):
        spp, bits, alloc = 3, 8, 8
        arr = rng.integers(0, 256, (h, w, 3)).astype(np.uint8)
        photometric = "YBR_FULL" if kind == "ybr" else "RGB"
        ds.PlanarConfiguration = 1 if kind == "rgb1" else 0
    elif kind in ("pal8", "pal16"):
        bits = alloc = 8 if kind == "pal8" else 16
        n = 256 if kind == "pal8" else 65536
        arr = rng.integers(0, n, (h, w)).astype(np.uint8 if n == 256 else np.uint16)
        photometric = "PALETTE COLOR"
        for i, name in enumerate(("Red", "Green", "Blue")):
            lut = rng.integers(0, 65536, n).astype(np.uint16)
            setattr(ds, name + "PaletteColorLookupTableDescriptor", [n if n < 65536 else 0, 0, 16])
            setattr(ds, name + "PaletteColorLookupTableData", lut.astype(">u2" if syntax == "be" else "<u2").tobytes())
    else:
        raise SystemExit("unknown case " + kind)
    ds.SamplesPerPixel = spp
    ds.PhotometricInterpretation = photometric
    ds.BitsAllocated, ds.BitsStored, ds.HighBit = alloc, bits, bits - 1
    data = arr
    if spp == 3 and ds.PlanarConfiguration == 1:
        data = np.ascontiguousarray(arr.transpose(2, 0, 1))
    if alloc == 16:
        data = data.astype((">" if syntax == "be" else "<") + ("i2" if ds.PixelRepresentation else "u2"))
    raw = data.tobytes()
    if len(raw) % 2:
        raw += b"\0"
    ds.PixelData = raw
    ds["PixelData"].VR = "OW" if alloc == 16 else "OB"
    ds.save_as(out, write_like_original=False)


def samples(path, out):
    ds = pydicom.dcmread(path)
    arr = ds.pixel_array
    if getattr(ds, "NumberOfFrames", 1) and int(getattr(ds, "NumberOfFrames", 1)) > 1:
        arr = arr[0]
    if ds.PhotometricInterpretation == "YBR_FULL":
        from pydicom.pixel_data_handlers.util import convert_color_space
        arr = convert_color_space(arr, "YBR_FULL", "RGB")
    if ds.PhotometricInterpretation == "PALETTE COLOR":
        from pydicom.pixel_data_handlers.util import apply_color_lut
        arr = apply_color_lut(arr, ds)
    with open(out, "wb") as f:
        f.write(np.asarray(arr).astype("<i4").tobytes())


def frames(count, out):
    ds = base(ExplicitVRLittleEndian)
    w, h = 16, 8
    ds.Rows, ds.Columns = h, w
    ds.SamplesPerPixel = 1
    ds.PhotometricInterpretation = "MONOCHROME2"
    ds.BitsAllocated = ds.BitsStored = 8
    ds.HighBit = 7
    ds.PixelRepresentation = 0
    ds.NumberOfFrames = str(count)
    arr = np.array([[[(i * 20 + x * 3 + y) % 256 for x in range(w)] for y in range(h)] for i in range(count)], np.uint8)
    ds.PixelData = arr.tobytes()
    ds.save_as(out, write_like_original=False)


if __name__ == "__main__":
    cmd = sys.argv[1]
    if cmd == "dataset":
        dataset(sys.argv[2], sys.argv[3])
    elif cmd == "list":
        ds = pydicom.dcmread(sys.argv[2], force=True)
        big = not ds.is_little_endian
        with open(sys.argv[3], "w") as f:
            json.dump(listing(ds, big), f)
    elif cmd == "pixels":
        for i in range(2, len(sys.argv) - 1, 2):
            pixels(sys.argv[i], sys.argv[i + 1])
    elif cmd == "samples":
        for i in range(2, len(sys.argv) - 1, 2):
            samples(sys.argv[i], sys.argv[i + 1])
    elif cmd == "clean":
        import subprocess
        r = subprocess.run(["dcmdump", sys.argv[2]], capture_output=True, text=True)
        sys.stdout.write(r.stderr)
        sys.exit(1 if r.returncode or r.stderr.strip() else 0)
    elif cmd == "tags":
        ds = pydicom.dcmread(sys.argv[2])
        out = {k: str(getattr(ds, k, "")) for k in ("SOPClassUID", "PhotometricInterpretation", "Rows", "Columns",
               "BitsAllocated", "SamplesPerPixel", "NumberOfFrames", "PatientName", "WindowCenter", "RescaleSlope")}
        out["TransferSyntaxUID"] = str(ds.file_meta.TransferSyntaxUID)
        with open(sys.argv[3], "w") as f:
            json.dump(out, f)
    elif cmd == "frames":
        frames(int(sys.argv[2]), sys.argv[3])
