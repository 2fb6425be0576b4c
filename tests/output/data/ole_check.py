"""Reads the container of an .xls with olefile in strict mode (every incorrect structure
raises) and walks the BIFF records of its Workbook stream; prints what the tests check as JSON."""
import json
import struct
import sys

import olefile

path = sys.argv[1]
out = {"issues": [], "streams": {}, "records": 0, "bof": [], "eof": 0, "tail": 0}
# DEFECT_POTENTIAL: even the defects olefile only suspects raise, not just the incorrect ones.
ole = olefile.OleFileIO(path, raise_defects=olefile.DEFECT_POTENTIAL)
out["issues"] = [str(i) for i in getattr(ole, "parsing_issues", [])]
out["sector_size"] = ole.sector_size
out["dll_version"] = ole.dll_version
for entry in ole.listdir(streams=True, storages=False):
    name = "/".join(entry)
    out["streams"][name] = ole.get_size(name)
if ole.exists("Workbook"):
    data = ole.openstream("Workbook").read()
    out["workbook_read"] = len(data)
    pos = 0
    while pos + 4 <= len(data):
        rid, size = struct.unpack_from("<HH", data, pos)
        if pos + 4 + size > len(data):
            break
        if rid == 0x0809:
            vers, dt = struct.unpack_from("<HH", data, pos + 4)
            out["bof"].append([vers, dt])
        elif rid == 0x000A:
            out["eof"] += 1
        out["records"] += 1
        pos += 4 + size
    out["tail"] = len(data) - pos
ole.close()
print(json.dumps(out))
