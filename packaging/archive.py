"""Writes a reproducible archive of a folder: entries sorted by path, every
timestamp set to one given time, no owner names, permissions normalised to
0755 for folders and executables and 0644 for other files.

    archive.py tar|zip FOLDER OUT EPOCH
"""
import gzip
import io
import os
import sys
import tarfile
import time
import zipfile


def entries(folder):
    """Every folder and file under `folder`, as (relative path, is_dir, executable), sorted."""
    found = []
    for here, dirs, files in os.walk(folder):
        for name in dirs + files:
            full = os.path.join(here, name)
            rel = os.path.relpath(full, folder).replace(os.sep, "/")
            is_dir = os.path.isdir(full)
            found.append((rel, is_dir, is_dir or os.access(full, os.X_OK)))
    return sorted(found)


def write_tar(folder, out, epoch):
    raw = io.BytesIO()
    with tarfile.open(fileobj=raw, mode="w", format=tarfile.PAX_FORMAT) as tar:
        for rel, is_dir, executable in entries(folder):
            info = tarfile.TarInfo(rel + ("/" if is_dir else ""))
            info.mtime = epoch
            info.uid = info.gid = 0
            info.uname = info.gname = ""
            info.mode = 0o755 if executable else 0o644
            if is_dir:
                info.type = tarfile.DIRTYPE
                tar.addfile(info)
            else:
                with open(os.path.join(folder, rel), "rb") as f:
                    data = f.read()
                info.size = len(data)
                tar.addfile(info, io.BytesIO(data))
    with open(out, "wb") as f:
        with gzip.GzipFile(filename="", mode="wb", fileobj=f, mtime=0, compresslevel=9) as gz:
            gz.write(raw.getvalue())


def write_zip(folder, out, epoch):
    # Zip times are local-time fields without a zone, from 1980 on.
    stamp = time.gmtime(max(epoch, 315532800))[:6]
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as zf:
        for rel, is_dir, executable in entries(folder):
            info = zipfile.ZipInfo(rel + ("/" if is_dir else ""), date_time=stamp)
            info.create_system = 3  # Unix, so that the permissions below are read
            mode = (0o40755 if is_dir else (0o100755 if executable else 0o100644))
            info.external_attr = (mode << 16) | (0x10 if is_dir else 0)
            if is_dir:
                zf.writestr(info, b"")
            else:
                info.compress_type = zipfile.ZIP_DEFLATED
                with open(os.path.join(folder, rel), "rb") as f:
                    zf.writestr(info, f.read(), compresslevel=9)


def main():
    if len(sys.argv) != 5 or sys.argv[1] not in ("tar", "zip"):
        sys.exit("usage: archive.py tar|zip FOLDER OUT EPOCH")
    kind, folder, out, epoch = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
    (write_tar if kind == "tar" else write_zip)(folder, out, epoch)


if __name__ == "__main__":
    main()
