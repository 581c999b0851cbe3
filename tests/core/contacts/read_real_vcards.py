#!/usr/bin/env python3
"""Reads every .vcf file in a folder with vobject, an independent reader, and
prints, as JSON, what each card gives the fields Banterly fills:
{"file.vcf": [{"chat": ..., "real": ..., "email": ..., "web": ..., "notes": ...,
"leftOut": [...]}, ...], ...}

Usage: read_real_vcards.py FOLDER
"""
import json
import os
import re
import sys

import vobject

LEFT_OUT = {"tel": "PhoneNumbers", "adr": "Addresses", "label": "Addresses",
            "bday": "Birthdays", "org": "Organisations", "title": "Organisations",
            "photo": "Photos", "impp": "MessengerNames", "x-aim": "MessengerNames",
            "x-icq": "MessengerNames", "x-jabber": "MessengerNames",
            "x-msn": "MessengerNames", "x-yahoo": "MessengerNames",
            "x-skype": "MessengerNames", "x-gtalk": "MessengerNames",
            "x-qq": "MessengerNames"}


def rank(line):
    """Lower is preferred: PREF=n, TYPE=PREF (or a bare PREF) is 1."""
    best = 1000
    for key, values in line.params.items():
        if key.upper() == "PREF":
            try:
                best = min(best, int(values[0]))
            except ValueError:
                pass
        elif key.upper() == "TYPE" and any(v.upper() == "PREF" for v in values):
            best = min(best, 1)
    if any(v.upper() == "PREF" for v in line.singletonparams):
        best = min(best, 1)
    return best


def text(value):
    """A field's text: line breaks become one blank, other control
    characters go."""
    if isinstance(value, list):
        value = ",".join(value)
    value = str(value)
    value = re.sub(r"\r\n|\r|\n", " ", value)
    value = value.replace("\\:", ":").replace('\\"', '"')
    return "".join(c for c in value if ord(c) >= 32 and c != "\ufeff")


def best(card, name):
    lines = [l for l in card.lines() if l.name.lower() == name]
    chosen = None
    for l in lines:
        if not str(l.value if not isinstance(l.value, list) else ",".join(l.value)).strip():
            continue
        if chosen is None or rank(l) < rank(chosen):
            chosen = l
    return "" if chosen is None else text(chosen.value)


def real_name(card):
    fn = best(card, "fn")
    if fn:
        return fn
    for l in card.lines():
        if l.name.lower() == "n":
            n = l.value
            given = text(n.given).strip()
            family = text(n.family).strip()
            return (given + " " + family).strip() if given and family else given + family
    return ""


def read(path):
    cards = []
    with open(path, encoding="utf-8", newline="") as f:
        for card in vobject.readComponents(f.read()):
            names = {l.name.lower() for l in card.lines()}
            emails = sum(1 for l in card.lines() if l.name.lower() == "email")
            left = sorted({LEFT_OUT[n] for n in names if n in LEFT_OUT} |
                          ({"MoreEmails"} if emails > 1 else set()))
            cards.append({"chat": best(card, "nickname"), "real": real_name(card),
                          "email": best(card, "email"), "web": best(card, "url"),
                          "notes": best(card, "note"), "leftOut": left})
    return cards


folder = sys.argv[1]
print(json.dumps({name: read(os.path.join(folder, name))
                  for name in sorted(os.listdir(folder)) if name.endswith(".vcf")},
                 ensure_ascii=False, indent=1))
