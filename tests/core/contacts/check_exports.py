#!/usr/bin/env python3
"""Reads a vCard file and a CSV file written by Banterly with vobject and
Python's csv module, and checks them against the contacts they were made
from (expected.json: one list of 82 field texts per contact).

Usage: check_exports.py contacts.vcf contacts.csv expected.json
"""
import csv
import io
import json
import sys

import vobject

REAL = 26
STANDARD = {"fn": REAL, "nickname": 24, "email": 40, "url": 41, "note": 18, "x-gender": 25,
            "uid": 1}
EXTRA = {"x-banterly-met-at": 55, "x-banterly-age": 79, "x-banterly-height": 42,
         "x-banterly-weight": 60, "x-banterly-hair": 59, "x-banterly-eyes": 61}
CARD_FIELDS = [18, 24, 25, 26, 40, 41, 42, 55, 59, 60, 61, 79]
CSV_COLUMNS = ["Chat Name", "Real Name", "Met At", "E-mail", "Web Site", "Age", "Sex",
               "Height", "Weight", "Hair", "Eyes", "Notes"]
CSV_FIELDS = [24, 26, 55, 40, 41, 79, 25, 42, 60, 59, 61, 18]


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def check_vcard(path, expected):
    raw = open(path, "rb").read()
    for number, line in enumerate(raw.split(b"\r\n")[:-1], 1):
        if len(line) > 75:
            fail(f"vCard line {number} is {len(line)} bytes long")
        line.decode("utf-8")
    cards = list(vobject.readComponents(raw.decode("utf-8"), validate=True))
    if len(cards) != len(expected):
        fail(f"{len(cards)} cards, expected {len(expected)}")
    for card, fields in zip(cards, expected):
        if card.version.value != "3.0":
            fail("not a 3.0 card")
        if "n" not in card.contents:
            fail("card without N")
        got = {}
        for name, lines in card.contents.items():
            value = lines[0].value
            if name in STANDARD:
                got[STANDARD[name]] = value
            elif name in EXTRA:
                got[EXTRA[name]] = value
            elif name.startswith("x-banterly-field-"):
                got[int(name[len("x-banterly-field-"):])] = value
        for index in range(1, 82):
            want = fields[index]
            if got.get(index, "") != want:
                fail(f"vCard field {index}: {got.get(index, '')!r} != {want!r}")
        if 0 in got:
            fail("the ID was written")
        family, given = card.n.value.family, card.n.value.given
        if " ".join(fields[REAL].split()) != " ".join(filter(None, [given, family])):
            fail(f"N {given!r} {family!r} does not match FN {fields[REAL]!r}")


def check_csv(path, expected):
    raw = open(path, "rb").read()
    if not raw.startswith(b"\xef\xbb\xbf"):
        fail("CSV without byte-order mark")
    rows = list(csv.reader(io.StringIO(raw.decode("utf-8-sig"), newline="")))
    if rows[0] != CSV_COLUMNS:
        fail(f"CSV header {rows[0]}")
    if len(rows) - 1 != len(expected):
        fail(f"{len(rows) - 1} rows, expected {len(expected)}")
    for row, fields in zip(rows[1:], expected):
        if row != [fields[i] for i in CSV_FIELDS]:
            fail(f"CSV row {row}")


def main():
    vcf, csv_path, expected_path = sys.argv[1:4]
    expected = json.load(open(expected_path, encoding="utf-8"))
    check_vcard(vcf, expected)
    check_csv(csv_path, expected)
    print(f"{len(expected)} cards and {len(expected)} rows match")


if __name__ == "__main__":
    main()
