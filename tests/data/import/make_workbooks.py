#!/usr/bin/python3
"""Writes the stock-import test workbooks of this folder.

Run from anywhere: /usr/bin/python3 make_workbooks.py (needs python3-xlwt and
python3-openpyxl). The files are committed; this script says how each was made.
"""
import datetime
import io
import os
import struct
import zipfile

import openpyxl
import xlwt
import xlwt.CompoundDoc

HERE = os.path.dirname(os.path.abspath(__file__))
COLUMNS = ["a", "b", "c", "d", "e", "f", "g", "a1", "a2", "a3", "a4", "a5", "a6", "a7", "a8", "z", "day1"]


def path(name):
    return os.path.join(HERE, name)


def row(name, spec, code, cat, e, f, g, nums, z, day):
    return [name, spec, code, cat, e, f, g] + list(nums) + [z, day]


GOOD = [
    row("拉杆箱", "20寸", "6901234567890", "箱", "lgx", "20c", "广州皮具厂",
        [120, 10, 1200, 199, 0, 0, 10, 1200], "新款", datetime.date(2024, 3, 5)),
    row("双肩包", "B-2", "B002", "包", "", "", "义乌小商品",
        [45.5, 4, 182, 89.9, 1, 89.9, 3, 136.5], "", "2024-03-06"),
    row("钱包", "", "W3", "皮具", "qb", "", "", [20, 2, 40, 39, 0, 0, 2, 40], "O'Brien \"特价\"", datetime.date(2024, 1, 31)),
]


def xls_good():
    """BIFF8 by xlwt: sheet named in capitals, columns in another order, an
    extra column, a number in the code column, a blank row in the middle."""
    book = xlwt.Workbook(encoding="utf-8")
    book.add_sheet("说明").write(0, 0, "数据在 QMZRTK 表")
    sheet = book.add_sheet("QMZRTK")
    order = list(reversed(COLUMNS)) + ["extra"]
    date_style = xlwt.easyxf(num_format_str="yyyy-mm-dd")
    for c, name in enumerate(order):
        sheet.write(0, c, name if name != "a7" else " A7 ")
    rows = [GOOD[0], None, GOOD[1], GOOD[2]]
    for r, values in enumerate(rows, start=1):
        if values is None:
            continue
        for c, name in enumerate(order):
            if name == "extra":
                sheet.write(r, c, "忽略")
                continue
            v = values[COLUMNS.index(name)]
            if name == "c" and v == "6901234567890":
                v = 6901234567890
            if isinstance(v, datetime.date):
                sheet.write(r, c, v, date_style)
            elif v != "":
                sheet.write(r, c, v)
    book.save(path("good.xls"))


def xls_simple(name, sheet_name, rows):
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet(sheet_name)
    date_style = xlwt.easyxf(num_format_str="yyyy-mm-dd")
    for r, values in enumerate(rows):
        for c, v in enumerate(values):
            if isinstance(v, datetime.date):
                sheet.write(r, c, v, date_style)
            elif v is not None and v != "":
                sheet.write(r, c, v)
    book.save(path(name))


def xls_bad_cells():
    """Twelve bad cells, the first in row 12 column a7, and one long text."""
    rows = [COLUMNS]
    for i in range(2, 30):
        rows.append(row("商品%d" % i, "", "C%d" % i, "箱", "", "", "",
                        [1, 1, 1, 2, 0, 0, 1, 1], "", datetime.date(2024, 1, 1)))
    rows[11][COLUMNS.index("a7")] = "abc"          # row 12, a7
    rows[12][COLUMNS.index("day1")] = "昨天"        # row 13, day1
    rows[13][COLUMNS.index("a")] = "长" * 300       # row 14, a
    for r in range(15, 25):                         # rows 16..25, a1
        rows[r][COLUMNS.index("a1")] = "1,5"
    xls_simple("bad_cells.xls", "qmzrtk", rows)


def biff5():
    """An Excel 5.0/95 workbook (BIFF5) in GBK, built record by record and
    wrapped in the compound file by xlwt's CompoundDoc."""
    def rec(t, data):
        return struct.pack("<HH", t, len(data)) + data

    def label(r, c, text):
        b = text.encode("gbk")
        return rec(0x0204, struct.pack("<HHHH", r, c, 15, len(b)) + b)

    def number(r, c, v):
        return rec(0x0203, struct.pack("<HHHd", r, c, 15, v))

    cells = []
    for c, name in enumerate(COLUMNS):
        cells.append(label(0, c, name))
    values = row("旅行箱", "24寸", "X24", "箱", "lxx", "24c", "温州", [150, 2, 300, 260, 0, 0, 2, 300], "九五版", "2023-12-01")
    for c, v in enumerate(values):
        cells.append(number(1, c, v) if isinstance(v, (int, float)) else label(1, c, v))
    xf = rec(0x00E0, struct.pack("<HHHHHHHH", 0, 0, 0xFFF5, 0x20, 0, 0, 0, 0))
    font = rec(0x0031, struct.pack("<HHHHHBBBB", 200, 0, 0x7FFF, 400, 0, 0, 0, 134, 0) + bytes([5]) + b"Arial")
    sheet = (rec(0x0809, struct.pack("<HHHH", 0x0500, 0x0010, 0, 0)) +
             rec(0x0000, struct.pack("<HHHHH", 0, 2, 0, len(COLUMNS), 0)) + b"".join(cells) + rec(0x000A, b""))
    name = b"qmzrtk"
    head = rec(0x0809, struct.pack("<HHHH", 0x0500, 0x0005, 0, 0)) + rec(0x0042, struct.pack("<H", 936))
    head += font * 5 + xf * 16
    bound_len = 4 + 4 + 2 + 1 + len(name)
    eof = rec(0x000A, b"")
    offset = len(head) + bound_len + len(eof)
    globals_ = head + rec(0x0085, struct.pack("<IHB", offset, 0, len(name)) + name) + eof
    xlwt.CompoundDoc.XlsDoc().save(path("biff5.xls"), globals_ + sheet)


def xlsx_good():
    """openpyxl: shared strings, numbers, a date-formatted cell, a boolean in
    a text column, a blank row."""
    book = openpyxl.Workbook()
    sheet = book.active
    sheet.title = "qmzrtk"
    sheet.append(COLUMNS)
    sheet.append(GOOD[0])
    sheet.append([])
    sheet.append(GOOD[1])
    sheet.append(GOOD[2])
    sheet.cell(row=5, column=COLUMNS.index("g") + 1, value=True)
    book.save(path("good.xlsx"))


def xlsx_by_hand(name, sheet_xml, shared=None, workbook_extra=""):
    """A minimal package written with zipfile, for inline strings, cached
    formula values and damaged parts that openpyxl would not write."""
    ct = ('<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
          '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
          '<Default Extension="xml" ContentType="application/xml"/></Types>')
    rels = ('<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
            '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/></Relationships>')
    wb = ('<?xml version="1.0" encoding="UTF-8"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" '
          'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">%s<sheets>'
          '<sheet name="QmZrTk" sheetId="1" r:id="rId7"/></sheets></workbook>' % workbook_extra)
    wbrels = ('<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
              '<Relationship Id="rId7" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/data.xml"/>'
              '<Relationship Id="rId8" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="/xl/styles.xml"/>'
              '<Relationship Id="rId9" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="strings.xml"/>'
              '</Relationships>')
    styles = ('<?xml version="1.0" encoding="UTF-8"?><styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'
              '<numFmts count="1"><numFmt numFmtId="170" formatCode="yyyy&quot;年&quot;m&quot;月&quot;d&quot;日&quot;"/></numFmts>'
              '<cellXfs count="3"><xf numFmtId="0"/><xf numFmtId="170"/><xf numFmtId="4"/></cellXfs></styleSheet>')
    sst = ('<?xml version="1.0" encoding="UTF-8"?><sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">%s</sst>'
           % "".join(shared or []))
    sheet = ('<?xml version="1.0" encoding="UTF-8"?><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'
             '<sheetData>%s</sheetData></worksheet>' % sheet_xml)
    with zipfile.ZipFile(path(name), "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("[Content_Types].xml", ct)
        z.writestr("_rels/.rels", rels)
        z.writestr("xl/workbook.xml", wb)
        z.writestr("xl/_rels/workbook.xml.rels", wbrels)
        z.writestr("xl/styles.xml", styles)
        z.writestr("xl/strings.xml", sst)
        z.writestr("xl/worksheets/data.xml", sheet)


def header_xml(r=1):
    return '<row r="%d">%s</row>' % (r, "".join('<c t="inlineStr"><is><t>%s</t></is></c>' % n for n in COLUMNS))


def xlsx_inline():
    """Inline and rich shared strings, a formula with its cached result, a
    date by a custom format, a 1904 date system, cells without references."""
    cells = ('<c r="A2" t="s"><v>0</v></c><c r="B2" t="inlineStr"><is><r><t>大</t></r><r><t>号</t></r></is></c>'
             '<c r="C2" t="str"><f>"K"&amp;"9"</f><v>K9</v></c><c r="D2" t="s"><v>1</v></c>'
             '<c r="H2"><v>10</v></c><c r="I2"><v>3</v></c><c r="J2"><f>H2*I2</f><v>30</v></c><c r="K2" s="2"><v>18.5</v></c>'
             '<c r="L2"><v>0</v></c><c r="M2"><v>0</v></c><c r="N2"><v>3</v></c><c r="O2"><f>H2*N2</f><v>30</v></c>'
             '<c r="Q2" s="1"><v>43891</v></c>')
    shared = ['<si><t>登机箱</t><rPh sb="0" eb="1"><t>とうき</t></rPh></si>', '<si><r><t>箱</t></r></si>']
    xlsx_by_hand("inline.xlsx", header_xml() + '<row r="2">%s</row>' % cells, shared,
                 '<workbookPr date1904="1"/>')


def xlsx_missing_column():
    names = [n for n in COLUMNS if n not in ("a7", "day1")]
    book = openpyxl.Workbook()
    book.active.title = "qmzrtk"
    book.active.append(names)
    book.save(path("missing_column.xlsx"))


def wrong_sheet():
    rows = [COLUMNS, GOOD[0]]
    xls_simple("wrong_sheet.xls", "Sheet1", rows)


def csv_files():
    lines = [",".join(COLUMNS)]
    for values in GOOD:
        cells = []
        for v in values:
            s = v.isoformat() if isinstance(v, datetime.date) else str(v)
            if any(ch in s for ch in ',"\n'):
                s = '"' + s.replace('"', '""') + '"'
            cells.append(s)
        lines.append(",".join(cells))
    text = "\r\n".join(lines) + "\r\n"
    with open(path("good_utf8bom.csv"), "wb") as f:
        f.write(b"\xef\xbb\xbf" + text.encode("utf-8"))
    with open(path("good_gbk.csv"), "wb") as f:
        f.write(text.encode("gbk"))


def malformed():
    """The damaged corpus under malformed/: each file must give a failure
    with a reason, never a crash or a hang."""
    out = os.path.join(HERE, "malformed")
    os.makedirs(out, exist_ok=True)
    good_xls = open(path("good.xls"), "rb").read()
    good_xlsx = open(path("good.xlsx"), "rb").read()
    files = {
        "truncated_header.xls": good_xls[:300],
        "truncated_half.xls": good_xls[: len(good_xls) // 2],
        "truncated.xlsx": good_xlsx[: len(good_xlsx) // 2],
        "empty.xls": b"",
        "text_named.xls": "这不是工作簿\n".encode("utf-8"),
        "random.xlsx": bytes((i * 7919 + 13) % 256 for i in range(4096)),
    }
    # A compound file whose workbook stream chain (sectors 0 to 7) turns
    # back on itself: sector 5 is followed by sector 2 again.
    loop = bytearray(good_xls)
    fat_sector = struct.unpack_from("<I", loop, 0x4C)[0]
    struct.pack_into("<I", loop, 512 + fat_sector * 512 + 5 * 4, 2)
    files["fat_loop.xls"] = bytes(loop)
    # A FAT sector number far beyond the file.
    far = bytearray(good_xls)
    struct.pack_into("<I", far, 0x4C, 0x7FFFFFF0)
    files["fat_beyond_end.xls"] = bytes(far)
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)

    def bad_xlsx(name, sheet_xml, shared=None):
        xlsx_by_hand(name, sheet_xml, shared)
        os.replace(path(name), os.path.join(out, name))

    bad_xlsx("sst_index.xlsx", header_xml() + '<row r="2"><c r="A2" t="s"><v>99999</v></c></row>')
    bad_xlsx("cell_reference.xlsx", header_xml() + '<row r="2"><c r="ZZZZ2"><v>1</v></c></row>')
    bad_xlsx("row_number.xlsx", header_xml() + '<row r="2147483647"><c><v>1</v></c></row>')
    bad_xlsx("broken_xml.xlsx", header_xml() + '<row r="2"><c r="A2"><v>1</v></row>')
    # A sheet of 300 MB of blanks packed into a few hundred kilobytes.
    bomb = io.BytesIO()
    with zipfile.ZipFile(bomb, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        z.writestr("_rels/.rels", open_part("_rels/.rels"))
        z.writestr("xl/workbook.xml", open_part("xl/workbook.xml"))
        z.writestr("xl/_rels/workbook.xml.rels", open_part("xl/_rels/workbook.xml.rels"))
        z.writestr("xl/worksheets/sheet1.xml", b"<worksheet>" + b" " * (300 * 1024 * 1024))
    with open(os.path.join(out, "zip_bomb.xlsx"), "wb") as f:
        f.write(bomb.getvalue())
    # The sheet's crc does not match its data.
    crc = bytearray(good_xlsx)
    with zipfile.ZipFile(io.BytesIO(good_xlsx)) as z:
        info = z.getinfo("xl/worksheets/sheet1.xml")
    struct.pack_into("<I", crc, info.header_offset + 14, info.CRC ^ 0xFFFFFFFF)
    with open(os.path.join(out, "bad_crc.xlsx"), "wb") as f:
        f.write(bytes(crc))


def formulas():
    """Formula cells with the results LibreOffice computed and stored: the
    sheet is written by openpyxl (formulas without results), then LibreOffice
    (libreoffice-calc-nogui) loads it, computes and saves .xls and .xlsx.
    Skipped when soffice is not installed; the committed files stay."""
    import shutil
    import subprocess
    import tempfile
    if not shutil.which("soffice"):
        print("soffice not found: formulas.xls/.xlsx left as they are")
        return
    book = openpyxl.Workbook()
    sheet = book.active
    sheet.title = "qmzrtk"
    sheet.append(COLUMNS)
    sheet.append(['="拉杆"&"箱"', "20寸", '=TEXT(6901234567890,"0")', "箱", None, None, "广州皮具厂",
                  120, 10, "=H2*I2", "=ROUND(H2*1.6,1)", 0, 0, "=I2-1", "=H2*N2", '=IF(H2>100,"高价","")',
                  "=DATE(2024,3,5)"])
    sheet["Q2"].number_format = "yyyy-mm-dd"
    with tempfile.TemporaryDirectory() as tmp:
        source = os.path.join(tmp, "formulas.xlsx")
        book.save(source)
        for kind in ("xls", "xlsx"):
            out = os.path.join(tmp, kind)
            subprocess.run(["soffice", "--headless", "--calc", "--convert-to", kind, "--outdir", out, source],
                           check=True, env=dict(os.environ, HOME=tmp))
            shutil.copy(os.path.join(out, "formulas." + kind), path("formulas." + kind))


def open_part(name):
    with zipfile.ZipFile(path("good.xlsx")) as z:
        return z.read(name)


if __name__ == "__main__":
    xls_good()
    xls_simple("header_only.xls", "qmzrtk", [COLUMNS])
    xls_bad_cells()
    biff5()
    xlsx_good()
    xlsx_inline()
    xlsx_missing_column()
    wrong_sheet()
    csv_files()
    malformed()
    formulas()
