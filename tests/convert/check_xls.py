#!/usr/bin/python3
"""Reads a workbook written by the program with xlrd and checks its layout cell by cell.
Arguments: file, title (A1), homepage (A2), rights notice (C1). Exit 0 when all holds."""
import sys
import xlrd

path, title, url, rights = sys.argv[1:5]
book = xlrd.open_workbook(path, formatting_info=True)
sheet = book.sheet_by_index(0)
failures = []


def check(what, got, want):
    if got != want:
        failures.append(f"{what}: {got!r} != {want!r}")


def font(r, c):
    return book.font_list[book.xf_list[sheet.cell_xf_index(r, c)].font_index]


check("A1", sheet.cell_value(0, 0), title)
check("A2", sheet.cell_value(1, 0), url)
check("A2 size", font(1, 0).height, 8 * 20)
check("C1", sheet.cell_value(0, 2), rights)
check("C1 size", font(0, 2).height, 8 * 20)
check("A4", sheet.cell_value(3, 0), "試験 comment")
check("H1 filled", sheet.cell_value(0, 7) != "", True)
check("H1:K1 merged", (0, 1, 7, 11) in sheet.merged_cells, True)
for r in (0, 1):
    for c in range(7, 11):
        check(f"right-aligned {r},{c}", book.xf_list[sheet.cell_xf_index(r, c)].alignment.hor_align, 3)
headers = ["経過時間 [ms]", "CAN ID", "DLC"] + [f"D{k}" for k in range(1, 9)]
for c, h in enumerate(headers):
    check(f"header {c}", sheet.cell_value(5, c), h)
    xf = book.xf_list[sheet.cell_xf_index(5, c)]
    # Excel's colour index 36 is entry 36 + 7 of the file's palette.
    check(f"header fill {c}", xf.background.pattern_colour_index, 36 + 7)
    check(f"header colour {c}", book.colour_map[xf.background.pattern_colour_index],
          (255, 255, 153))
    b = xf.border
    check(f"header borders {c}", (b.top_line_style, b.bottom_line_style, b.left_line_style,
                                  b.right_line_style), (1, 1, 1, 1))
    check(f"header size {c}", font(5, c).height, 9 * 20)
check("body size", font(6, 0).height, 10 * 20)
rows = [["0", "7FF", "8", "00", "0A", "1E", "99", "FF", "10", "05", "80"],
        ["12.5", "005", "3", "12", "34", "56", "", "", "", "", ""],
        ["1234.5", "100", "0", "", "", "", "", "", "", "", ""],
        ["3600000.25", "12345678", "2", "AB", "CD", "", "", "", "", "", ""],
        ["3600001", "0E5", "1", "00", "", "", "", "", "", "", ""]]
for r, row in enumerate(rows):
    for c, want in enumerate(row):
        cell = sheet.cell(6 + r, c)
        check(f"cell {6 + r},{c}", cell.value, want)
        if want:
            check(f"cell {6 + r},{c} is text", cell.ctype, xlrd.XL_CELL_TEXT)
check("rows", sheet.nrows, 11)
widths = [11, 7, 5] + [4] * 8
for c, w in enumerate(widths):
    # Excel shows whole characters; the stored width adds the cell padding.
    check(f"width {c}", sheet.colinfo_map[c].width // 256, w)
filters = [n for n in book.name_obj_list if n.name == "_FilterDatabase"]
check("autofilter", len(filters), 1)
if filters:
    (_, r0, r1, c0, c1), = filters[0].area2d()[1:2] and [filters[0].area2d()]
    check("autofilter range", (r0, r1, c0, c1), (5, 11, 0, 11))
if failures:
    print("\n".join(failures))
    sys.exit(1)
