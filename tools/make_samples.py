#!/usr/bin/env python3
"""Write Orvalle's sample database: a few Visual FoxPro free tables.

The tables (categories, customers, orders, orderlines, products) together use
the common Visual FoxPro field types: Character (plain and binary), Varchar,
Numeric, Float, Integer (with autoincrement keys), Double, Currency, Date,
DateTime, Logical, Memo, General and Blob, with nullable fields and the hidden
_NullFlags field. Memo-bearing tables get an .fpt beside them.

The output is byte-for-byte reproducible (fixed header dates), so the committed
tables in assets/Samples can be checked against a fresh run:

    python3 tools/make_samples.py assets/Samples

Only the Python standard library is used.
"""

import argparse
import datetime
import math
import pathlib
import struct
import zlib
from dataclasses import dataclass

CODE_PAGE_MARK_1252 = 0x03
MEMO_BLOCK_SIZE = 64
MEMO_HEADER_SIZE = 512
BACKLINK_SIZE = 263
LAST_UPDATE = datetime.date(2024, 3, 15)
TEXT_ENCODING = "cp1252"

MEMO_TYPES = {"M", "G", "W"}
VARIABLE_TYPES = {"V", "Q"}
# Visual FoxPro itself marks these binary-by-nature types with flag 0x04 when
# they are not nullable; the sample does the same so it looks like its files.
NATIVE_BINARY_TYPES = {"I", "Y", "T", "B", "W"}

FLAG_SYSTEM = 0x01
FLAG_NULLABLE = 0x02
FLAG_BINARY = 0x04
FLAG_AUTOINC = 0x0C


@dataclass
class Field:
    name: str
    kind: str
    width: int
    decimals: int = 0
    nullable: bool = False
    binary: bool = False
    autoinc_next: int = 0


@dataclass
class Table:
    name: str
    fields: list
    rows: list


class MemoFile:
    """Collects memo blocks for one table and renders its .fpt."""

    def __init__(self):
        self.next_block = MEMO_HEADER_SIZE // MEMO_BLOCK_SIZE
        self.body = bytearray()

    def add(self, block_type, data):
        if not data:
            return 0
        block = self.next_block
        chunk = struct.pack(">II", block_type, len(data)) + data
        used = math.ceil(len(chunk) / MEMO_BLOCK_SIZE)
        self.body += chunk.ljust(used * MEMO_BLOCK_SIZE, b"\0")
        self.next_block += used
        return block

    def render(self):
        header = struct.pack(">IHH", self.next_block, 0, MEMO_BLOCK_SIZE)
        return header.ljust(MEMO_HEADER_SIZE, b"\0") + bytes(self.body)


def julian_day(day):
    # date.toordinal() counts from 0001-01-01, which is Julian day 1721426.
    return day.toordinal() + 1721425


def tiny_png(rgb):
    """An 8x8 single-colour PNG, standing in for a product photo."""
    def chunk(tag, data):
        crc = zlib.crc32(tag + data) & 0xFFFFFFFF
        return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", crc)

    rows = b"".join(b"\0" + bytes(rgb) * 8 for _ in range(8))
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", 8, 8, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows, 9))
            + chunk(b"IEND", b""))


def field_flags(field):
    if field.autoinc_next:
        return FLAG_AUTOINC
    flags = 0
    if field.nullable:
        flags |= FLAG_NULLABLE
    if field.binary or (field.kind in NATIVE_BINARY_TYPES and not field.nullable):
        flags |= FLAG_BINARY
    return flags


def null_flag_bits(fields):
    """Bit numbers in _NullFlags: a Varchar's length bit first, then its null bit."""
    length_bits, null_bits, count = {}, {}, 0
    for field in fields:
        if field.kind in VARIABLE_TYPES:
            length_bits[field.name] = count
            count += 1
        if field.nullable:
            null_bits[field.name] = count
            count += 1
    return length_bits, null_bits, count


def encode_value(field, value, memo):
    """Return (bytes for the record, whether the Varchar length bit is set)."""
    w = field.width
    if value is None:
        filler = b" " if field.kind in {"C", "N", "F", "D", "L"} else b"\0"
        return filler * w, False
    kind = field.kind
    if kind == "C":
        return value.encode(TEXT_ENCODING).ljust(w, b" "), False
    if kind == "V":
        data = value.encode(TEXT_ENCODING)
        if len(data) == w:
            return data, False
        return data.ljust(w - 1, b"\0") + bytes([len(data)]), True
    if kind in {"N", "F"}:
        text = f"{value:{w}.{field.decimals}f}"
        if len(text) != w:
            raise ValueError(f"{field.name}: {value} does not fit in {w}")
        return text.encode("ascii"), False
    if kind == "I":
        return struct.pack("<i", value), False
    if kind == "B":
        return struct.pack("<d", value), False
    if kind == "Y":
        return struct.pack("<q", round(value * 10000)), False
    if kind == "D":
        return value.strftime("%Y%m%d").encode("ascii"), False
    if kind == "T":
        midnight = datetime.datetime.combine(value.date(), datetime.time())
        millis = (value - midnight) // datetime.timedelta(milliseconds=1)
        return struct.pack("<II", julian_day(value.date()), millis), False
    if kind == "L":
        return (b"T" if value else b"F"), False
    if kind == "M":
        return struct.pack("<I", memo.add(1, value.encode(TEXT_ENCODING))), False
    if kind == "G":
        return struct.pack("<I", memo.add(2, value)), False
    if kind == "W":
        return struct.pack("<I", memo.add(0, value)), False
    raise ValueError(f"{field.name}: unsupported type {kind}")


def build_table(table):
    """Return the .dbf bytes and, for a table with memo fields, the .fpt bytes."""
    fields = list(table.fields)
    length_bits, null_bits, bit_count = null_flag_bits(fields)
    all_fields = fields + ([Field("_NullFlags", "0", math.ceil(bit_count / 8))]
                           if bit_count else [])
    has_memo = any(f.kind in MEMO_TYPES for f in fields)
    memo = MemoFile() if has_memo else None

    if any(f.kind in {"V", "Q", "W"} for f in fields):
        version = 0x32
    elif any(f.autoinc_next for f in fields):
        version = 0x31
    else:
        version = 0x30

    record_length = 1 + sum(f.width for f in all_fields)
    header_length = 32 + 32 * len(all_fields) + 1 + BACKLINK_SIZE

    header = struct.pack(
        "<B3BIHH16xBBH", version,
        LAST_UPDATE.year % 100, LAST_UPDATE.month, LAST_UPDATE.day,
        len(table.rows), header_length, record_length,
        0x02 if has_memo else 0x00, CODE_PAGE_MARK_1252, 0)

    descriptors = bytearray()
    offset = 1
    for field in all_fields:
        flags = FLAG_SYSTEM | FLAG_BINARY if field.kind == "0" else field_flags(field)
        step = 1 if field.autoinc_next else 0
        descriptors += struct.pack(
            "<11scIBBBIB8x", field.name.encode("ascii"), field.kind.encode("ascii"),
            offset, field.width, field.decimals, flags, field.autoinc_next, step)
        offset += field.width

    records = bytearray()
    for row in table.rows:
        if len(row) != len(fields):
            raise ValueError(f"{table.name}: row {row!r} has the wrong field count")
        null_flags = 0
        record = bytearray(b" ")
        for field, value in zip(fields, row):
            if value is None and not field.nullable and field.kind not in MEMO_TYPES:
                raise ValueError(f"{table.name}.{field.name} is not nullable")
            data, short = encode_value(field, value, memo)
            if len(data) != field.width:
                raise ValueError(f"{table.name}.{field.name}: {value!r} is too wide")
            if short:
                null_flags |= 1 << length_bits[field.name]
            if value is None and field.nullable:
                null_flags |= 1 << null_bits[field.name]
            record += data
        if bit_count:
            record += null_flags.to_bytes(all_fields[-1].width, "little")
        records += record

    dbf = (header + bytes(descriptors) + b"\x0d" + bytes(BACKLINK_SIZE)
           + bytes(records) + b"\x1a")
    if len(dbf) != header_length + len(table.rows) * record_length + 1:
        raise AssertionError(f"{table.name}: layout does not add up")
    return dbf, (memo.render() if memo else None)


def on(text):
    return datetime.date.fromisoformat(text)


def at(text):
    return datetime.datetime.fromisoformat(text)


def sample_tables():
    categories = Table("categories", [
        Field("CAT_ID", "I", 4, autoinc_next=5),
        Field("NAME", "C", 20),
        Field("DESCRIPT", "M", 4),
        Field("PICTURE", "G", 4),
    ], [
        (1, "Beverages", "Coffees, teas, juices and mineral waters.", None),
        (2, "Bakery", "Breads, rolls and pastries, baked every morning.", None),
        (3, "Dairy", "Cheeses, butter and yoghurt from farms in the valley.", None),
        (4, "Pantry", "Oils, vinegars, preserves and spices.", None),
    ])

    customers = Table("customers", [
        Field("CUST_ID", "C", 6),
        Field("COMPANY", "C", 40),
        Field("CONTACT", "C", 30),
        Field("EMAIL", "V", 50, nullable=True),
        Field("PHONE", "C", 18),
        Field("CITY", "C", 20),
        Field("COUNTRY", "C", 15),
        Field("SINCE", "D", 8),
        Field("CREDIT", "Y", 8, decimals=4),
        Field("ACTIVE", "L", 1),
        Field("NOTES", "M", 4),
    ], [
        ("ALDMIL", "Alder Mill Provisions", "Hanna Lindqvist",
         "orders@aldermill.example", "+46 31 555 0142", "Göteborg", "Sweden",
         on("2015-04-20"), 5000.00, True,
         "Prefers delivery before 9 a.m.\r\nInvoice monthly."),
        ("BRKSTN", "Brookstone Grocers", "Marcus Hale",
         "m.hale@brookstone.example", "+44 161 555 0187", "Manchester", "UK",
         on("2017-09-02"), 12500.00, True, None),
        ("CEDARH", "Cedar Hollow Café", "Élise Moreau",
         None, "+33 4 55 50 12 90", "Annecy", "France",
         on("2019-01-15"), 1500.00, True,
         "No e-mail address; confirm orders by telephone."),
        ("DUNMOR", "Dunmore & Sons", "Patrick Dunmore",
         "accounts@dunmore.example", "+353 1 555 0133", "Dublin", "Ireland",
         on("2012-11-30"), 20000.00, False,
         "Account closed after the shop was sold in 2022."),
        ("ELMWAY", "Elmway Market", "Sofia Reyes",
         "sofia@elmway.example", "+1 503 555 0178", "Portland", "USA",
         on("2021-06-07"), 7500.00, True, None),
    ])

    products = Table("products", [
        Field("PROD_ID", "I", 4, autoinc_next=9),
        Field("SKU", "C", 10, binary=True),
        Field("NAME", "V", 40),
        Field("CAT_ID", "I", 4),
        Field("UNIT_PRICE", "Y", 8, decimals=4),
        Field("LIST_PRICE", "B", 8, decimals=2),
        Field("WEIGHT", "N", 7, decimals=3),
        Field("TAX_RATE", "F", 5, decimals=2),
        Field("ON_HAND", "N", 5),
        Field("DISCONTIN", "L", 1),
        Field("ADDED", "D", 8),
        Field("UPDATED", "T", 8),
        Field("NOTES", "M", 4),
        Field("PHOTO", "W", 4),
    ], [
        (1, "BEV-0001", "Highland Breakfast Tea, 100 bags", 1, 4.20, 5.95,
         0.250, 7.00, 340, False, on("2016-02-01"), at("2024-02-28T09:15:00"),
         "Strong black tea blend.", tiny_png((120, 60, 20))),
        (2, "BEV-0002", "Sparkling Spring Water 1 l", 1, 0.45, 0.89,
         1.050, 7.00, 1200, False, on("2016-02-01"), at("2024-03-01T14:02:30"),
         None, None),
        (3, "BAK-0001", "Sourdough Loaf", 2, 2.10, 3.49,
         0.800, 7.00, 45, False, on("2018-05-14"), at("2024-03-14T06:30:00"),
         "Baked daily; sell within two days.", tiny_png((200, 160, 90))),
        (4, "BAK-0002", "Rye Crispbread", 2, 1.60, 2.79,
         0.275, 7.00, 210, False, on("2018-05-14"), at("2023-12-11T10:45:00"),
         None, None),
        (5, "DAI-0001", "Aged Mountain Cheese 200 g", 3, 3.80, 6.50,
         0.200, 7.00, 96, False, on("2019-10-03"), at("2024-03-10T16:20:00"),
         "Keep refrigerated at 4-6 °C.", None),
        (6, "DAI-0002", "Cultured Butter 250 g", 3, 2.25, 3.95,
         0.250, 7.00, 0, True, on("2019-10-03"), at("2023-08-31T17:00:00"),
         "Supplier stopped production in August 2023.", None),
        (7, "PAN-0001", "Cold-Pressed Rapeseed Oil 500 ml", 4, 3.10, 5.25,
         0.520, 19.00, 130, False, on("2020-03-22"), at("2024-01-19T11:05:00"),
         None, None),
        (8, "PAN-0002", "Wild Blueberry Jam", 4, 2.40, 4.10,
         0.370, 7.00, 88, False, on("2021-07-09"), at("2024-03-05T08:50:45"),
         None, None),
    ])

    orders = Table("orders", [
        Field("ORDER_ID", "I", 4, autoinc_next=1007),
        Field("CUST_ID", "C", 6),
        Field("ORDERED", "D", 8),
        Field("SHIPPED", "T", 8, nullable=True),
        Field("SHIP_VIA", "C", 12),
        Field("FREIGHT", "Y", 8, decimals=4),
        Field("PAID", "L", 1),
    ], [
        (1001, "ALDMIL", on("2024-02-26"), at("2024-02-27T08:10:00"), "Courier", 12.50, True),
        (1002, "BRKSTN", on("2024-02-28"), at("2024-03-01T13:45:00"), "Freight", 48.00, True),
        (1003, "CEDARH", on("2024-03-04"), at("2024-03-05T09:30:00"), "Courier", 9.75, False),
        (1004, "ELMWAY", on("2024-03-08"), at("2024-03-11T15:20:00"), "Post", 22.40, True),
        (1005, "ALDMIL", on("2024-03-13"), at("2024-03-14T07:55:00"), "Courier", 12.50, False),
        (1006, "BRKSTN", on("2024-03-15"), None, "Freight", 51.20, False),
    ])

    orderlines = Table("orderlines", [
        Field("ORDER_ID", "I", 4),
        Field("LINE_NO", "N", 3),
        Field("PROD_ID", "I", 4),
        Field("QUANTITY", "N", 6),
        Field("UNIT_PRICE", "Y", 8, decimals=4),
        Field("DISCOUNT", "F", 5, decimals=2),
    ], [
        (1001, 1, 1, 24, 5.95, 0.00),
        (1001, 2, 3, 10, 3.49, 0.00),
        (1002, 1, 2, 600, 0.89, 0.10),
        (1002, 2, 7, 36, 5.25, 0.05),
        (1002, 3, 8, 48, 4.10, 0.05),
        (1003, 1, 5, 6, 6.50, 0.00),
        (1004, 1, 4, 40, 2.79, 0.00),
        (1004, 2, 1, 12, 5.95, 0.00),
        (1005, 1, 3, 10, 3.49, 0.00),
        (1006, 1, 2, 480, 0.89, 0.10),
        (1006, 2, 5, 24, 6.50, 0.05),
    ])

    return [categories, customers, orders, orderlines, products]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder", type=pathlib.Path,
                        help="where to write the tables, e.g. assets/Samples")
    folder = parser.parse_args().folder
    folder.mkdir(parents=True, exist_ok=True)
    for table in sample_tables():
        dbf, fpt = build_table(table)
        (folder / f"{table.name}.dbf").write_bytes(dbf)
        if fpt is not None:
            (folder / f"{table.name}.fpt").write_bytes(fpt)


if __name__ == "__main__":
    main()
