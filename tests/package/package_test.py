#!/usr/bin/python3
"""The library as an outside program uses it: the release build installed into a temporary prefix,
the README's example (its C++ and CMake blocks, taken from README.md as they stand) configured and
built against that prefix with find_package(quillane), run on a PNG and a JPEG made by Pillow, and
its PNG judged by Pillow against Pillow's own resize of the same picture.

Usage: package_test.py SOURCE_DIR RELEASE_BUILD_DIR
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

import numpy
from PIL import Image


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def run(argv, **kw):
    print("+ " + " ".join(argv), flush=True)
    done = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, **kw)
    if done.returncode != 0:
        print(done.stdout)
        fail("%s exited with %d" % (argv[0], done.returncode))
    return done.stdout


def readme_blocks(readme):
    """The fenced cpp and cmake blocks of the section "Using the library"."""
    text = open(readme, encoding="utf-8").read()
    section = re.search(r"^## Using the library\n(.*?)(?=^## |\Z)", text, re.S | re.M)
    if not section:
        fail("README.md has no section 'Using the library'")
    blocks = dict(re.findall(r"^```(cpp|cmake)\n(.*?)^```", section.group(1), re.S | re.M))
    if set(blocks) != {"cpp", "cmake"}:
        fail("the section 'Using the library' needs one cpp and one cmake block")
    return blocks["cpp"], blocks["cmake"]


def check_exported_paths(cmake_dir, forbidden):
    """No file of the package names a folder of the build machine, and the imported targets'
    properties name no absolute path at all (only the prefix and other targets)."""
    for name in os.listdir(cmake_dir):
        text = open(os.path.join(cmake_dir, name), encoding="utf-8").read()
        for path in forbidden:
            if path in text:
                fail("%s names %s" % (name, path))
        if name.startswith("quillaneTargets"):
            for prop, value in re.findall(r'^\s*(INTERFACE_\w+|IMPORTED_LOCATION\w*) "(.*)"$', text, re.M):
                for item in value.split(";"):
                    item = re.sub(r"^\\?\$<LINK_ONLY:(.*)>$", r"\1", item)
                    if item.startswith("/"):
                        fail("%s: %s carries the absolute path %s" % (name, prop, item))


def make_fixture(path):
    """A smooth picture with soft shapes, so that resamplers of the same kind agree closely."""
    w, h = 240, 160
    y, x = numpy.mgrid[0:h, 0:w].astype(numpy.float64)
    r = 128 + 100 * numpy.sin(x / 23.0) * numpy.cos(y / 31.0)
    g = 255 * x / (w - 1)
    b = 60 + 150 * numpy.exp(-((x - 150) ** 2 + (y - 70) ** 2) / 1800.0)
    rgb = numpy.clip(numpy.dstack([r, g, b]), 0, 255).round().astype(numpy.uint8)
    image = Image.fromarray(rgb, "RGB")
    if path.endswith(".jpg"):
        image.save(path, quality=95)
    else:
        image.save(path)


def main():
    if len(sys.argv) != 3:
        fail(__doc__)
    source, release = (os.path.realpath(a) for a in sys.argv[1:3])
    jobs = str(max(1, (os.cpu_count() or 2)))
    with tempfile.TemporaryDirectory(prefix="pxpackage-") as tmp:
        prefix = os.path.join(tmp, "prefix")
        run(["cmake", "--install", release, "--prefix", prefix])
        cmake_dir = os.path.join(prefix, "lib", "cmake", "quillane")
        if not os.path.isfile(os.path.join(cmake_dir, "quillaneConfig.cmake")):
            fail("no quillaneConfig.cmake under lib/cmake/quillane")
        check_exported_paths(cmake_dir, [source, release])

        # The outside project: a folder of its own, nothing of the source tree on its paths.
        project = os.path.join(tmp, "resize")
        os.makedirs(project)
        cpp, cmake = readme_blocks(os.path.join(source, "README.md"))
        with open(os.path.join(project, "resize.cpp"), "w", encoding="utf-8") as f:
            f.write(cpp)
        with open(os.path.join(project, "CMakeLists.txt"), "w", encoding="utf-8") as f:
            f.write(cmake)
        build = os.path.join(project, "build")
        env = dict(os.environ)
        for var in ("CMAKE_PREFIX_PATH", "CXXFLAGS", "LDFLAGS", "CPATH", "LIBRARY_PATH"):
            env.pop(var, None)
        run(["cmake", "-S", project, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
             "-DCMAKE_PREFIX_PATH=" + prefix], env=env)
        run(["cmake", "--build", build, "-j", jobs], env=env)
        program = os.path.join(build, "resize")

        for fixture in ("picture.png", "picture.jpg"):
            source_picture = os.path.join(tmp, fixture)
            make_fixture(source_picture)
            out = os.path.join(tmp, fixture + ".out.png")
            run([program, source_picture, out, "96"])
            with Image.open(out) as written:
                if written.format != "PNG":
                    fail("%s: wrote %s, not PNG" % (fixture, written.format))
                if written.size != (96, 64):
                    fail("%s: size %s, expected (96, 64)" % (fixture, written.size))
                ours = numpy.asarray(written.convert("RGB"), dtype=numpy.int32)
            with Image.open(source_picture) as original:
                peer = numpy.asarray(original.convert("RGB").resize((96, 64), Image.LANCZOS), dtype=numpy.int32)
            diff = numpy.abs(ours - peer)
            print("%s: mean difference %.2f, largest %d" % (fixture, diff.mean(), diff.max()))
            if diff.mean() > 1.5 or diff.max() > 12:
                fail("%s: the resized picture differs from Pillow's (mean %.2f, largest %d)"
                     % (fixture, diff.mean(), diff.max()))
        # A picture that cannot be read is an error, not an empty PNG.
        bad = os.path.join(tmp, "bad.png")
        with open(bad, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n" + b"\0" * 40)
        done = subprocess.run([program, bad, os.path.join(tmp, "bad.out.png"), "10"],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if done.returncode == 0 or os.path.exists(os.path.join(tmp, "bad.out.png")):
            fail("a broken picture was reported as converted")
    print("package: OK")


if __name__ == "__main__":
    main()
