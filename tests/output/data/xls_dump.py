"""Reads an .xls back with xlrd (an independent reader) and prints what the tests check as JSON."""
import json
import struct
import sys

import xlrd
from xlrd import compdoc

path = sys.argv[1]
book = xlrd.open_workbook(path, formatting_info=True, on_demand=False)
out = {"sheets": [], "fonts": [], "xfs": []}
for f in book.font_list:
    out["fonts"].append({"name": f.name, "height": f.height, "bold": bool(f.bold), "italic": bool(f.italic),
                         "underline": f.underline_type, "colour": f.colour_index})
for xf in book.xf_list:
    fmt = book.format_map.get(xf.format_key)
    b = xf.border
    a = xf.alignment
    out["xfs"].append({"font": xf.font_index, "format": xf.format_key,
                       "format_str": fmt.format_str if fmt else None,
                       "border": [b.left_line_style, b.right_line_style, b.top_line_style, b.bottom_line_style],
                       "border_colour": [b.left_colour_index, b.right_colour_index, b.top_colour_index, b.bottom_colour_index],
                       "hor": a.hor_align, "vert": a.vert_align, "rot": a.rotation, "wrap": a.text_wrapped,
                       "pattern": xf.background.fill_pattern, "fill": xf.background.pattern_colour_index})
for sh in book.sheets():
    cells = []
    for r in range(sh.nrows):
        for c in range(sh.ncols):
            cell = sh.cell(r, c)
            if cell.ctype == xlrd.XL_CELL_EMPTY:
                continue
            cells.append([r, c, cell.ctype, cell.value, cell.xf_index])
    out["sheets"].append({
        "name": sh.name, "nrows": sh.nrows, "ncols": sh.ncols, "cells": cells,
        "merged": [list(m) for m in sh.merged_cells],
        "colwidths": {str(k): v.width for k, v in sh.colinfo_map.items()},
        "rowheights": {str(k): v.height for k, v in sh.rowinfo_map.items()},
        "breaks": [b[0] for b in sh.horizontal_page_breaks],
    })

# The sheet's page setup, read from the raw stream of the container.
data = open(path, "rb").read()
doc = compdoc.CompDoc(data)
stream = doc.get_named_stream("Workbook")
setup = {}
pos = 0
depth = 0
sheet_no = -1
while pos + 4 <= len(stream):
    rtype, size = struct.unpack_from("<HH", stream, pos)
    body = stream[pos + 4:pos + 4 + size]
    pos += 4 + size
    if rtype == 0x0809:
        kind = struct.unpack_from("<H", body, 2)[0]
        if kind == 0x0010:
            sheet_no += 1
    if sheet_no != 0:
        continue
    if rtype == 0x00A1:
        paper, scale, start, fw, fh, grbit = struct.unpack_from("<6H", body, 0)
        setup.update({"paper": paper, "scale": scale, "portrait": bool(grbit & 2), "no_printer_settings": bool(grbit & 4)})
    elif rtype in (0x0026, 0x0027, 0x0028, 0x0029):
        key = {0x0026: "left", 0x0027: "right", 0x0028: "top", 0x0029: "bottom"}[rtype]
        setup[key] = struct.unpack_from("<d", body, 0)[0]
    elif rtype == 0x001D:
        setup["active"] = list(struct.unpack_from("<HH", body, 1))
    elif rtype == 0x000A:
        break
out["setup"] = setup
json.dump(out, sys.stdout, ensure_ascii=False)
