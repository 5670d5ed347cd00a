#!/usr/bin/env python3
"""Rewrites the scale points of enumerated LV2 parameters from 0..1 into their plain range.

JUCE 7.0.5 writes each scale point's rdf:value as a normalised position while the parameter's
lv2:minimum/lv2:maximum are plain values, so hosts would pair every label with the wrong value.
"""
import re
import sys

path = sys.argv[1]
with open(path, encoding="utf-8") as f:
    text = f.read()

def fix_block(block: str) -> str:
    if "lv2:enumeration" not in block:
        return block
    low = re.search(r"lv2:minimum\s+([-0-9.eE]+)", block)
    high = re.search(r"lv2:maximum\s+([-0-9.eE]+)", block)
    if not low or not high:
        return block
    lo, hi = float(low.group(1)), float(high.group(1))

    def plain(match: re.Match) -> str:
        value = lo + float(match.group(1)) * (hi - lo)
        return f"rdf:value {round(value, 6):g} ;"

    return re.sub(r"rdf:value\s+([-0-9.eE]+)\s*;", plain, block)

blocks = re.split(r"(?<=\.\n)\n", text)
fixed = "\n".join(fix_block(b) for b in blocks)
if fixed != text:
    with open(path, "w", encoding="utf-8") as f:
        f.write(fixed)
