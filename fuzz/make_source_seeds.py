#!/usr/bin/env python3
"""Write the hand-made recipes of fuzz_source into fuzz/corpus/fuzz_source.

Each recipe is spelled in the byte format fuzz_source.cpp reads (see the
comment at its top); the lists below are that file's lists, in the same
order, so a recipe can name an entry of one. Rerun after changing a list
there or a recipe here, and commit what it writes:

    python3 fuzz/make_source_seeds.py fuzz/corpus/fuzz_source

Only the Python standard library is used.
"""

import argparse
import pathlib

FILE_NAMES = [
    b"t.dbf", b"T.DBF", b"t.DBF", b"orders.dbf", b"ORDERS.dbf", b"db.dbc", b"DB.DBC", b"db.dct", b"DB.DCT",
    b"db.dcx", b"gone.dbc", b"t.fpt", b"T.FPT", b"t.cdx", b"orders.fpt", b"notes.txt", b".hidden.dbf", b".dbf",
    b"dbf", b"x.dbf.dbf", b"a b;c.dbf", b"foxuser.dbf", b"FoxUser.dbf", b"caf\xe9.dbf", b"CAF\xc9.DBF",
    b"caf\xc3\xa9.dbf", b"CAF\xc3\x89.DBF", b"\xff\xfe.dbf", b"\xfe\xff.dbf", b"\xc3.dbf", b"sub", b"aside", b"t",
    b"t (2).dbf", b"line\nbreak.dbf", b"tab\t.dbf", b"\r.dbf", b"u\xf0\x9f\x98\x80.dbf", b"db.dbc.dbf",
    b"1) forged.dbf",
]
EXTENSIONS = [b"", b".dbf", b".DBF", b".Dbf", b".dbc", b".dct", b".fpt", b".cdx"]
CONTAINER_NAMES = [b"db.dbc", b"DB.DBC", b"Db.Dbc", b"gone.dbc", b"t.dbc", b"caf\xc3\xa9.dbc"]
HEADER_FIELD_NAMES = [
    b"ID", b"NAME", b"Name", b"name", b"_NullFlags", b"", b"A B", b"X\r\nY", b"\xe9T\xe9", b"CUSTOMERIDX",
    b"1) FORGED", b"VERY_LONG_DBASE7_FIELD_NAME_ABC",
]
TYPE_LETTERS = b"CNFLDMGBIYTVQWP0@+OX"
VERSIONS = [0x30, 0x31, 0x32, 0x03, 0x83, 0x8B, 0xF5, 0x04, 0x8C, 0x02, 0xFB, 0x43]
CODE_PAGES = [0x03, 0x00, 0x01, 0x02, 0x65, 0xC9, 0xF0, 0x7B, 0x7A, 0x68, 0x69, 0x57, 0x1B, 0x7F, 0xC8, 0x64]
TABLE_NAMES = [
    b"t", b"T", b"orders", b"Orders", b"customers", b"foxuser", b"FOXUSER", b"", b"a b;c", b"1) forged",
    b"Table Name : forged", b" Printing From forged", b"line\r\nbreak", b"caf\xe9", b"sub", b"..",
    b"a_table_name_of_more_than_forty_characters_xx", b"ps\xe2\x80\xa9utf8",
]
LONG_FIELD_NAMES = [
    b"id", b"name", b"Name", b"customer_identification_number", b"1) forged contents entry of length",
    b"table name : forged    total fields : 1", b"x\r\ny", b"", b"ID", b"a\x85b", b"\t",
    b"caf\xe9_is_a_long_field_name_here", b"nel\xc2\x85_is_a_long_field_name_here",
]
COMMENTS = [
    b"", b"Plain comment", b"two\r\nlines", b"lone\rCR", b"lf\nonly", b"nel\x85here", b"ff\x0cvt\x0b", b"\r\n",
    b"Table Name : forged", b"1) forged", b" Printing From forged", b"trailing\r\n", b"\r\n\r\nlead", b"\xe9t\xe9",
    b"A comment long enough to run past every column of the report and then some more, "
    b"so that the line is long; it goes on and on and on without a break for quite a while, "
    b"then it ends.",
    b"nel\xc2\x85utf8", b"ls\xe2\x80\xa8utf8",
]
DATA_TYPES = [b"C(40)", b"N(10,2)", b"I", b"M", b"C(", b"N(99999999999,2)", b"X(5)", b"", b"C(-1)", b"V(254)",
              b"Q(10)", b"T", b"B(2)"]
PATH_PARTS = [b"..", b".", b"sub", b"aside", b"d"]

# Entry kinds and places.
TABLE, RAW, FOLDER, LINK, HARD_LINK, MEMO = range(6)
DATA, SUB, ASIDE = 0, 2, 3
# Link targets.
BESIDE, ABSOLUTE, TO_ASIDE, ITSELF, DANGLING, TO_DATA = range(6)
# Report files.
FRESH, OLD_FILE, A_FOLDER, IN_DATA, IN_DATA_FLIPPED, IN_SUB = range(6)
# Second sources.
THE_CONTAINER, CONTAINER_FLIPPED, A_FILE, CONTAINER_LINK = range(4)
# Container memo.
MEMO_BESIDE, MEMO_OTHER_CASE, MEMO_MISSING, MEMO_FOLDER, MEMO_RAW = range(5)


def byte(value):
    assert 0 <= value < 256
    return bytes([value])


def options(container=False, spelling=0, target=FRESH, second=THE_CONTAINER):
    return byte(int(container) | spelling << 1 | target << 3 | second << 6)


def name(value):
    if value in FILE_NAMES:
        return byte(FILE_NAMES.index(value))
    for i, extension in enumerate(EXTENSIONS):
        if extension and value.endswith(extension):
            stem = value[: -len(extension)]
            break
    else:
        i, stem = 0, value
    assert len(stem) <= 12
    return b"\xf0" + byte(len(stem)) + stem + byte(i)


def listed(values, value, max_length):
    if value in values:
        return byte(values.index(value))
    assert len(value) <= max_length
    return b"\xf0" + byte(len(value)) + value


def from_list(values, value):
    return byte(values.index(value)) if value in values else b"\xe0" + byte(value)


def flip(value):
    return value.swapcase()


def path(*parts, absolute_data=False, absolute_base=False, backslash=False, trailing=False, dot=False):
    """A backlink or Path property; path() is none."""
    if not parts:
        return b"\x00"
    assert 1 <= len(parts) <= 3
    k = {1: 3, 2: 1, 3: 2}[len(parts)]
    k |= 0x04 if absolute_data else 0
    k |= 0x08 if backslash else 0
    k |= 0x10 if trailing else 0
    k |= 0x20 if dot else 0
    k |= 0x40 if absolute_base else 0
    out = byte(k)
    for part in parts:
        if part in PATH_PARTS:
            out += byte(PATH_PARTS.index(part))
        elif part in FILE_NAMES:
            out += byte(len(PATH_PARTS) + FILE_NAMES.index(part))
        elif part in [flip(n) for n in FILE_NAMES]:
            out += byte(len(PATH_PARTS) + len(FILE_NAMES) + [flip(n) for n in FILE_NAMES].index(part))
        else:
            assert len(part) <= 8
            out += b"\xe0" + byte(len(part)) + part
    return out


def field(field_name, letter, width, decimals=0, flags=0):
    return (listed(HEADER_FIELD_NAMES, field_name, 31) + byte(TYPE_LETTERS.index(letter.encode())) + byte(width)
            + byte(decimals) + byte(flags))


NO_DAMAGE = b"\x00"


def truncated(size):
    return b"\x01" + byte(size & 0xFF) + byte(size >> 8)


def header_length(value):
    return b"\x03" + byte(value & 0xFF) + byte(value >> 8)


def table(place, file_name, version=0x30, code_page=0x03, fields=(), records=0, backlink=path(),
          damage=NO_DAMAGE):
    return (byte(TABLE) + byte(place) + name(file_name) + from_list(VERSIONS, version)
            + from_list(CODE_PAGES, code_page) + byte(len(fields)) + b"".join(fields) + byte(records)
            + backlink + damage)


def raw(place, file_name, data):
    return byte(RAW) + byte(place) + name(file_name) + byte(len(data)) + data


def folder(place, folder_name):
    return byte(FOLDER) + byte(place) + name(folder_name)


def link(place, link_name, target, target_name=None):
    out = byte(LINK) + byte(place) + name(link_name) + byte(target)
    if target in (BESIDE, ABSOLUTE):
        out += name(target_name)
    return out


def hard_link(place, link_name, existing):
    return byte(HARD_LINK) + byte(place) + name(link_name) + name(existing)


def memo(place, file_name, block_size_choice=0, payload=b""):
    return byte(MEMO) + byte(place) + name(file_name) + b"\x01" + byte(block_size_choice) + byte(len(payload)) + payload


def container_field(long_name, comment=b"", deleted=False, raw_properties=None):
    flags = int(deleted) | (2 if raw_properties is not None else 0)
    out = listed(LONG_FIELD_NAMES, long_name, 48) + listed(COMMENTS, comment, 48) + byte(flags)
    if raw_properties is not None:
        out += byte(len(raw_properties)) + raw_properties
    return out


def container_table(table_name, table_path, comment=b"", fields=(), deleted=False):
    return (listed(TABLE_NAMES, table_name, 40) + table_path + listed(COMMENTS, comment, 48) + byte(int(deleted))
            + byte(len(fields)) + b"".join(fields))


def view(view_name, fields):
    out = listed(TABLE_NAMES, view_name, 40) + byte(len(fields))
    for field_name, comment, data_type in fields:
        out += listed(LONG_FIELD_NAMES, field_name, 48) + listed(COMMENTS, comment, 48) + listed(DATA_TYPES, data_type, 16)
    return out


def container(container_name, place=DATA, memo_mode=MEMO_BESIDE, code_page=0x03, block_size=64, tables=(),
              views=(), shares=(), dbc_damage=NO_DAMAGE, dct_damage=NO_DAMAGE):
    out = byte(CONTAINER_NAMES.index(container_name)) + byte(place) + byte(memo_mode)
    out += from_list(CODE_PAGES, code_page) + byte([64, 1, 2, 7, 512, 100].index(block_size))
    out += byte(len(tables)) + b"".join(tables)
    out += byte(len(views)) + b"".join(views)
    out += byte(len(shares)) + b"".join(byte(a) + byte(b) for a, b in shares)
    return out + dbc_damage + dct_damage


def entries(*items):
    assert len(items) <= 8
    return byte(len(items)) + b"".join(items)


def vfp_fields():
    return [field(b"ID", "I", 4, flags=0x04), field(b"NAME", "C", 20), field(b"CUSTOMERIDX", "M", 4, flags=0x04)]


RECIPES = {
    # A container in the folder, tables that link back to it (one through
    # another case of its name), a case twin of a container table, a table
    # whose name is not UTF-8, a memo beside a table, a view.
    "container_backlink_twin_nonutf8.bin":
        options(container=True)
        + entries(
            table(DATA, b"t.dbf", fields=vfp_fields(), backlink=path(b"db.dbc")),
            table(DATA, b"ORDERS.dbf", fields=vfp_fields()[:2], records=2, backlink=path(b"DB.DBC")),
            table(DATA, b"T.DBF", version=0x03, fields=[field(b"NAME", "C", 10)]),
            table(DATA, b"caf\xe9.dbf", fields=[field(b"\xe9T\xe9", "C", 5)], backlink=path(b"db.dbc")),
            memo(DATA, b"t.fpt"),
        )
        + container(b"db.dbc", tables=[
            container_table(b"t", path(b"t.dbf"), b"Plain comment", [
                container_field(b"id", b"two\r\nlines"),
                container_field(b"name"),
                container_field(b"customer_identification_number", b"Plain comment"),
            ]),
            container_table(b"orders", path(b"orders.dbf"), fields=[
                container_field(b"id", b"lone\rCR"), container_field(b"Name", b"nel\x85here")]),
        ], views=[view(b"customers", [(b"id", b"", b"I"), (b"name", b"Plain comment", b"C(40)")])]),

    # Tables that differ only in case, by ASCII and by Unicode, and a report
    # asked for over one of them.
    "case_twins_report_over_table.bin":
        options(target=IN_DATA)
        + entries(
            table(DATA, b"t.dbf", fields=vfp_fields()),
            table(DATA, b"T.DBF", fields=vfp_fields()[:1]),
            table(DATA, b"t.DBF", version=0x03, fields=[field(b"NAME", "C", 10)]),
            table(DATA, b"caf\xc3\xa9.dbf", fields=[field(b"ID", "N", 5)]),
            table(DATA, b"CAF\xc3\x89.DBF", fields=[field(b"ID", "N", 6)]),
            table(DATA, b"foxuser.dbf", fields=[field(b"ID", "N", 6)]),
            table(DATA, b"FoxUser.dbf", fields=[field(b"ID", "N", 6)]),
        )
        + name(b"t.dbf"),

    # Names that are not UTF-8 (two that read alike), line breaks and a tab in
    # names, a memo beside one, a report asked for under another case.
    "names_not_utf8.bin":
        options(target=IN_DATA_FLIPPED)
        + entries(
            table(DATA, b"\xff\xfe.dbf", code_page=0xC9, fields=[field(b"\xe9T\xe9", "C", 3)]),
            table(DATA, b"\xfe\xff.dbf", fields=[field(b"ID", "I", 4)]),
            table(DATA, b"\xc3.dbf", version=0xF5, fields=[field(b"NAME", "C", 8)]),
            table(DATA, b"line\nbreak.dbf", fields=[field(b"X\r\nY", "C", 8)]),
            table(DATA, b"tab\t.dbf", version=0x83, fields=[field(b"NAME", "M", 10)]),
            raw(DATA, b"\xff\x80.fpt", b"\x00" * 8),
            table(DATA, b"\r.dbf", fields=[]),
        )
        + name(b"t.dbf"),

    # Path properties: "..", absolute, a folder, backslashes into a
    # sub-folder, a case that differs from the file, a table beside the
    # folder, a symbolic link loop; the report asked for over the table in
    # the sub-folder, which only the container reads.
    "container_odd_paths.bin":
        options(container=True, target=IN_SUB)
        + entries(
            folder(DATA, b"sub"),
            table(SUB, b"t.dbf", fields=vfp_fields()),
            table(ASIDE, b"t.dbf", fields=vfp_fields()[:1], backlink=path(b"..", b"d", b"db.dbc")),
            table(DATA, b"ORDERS.dbf", fields=vfp_fields()),
            link(DATA, b"t (2).dbf", ITSELF),
        )
        + container(b"db.dbc", tables=[
            container_table(b"t", path(b"..")),
            container_table(b"T", path(b"t.dbf", absolute_data=True), fields=[container_field(b"id")]),
            container_table(b"sub", path(b"sub")),
            container_table(b"orders", path(b"sub", b"t.dbf", backslash=True), fields=[
                container_field(b"id"), container_field(b"name")]),
            container_table(b"Orders", path(b"orders.dbf"), fields=[container_field(b"Name")]),
        ])
        + name(b"t.dbf"),

    # Every table names a container that is missing, or one beside the
    # folder; the folder is given through a symbolic link.
    "backlinks_missing_and_beside.bin":
        options(container=True, spelling=3, second=CONTAINER_LINK)
        + entries(
            table(DATA, b"t.dbf", fields=vfp_fields(), backlink=path(b"gone.dbc")),
            table(DATA, b"orders.dbf", fields=vfp_fields(), backlink=path(b"GONE.DBC")),
            table(DATA, b"a b;c.dbf", fields=vfp_fields(), backlink=path(b"..", b"aside", b"db.dbc")),
            table(DATA, b"x.dbf.dbf", fields=vfp_fields(), backlink=path(b"aside", b"db.dbc", absolute_base=True)),
            table(DATA, b"db.dbc.dbf", fields=vfp_fields(), backlink=path(b"sub", trailing=True)),
        )
        + container(b"db.dbc", place=ASIDE, tables=[
            container_table(b"a b;c", path(b"..", b"d", b"a b;c.dbf"), fields=[
                container_field(b"id", b"Plain comment"), container_field(b"name", b"trailing\r\n")]),
        ]),

    # Field records that share one property memo, the container's memo under
    # the other case of its extension, UTF-8 texts with NEL and the line and
    # paragraph separators, and tables of two code pages.
    "container_shared_memo.bin":
        options(container=True)
        + entries(
            table(DATA, b"t.dbf", fields=vfp_fields(), backlink=path(b"db.dbc")),
            table(DATA, b"orders.dbf", code_page=0xF0, fields=vfp_fields(), backlink=path(b"db.dbc")),
        )
        + container(b"db.dbc", memo_mode=MEMO_OTHER_CASE, code_page=0xF0, tables=[
            container_table(b"t", path(b"t.dbf"), fields=[
                container_field(b"id", COMMENTS[14]), container_field(b"name"), container_field(b"Name")]),
            container_table(b"orders", path(b"orders.dbf"), fields=[
                container_field(b"id"), container_field(b"name", b"nel\xc2\x85utf8"),
                container_field(b"Name", b"ls\xe2\x80\xa8utf8")]),
            container_table(b"ps\xe2\x80\xa9utf8", path(b"t.dbf"), fields=[
                container_field(b"id"), container_field(b"nel\xc2\x85_is_a_long_field_name_here"),
                container_field(b"Name")]),
        ], shares=[(7, 6), (8, 6), (14, 6), (16, 6)]),

    # Field names of 25 characters or more: long names from the container,
    # some shaped like the report's own lines, and a dBase 7 header name of
    # 31 characters; the report replaces an older file.
    "long_field_names.bin":
        options(container=True, target=OLD_FILE)
        + entries(
            table(DATA, b"t.dbf", fields=vfp_fields(), backlink=path(b"db.dbc")),
            table(DATA, b"orders.dbf", version=0x8C, fields=[field(b"VERY_LONG_DBASE7_FIELD_NAME_ABC", "C", 10),
                                                              field(b"1) FORGED", "I", 4)]),
        )
        + container(b"db.dbc", tables=[
            container_table(b"t", path(b"t.dbf"), fields=[
                container_field(b"1) forged contents entry of length"),
                container_field(b"table name : forged    total fields : 1", b"Table Name : forged"),
                container_field(b"customer_identification_number", b"\r\n\r\nlead"),
            ]),
            container_table(b"Table Name : forged", path(b"t.dbf")),
            container_table(b"line\r\nbreak", path(b"t.dbf")),
        ]),

    # Symbolic links to a table, to a folder, dangling and looping; a hard
    # link to a table; the report asked for through a link to a table.
    "links.bin":
        options(target=IN_DATA)
        + entries(
            table(DATA, b"t.dbf", fields=vfp_fields()),
            link(DATA, b"T.DBF", BESIDE, b"t.dbf"),
            link(DATA, b"orders.dbf", TO_ASIDE),
            link(DATA, b"ORDERS.dbf", DANGLING),
            link(DATA, b"t (2).dbf", ITSELF),
            hard_link(DATA, b"x.dbf.dbf", b"t.dbf"),
            link(DATA, b"notes.txt", ABSOLUTE, b"t.dbf"),
            link(DATA, b"sub", TO_DATA),
        )
        + name(b"notes.txt"),

    # Damaged headers, raw bytes under table names, a memo with block size 0,
    # a container whose memo is a folder; the report asked for as a folder.
    "damaged_files.bin":
        options(container=True, target=A_FOLDER)
        + entries(
            table(DATA, b"t.dbf", fields=vfp_fields(), damage=truncated(40)),
            table(DATA, b"orders.dbf", fields=vfp_fields(), damage=header_length(0xFFFF)),
            raw(DATA, b"x.dbf.dbf", b"\x30" + b"\x00" * 31),
            raw(DATA, b".hidden.dbf", b""),
            memo(DATA, b"t.fpt", block_size_choice=3, payload=b"\x00\x00\x00\x01\x00\x00\x00\x04abcd"),
            table(DATA, b".dbf", version=0x02, fields=[field(b"NAME", "C", 10)]),
            table(DATA, b"dbf", version=0x04, fields=[field(b"NAME", "C", 10)]),
        )
        + container(b"DB.DBC", memo_mode=MEMO_FOLDER, tables=[container_table(b"t", path(b"t.dbf"))]),

    # Found by fuzzing: the report asked for over foxuser.dbf, a table of the
    # folder that the list leaves out, replaced it.
    "report_over_unlisted_foxuser.bin":
        options(target=IN_DATA)
        + entries(
            table(DATA, b"t.dbf", fields=[field(b"ID", "I", 4)]),
            table(DATA, b"foxuser.dbf", fields=[field(b"NAME", "C", 10)]),
        )
        + name(b"foxuser.dbf"),

    # Found by fuzzing: the report asked for through a symbolic link whose
    # target's name is not UTF-8 ("caf\xe9.dbf") lands in a new file named
    # "caf\ufffd.dbf" beside it, and the link still leads nowhere.
    "report_through_link_to_name_not_utf8.bin":
        options(target=IN_SUB)
        + entries(
            table(DATA, b"t.dbf", fields=[field(b"ID", "I", 4)]),
            link(SUB, b"t.dbf", BESIDE, b"caf\xe9.dbf"),
        )
        + name(b"t.dbf"),
}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder", type=pathlib.Path)
    folder = parser.parse_args().folder
    folder.mkdir(parents=True, exist_ok=True)
    for file_name, recipe in RECIPES.items():
        (folder / file_name).write_bytes(recipe)


if __name__ == "__main__":
    main()
