"""Reads an .xls back with xlrd and prints, as JSON, the format every column carries
(COLINFO) and the default cell format (XF 15): their number format and text wrapping."""
import json
import sys

import xlrd

book = xlrd.open_workbook(sys.argv[1], formatting_info=True)
sheet = book.sheet_by_index(0)


def xf(index):
    x = book.xf_list[index]
    fmt = book.format_map.get(x.format_key)
    return {"index": index, "wrap": x.alignment.text_wrapped, "format_str": fmt.format_str if fmt else None}


columns = {}
for c in range(256):
    info = sheet.colinfo_map.get(c)
    columns[str(c)] = xf(info.xf_index) if info else None
json.dump({"default": xf(15), "columns": columns}, sys.stdout, ensure_ascii=False)
