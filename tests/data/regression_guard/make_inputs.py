#!/usr/bin/env python3
"""Writes the random inputs of the regression guard (random/), from a fixed seed.

Run once; the files are kept in the tree, so that the guard does not depend on
this generator staying the same. usage: make_inputs.py (from anywhere)
"""
import pathlib
import random

HERE = pathlib.Path(__file__).resolve().parent
EXAMPLES = HERE.parent.parent.parent / "examples"
OUT = HERE / "random"


def permuted_layout(source, rng, drop_fingering):
    """The layout with its letter keys permuted (a key's two cases move together)."""
    letters = list("abcdefghijklmnopqrstuvwxyz")
    shuffled = letters[:]
    rng.shuffle(shuffled)
    mapping = {}
    for a, b in zip(letters, shuffled):
        mapping[ord(a)] = ord(b)
        mapping[ord(a.upper())] = ord(b.upper())
    lines = []
    for line in source.split(b"\n"):
        if drop_fingering and line.startswith(b"fingering:"):
            continue
        fields = line.split(b"\t")
        if len(fields) == 3:
            fields[2] = bytes(mapping.get(c, c) for c in fields[2])
            line = b"\t".join(fields)
        lines.append(line)
    return b"\n".join(lines)


def random_text(rng, items):
    pieces = []
    for _ in range(items):
        roll = rng.random()
        if roll < 0.70:
            pieces.append(chr(rng.randrange(0xAC00, 0xD7A4)))
        elif roll < 0.80:
            pieces.append(" ")
        elif roll < 0.84:
            pieces.append(rng.choice(["\n", "\r\n"]))
        elif roll < 0.90:
            pieces.append(chr(rng.randrange(0x21, 0x7F)))
        elif roll < 0.94:
            pieces.append(chr(rng.randrange(0x3131, 0x318F)))
        elif roll < 0.97:
            pieces.append(rng.choice("\u201c\u201d\u2018\u2019\u00b7\u2026"))
        else:
            pieces.append(rng.choice(["\u4e00", "\u00e9", "\U0001F600", "\u1100\u1161", "\t"]))
    return "".join(pieces)


def main():
    rng = random.Random(20261209)
    keyboard = OUT / "keyboard"
    keyboard.mkdir(parents=True, exist_ok=True)
    sources = [("2-standard.txt", False), ("3-390.txt", False), ("3-final.txt", True)]
    for number, (name, drop) in enumerate(sources, 1):
        source = (EXAMPLES / "keyboard" / name).read_bytes()
        (keyboard / f"random-{number}-{name}").write_bytes(permuted_layout(source, rng, drop))
    text = random_text(rng, 4000)
    (OUT / "text.utf8.txt").write_bytes(text.encode("utf-8"))
    (OUT / "text.johab.txt").write_bytes(text.encode("johab", errors="ignore"))
    noise = bytes(rng.choice([b for b in range(1, 256) if b != 0x1A]) for _ in range(3000))
    (OUT / "noise.txt").write_bytes(noise)


if __name__ == "__main__":
    main()
