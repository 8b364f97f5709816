#!/usr/bin/env python3
"""Writes a copy of a TrueType font with the glyphs it lacks taken from other
TrueType fonts (scripts/wine-prefix.sh says why the printer font needs it).

Usage: fallback-font.py OUT BASE FALLBACK...  (of a collection, its first font)

What the base font could already draw stays as it was: its outlines, hinting,
metrics, names and layout tables. Each character that the base lacks and a
fallback has (the first fallback that has it) gets that glyph, scaled to the
base's units per em, without hinting; a glyph wider than one and a half of the
base's advance is centred in two advances, as a wide character takes two
columns of a fixed grid. The tables that list every glyph (cmap, glyf, loca,
hmtx, hhea, maxp, post) cover the added ones; hdmx, LTSH and DSIG, which would
no longer hold, are left out. The font revision goes up by the smallest step,
so that a font mapper that meets the base and this copy takes this one.

Glyph names: Wine's PostScript driver reads the whole post table for every
character it prints, and a PDF made from its output knows a character only by
its glyph's name. Above about 96 KiB the table costs that driver more than the
printing itself, so only as many added glyphs are named as keep it below that,
in the order of NAMED_FIRST and then of the common characters of the East
Asian code pages; the others print, but a PDF cannot give them back as text.
Python's standard library alone.
"""
import struct
import sys

MOST_GLYPHS = 0xFFFF
MOST_POST_BYTES = 96 * 1024
# Named before any other added glyph: Hebrew and Arabic (with the presentation
# forms that Arabic shaping draws), Japanese kana with the CJK punctuation,
# Korean letters and the fullwidth forms.
NAMED_FIRST = ((0x0590, 0x05FF), (0xFB1D, 0xFB4F), (0x0600, 0x06FF), (0xFB50, 0xFDFF), (0xFE70, 0xFEFF),
               (0x3000, 0x30FF), (0x3130, 0x318F), (0xFF00, 0xFFEF))
# Then the Hangul syllables of KS X 1001 and the ideographs of the first levels
# of GB 2312 and JIS X 0208 (their lead bytes in EUC), the characters that names
# and everyday text use most.
COMMON_ROWS = (("euc_kr", 0xB0, 0xC8), ("gb2312", 0xB0, 0xD7), ("euc_jp", 0xB0, 0xCF))
# Composite glyph flags.
ARG_WORDS, ARGS_XY, HAS_SCALE, MORE, XY_SCALE, TWO_BY_TWO, HAS_INSTRUCTIONS = 0x1, 0x2, 0x8, 0x20, 0x40, 0x80, 0x100


def fail(message):
    sys.exit(f"fallback-font: {message}")


def read_tables(path):
    with open(path, "rb") as f:
        data = f.read()
    start = struct.unpack_from(">I", data, 12)[0] if data[:4] == b"ttcf" else 0  # a collection's first font
    version, count = struct.unpack_from(">IH", data, start)
    if version not in (0x00010000, 0x74727565):
        fail(f"{path}: not a font with TrueType outlines")
    tables = {}
    for i in range(count):
        tag, _, offset, length = struct.unpack_from(">4sIII", data, start + 12 + 16 * i)
        tables[tag.decode("latin-1")] = data[offset:offset + length]
    return tables


def read_format4(data, at):
    segments = struct.unpack_from(">H", data, at + 6)[0] // 2
    ends = struct.unpack_from(f">{segments}H", data, at + 14)
    starts = struct.unpack_from(f">{segments}H", data, at + 16 + 2 * segments)
    deltas = struct.unpack_from(f">{segments}H", data, at + 16 + 4 * segments)
    ranges_at = at + 16 + 6 * segments
    ranges = struct.unpack_from(f">{segments}H", data, ranges_at)
    mapping = {}
    for s in range(segments):
        for code in range(starts[s], min(ends[s], 0xFFFE) + 1):
            if ranges[s] == 0:
                glyph = (code + deltas[s]) & 0xFFFF
            else:
                glyph = struct.unpack_from(">H", data, ranges_at + 2 * s + ranges[s] + 2 * (code - starts[s]))[0]
                if glyph:
                    glyph = (glyph + deltas[s]) & 0xFFFF
            if glyph:
                mapping[code] = glyph
    return mapping


def read_format12(data, at):
    mapping = {}
    for i in range(struct.unpack_from(">I", data, at + 12)[0]):
        first, last, glyph = struct.unpack_from(">III", data, at + 16 + 12 * i)
        for code in range(first, last + 1):
            mapping[code] = glyph + code - first
    return mapping


UNICODE_SUBTABLES = ((3, 10), (0, 6), (0, 4), (3, 1), (0, 3), (0, 2), (0, 1), (0, 0))


def read_cmap(data, path):
    """The font's Unicode map (its fullest Unicode subtable) and its other subtables."""
    count = struct.unpack_from(">H", data, 2)[0]
    records = [struct.unpack_from(">HHI", data, 4 + 8 * i) for i in range(count)]
    subtables = {(p, e): at for p, e, at in records}
    mapping = None
    for key in UNICODE_SUBTABLES:
        if key in subtables and mapping is None:
            kind = struct.unpack_from(">H", data, subtables[key])[0]
            if kind == 12:
                mapping = read_format12(data, subtables[key])
            elif kind == 4:
                mapping = read_format4(data, subtables[key])
    if mapping is None:
        fail(f"{path}: no Unicode character map of format 4 or 12")
    others = {}
    for (platform, encoding), at in subtables.items():
        kind = struct.unpack_from(">H", data, at)[0]
        if (platform, encoding) in UNICODE_SUBTABLES and kind in (4, 12):
            continue
        if kind in (0, 2, 4, 6):
            length = struct.unpack_from(">H", data, at + 2)[0]
        elif kind in (8, 10, 12, 13, 14):
            length = struct.unpack_from(">I", data, at + (2 if kind == 14 else 4))[0]
        else:
            continue
        others[(platform, encoding)] = data[at:at + length]
    return mapping, others


class Font:
    def __init__(self, path):
        self.path = path
        self.tables = tables = read_tables(path)
        for tag in ("head", "hhea", "hmtx", "maxp", "cmap", "glyf", "loca"):
            if tag not in tables:
                fail(f"{path}: no {tag} table (a font with TrueType outlines is needed)")
        self.units = struct.unpack_from(">H", tables["head"], 18)[0]
        self.count = struct.unpack_from(">H", tables["maxp"], 4)[0]
        if struct.unpack_from(">h", tables["head"], 50)[0]:
            offsets = struct.unpack_from(f">{self.count + 1}I", tables["loca"])
        else:
            offsets = [2 * o for o in struct.unpack_from(f">{self.count + 1}H", tables["loca"])]
        glyf = tables["glyf"]
        self.glyphs = [glyf[offsets[i]:offsets[i + 1]] for i in range(self.count)]
        metrics = struct.unpack_from(">H", tables["hhea"], 34)[0]
        pairs = struct.unpack_from(f">{2 * metrics}h", tables["hmtx"])
        self.advances = [pairs[2 * i] & 0xFFFF for i in range(metrics)]
        self.advances += [self.advances[-1]] * (self.count - metrics)
        self.bearings = list(pairs[1::2]) + list(
            struct.unpack_from(f">{self.count - metrics}h", tables["hmtx"], 4 * metrics))
        self.cmap, self.other_subtables = read_cmap(tables["cmap"], path)
        self.cmap = {c: g for c, g in self.cmap.items() if 0 < g < self.count}


def unpack_points(data):
    """A simple glyph's contour ends, on-curve flags and coordinates."""
    contours = struct.unpack_from(">h", data, 0)[0]
    ends = struct.unpack_from(f">{contours}H", data, 10)
    points = ends[-1] + 1 if contours else 0
    at = 10 + 2 * contours
    at += 2 + struct.unpack_from(">H", data, at)[0]
    flags = []
    while len(flags) < points:
        flag = data[at]
        at += 1
        repeat = 1
        if flag & 8:
            repeat += data[at]
            at += 1
        flags += [flag] * repeat
    flags = flags[:points]
    coordinates = []
    for short, same in ((2, 16), (4, 32)):
        value, values = 0, []
        for flag in flags:
            if flag & short:
                value += data[at] if flag & same else -data[at]
                at += 1
            elif not flag & same:
                value += struct.unpack_from(">h", data, at)[0]
                at += 2
            values.append(value)
        coordinates.append(values)
    return ends, [flag & 1 for flag in flags], coordinates[0], coordinates[1]


def pack_points(ends, on_curve, xs, ys):
    flags, x_bytes, y_bytes = [], bytearray(), bytearray()
    last_x = last_y = 0
    for on, x, y in zip(on_curve, xs, ys):
        flag = on
        for delta, out, short, same in ((x - last_x, x_bytes, 2, 16), (y - last_y, y_bytes, 4, 32)):
            if delta == 0:
                flag |= same
            elif -255 <= delta <= 255:
                flag |= short | (same if delta > 0 else 0)
                out.append(abs(delta))
            else:
                out += struct.pack(">h", delta)
        last_x, last_y = x, y
        flags.append(flag)
    packed = bytearray()
    i = 0
    while i < len(flags):
        run = 1
        while i + run < len(flags) and flags[i + run] == flags[i] and run < 256:
            run += 1
        if run > 1:
            packed += bytes((flags[i] | 8, run - 1))
        else:
            packed.append(flags[i])
        i += run
    box = (min(xs), min(ys), max(xs), max(ys)) if xs else (0, 0, 0, 0)
    head = struct.pack(f">h4h{len(ends)}HH", len(ends), *box, *ends, 0)
    return head + bytes(packed) + bytes(x_bytes) + bytes(y_bytes)


class Merger:
    def __init__(self, base):
        self.base = base
        self.glyphs = list(base.glyphs)
        self.advances = list(base.advances)
        self.bearings = list(base.bearings)
        self.cmap = dict(base.cmap)
        self.names = {}  # added glyph -> the name it would have in post
        self.copied = {}  # (fallback path, glyph, shift) -> glyph in the merged font
        self.sizes = {}  # added glyph -> (points, contours, components, depth)
        digit = base.cmap.get(0x30)
        self.column = base.advances[digit] if digit else struct.unpack_from(">h", base.tables["OS/2"], 2)[0]

    def add(self, font):
        scale = self.base.units / font.units
        for code in sorted(font.cmap):
            if code in self.cmap or code < 0x20 or 0x7F <= code < 0xA0 or 0xE000 <= code <= 0xF8FF \
                    or code >= 0xF0000:
                continue
            source = font.cmap[code]
            advance = round(font.advances[source] * scale)
            shift = 0
            if advance > 1.5 * self.column:
                shift = (2 * self.column - advance) // 2
                advance = 2 * self.column
            glyph = self.copy(font, source, scale, shift, advance)
            if glyph is None:
                print(f"fallback-font: glyphs full; characters from U+{code:04X} of {font.path} left out",
                      file=sys.stderr)
                return
            self.cmap[code] = glyph
            self.names.setdefault(glyph, f"u{code:04X}")  # as short as a name that gives the character

    def copy(self, font, source, scale, shift, advance=None):
        key = (font.path, source, shift)
        if key in self.copied:
            return self.copied[key]
        data = font.glyphs[source]
        if len(data) >= 10 and struct.unpack_from(">h", data, 0)[0] < 0:
            data, size = self.copy_composite(font, data, scale, shift)
            if data is None:
                return None
        elif len(data) >= 10:
            ends, on_curve, xs, ys = unpack_points(data)
            data = pack_points(ends, on_curve, [round(x * scale) + shift for x in xs], [round(y * scale) for y in ys])
            size = (len(xs), len(ends), 0, 0)
        else:
            data, size = b"", (0, 0, 0, 0)
        if len(self.glyphs) >= MOST_GLYPHS:
            return None
        glyph = len(self.glyphs)
        self.glyphs.append(data)
        self.advances.append(round(font.advances[source] * scale) if advance is None else advance)
        self.bearings.append(struct.unpack_from(">h", data, 2)[0] if data else 0)
        self.sizes[glyph] = size
        self.copied[key] = glyph
        return glyph

    def copy_composite(self, font, data, scale, shift):
        at, parts, points, contours, depth = 10, bytearray(), 0, 0, 0
        components = 0
        while True:
            flags, source = struct.unpack_from(">HH", data, at)
            at += 4
            xy = flags & ARGS_XY
            if flags & ARG_WORDS:
                first, second = struct.unpack_from(">hh" if xy else ">HH", data, at)
                at += 4
            else:
                first, second = struct.unpack_from(">bb" if xy else ">BB", data, at)
                at += 2
            transform = 2 if flags & HAS_SCALE else 4 if flags & XY_SCALE else 8 if flags & TWO_BY_TWO else 0
            matrix = data[at:at + transform]
            at += transform
            glyph = self.copy(font, source, scale, 0)
            if glyph is None:
                return None, None
            size = self.sizes.get(glyph, (0, 0, 0, 0))
            points, contours, components = points + size[0], contours + size[1], components + 1
            depth = max(depth, size[3] + 1)
            if xy:
                first, second = round(first * scale) + shift, round(second * scale)
                words = not (-128 <= first <= 127 and -128 <= second <= 127)
                args = struct.pack(">hh" if words else ">bb", first, second)
            else:
                words = first > 255 or second > 255
                args = struct.pack(">HH" if words else ">BB", first, second)
            new_flags = flags & ~(ARG_WORDS | HAS_INSTRUCTIONS) | (ARG_WORDS if words else 0)
            parts += struct.pack(">HH", new_flags, glyph) + args + matrix
            if not flags & MORE:
                break
        box = struct.unpack_from(">4h", data, 2)
        box = (round(box[0] * scale) + shift, round(box[1] * scale), round(box[2] * scale) + shift,
               round(box[3] * scale))
        return struct.pack(">h4h", -1, *box) + bytes(parts), (points, contours, components, depth)

    # --- writing -------------------------------------------------------------------------------

    def cmap_table(self):
        runs = []  # [first code, last code, first glyph]
        for code in sorted(self.cmap):
            glyph = self.cmap[code]
            if runs and runs[-1][1] + 1 == code and runs[-1][2] + code - runs[-1][0] == glyph:
                runs[-1][1] = code
            else:
                runs.append([code, code, glyph])
        groups = b"".join(struct.pack(">III", *run) for run in runs)
        format12 = struct.pack(">HHIII", 12, 0, 16 + len(groups), 0, len(runs)) + groups
        bmp = [run for run in runs if run[0] <= 0xFFFE]
        bmp = [[first, min(last, 0xFFFE), glyph] for first, last, glyph in bmp] + [[0xFFFF, 0xFFFF, 0]]
        segments = len(bmp)
        format4 = None
        if 16 + 8 * segments <= 0xFFFF:
            search = 1
            while search * 2 <= segments:
                search *= 2
            log = search.bit_length() - 1
            format4 = struct.pack(">7H", 4, 16 + 8 * segments, 0, 2 * segments, 2 * search, log,
                                  2 * segments - 2 * search)
            format4 += struct.pack(f">{segments}H", *(last for _, last, _ in bmp)) + b"\0\0"
            format4 += struct.pack(f">{segments}H", *(first for first, _, _ in bmp))
            format4 += struct.pack(f">{segments}H", *(((glyph - first) & 0xFFFF if first != 0xFFFF else 1)
                                                      for first, _, glyph in bmp))
            format4 += bytes(2 * segments)
        subtables = dict(self.base.other_subtables)
        subtables[(0, 4)] = subtables[(3, 10)] = format12
        if format4 is not None:
            subtables[(0, 3)] = subtables[(3, 1)] = format4
        keys = sorted(subtables)
        body, offsets, placed = bytearray(), {}, {}
        start = 4 + 8 * len(keys)
        for key in keys:
            data = subtables[key]
            if id(data) not in placed:
                placed[id(data)] = start + len(body)
                body += data
                body += bytes(-len(body) % 4)
            offsets[key] = placed[id(data)]
        head = struct.pack(">HH", 0, len(keys)) + b"".join(struct.pack(">HHI", p, e, offsets[(p, e)]) for p, e in keys)
        return head + bytes(body)

    def naming_order(self):
        """Characters in the order their added glyphs get names."""
        common = []
        for codec, first, last in COMMON_ROWS:
            for lead in range(first, last + 1):
                for trail in range(0xA1, 0xFF):
                    try:
                        common += [ord(c) for c in bytes((lead, trail)).decode(codec)]
                    except UnicodeDecodeError:
                        pass
        return [c for first, last in NAMED_FIRST for c in range(first, last + 1)] + common + sorted(self.cmap)

    def name_glyphs(self, post):
        """Moves the added glyphs that get a name right behind the base's, as many as
        the post table may hold; returns how many."""
        count = self.base.count
        if struct.unpack_from(">I", post, 0)[0] != 0x00020000:
            return 0  # no names in the base either
        room = MOST_POST_BYTES - len(post)
        named, chosen = [], set()
        for code in self.naming_order():
            glyph = self.cmap.get(code, 0)
            if glyph < count or glyph in chosen:
                continue
            room -= 3 + len(self.names[glyph])  # its index, length and letters
            if room < 0:
                break
            named.append(glyph)
            chosen.add(glyph)
        order = list(range(count)) + named + [g for g in range(count, len(self.glyphs)) if g not in chosen]
        new = {old: index for index, old in enumerate(order)}
        self.glyphs = [renumber(self.glyphs[g], new) if g >= count else self.glyphs[g] for g in order]
        self.advances = [self.advances[g] for g in order]
        self.bearings = [self.bearings[g] for g in order]
        self.cmap = {code: new[glyph] for code, glyph in self.cmap.items()}
        self.sizes = {new[glyph]: size for glyph, size in self.sizes.items()}
        self.names = {new[glyph]: self.names[glyph] for glyph in named}
        return len(named)

    def post_table(self, post, named):
        if struct.unpack_from(">I", post, 0)[0] != 0x00020000:
            return post
        count = struct.unpack_from(">H", post, 32)[0]
        indexes = list(struct.unpack_from(f">{count}H", post, 34))
        strings = post[34 + 2 * count:]
        custom, at = 0, 0
        while at < len(strings):
            at += 1 + strings[at]
            custom += 1
        added = bytearray()
        for glyph in range(count, count + named):
            name = self.names[glyph].encode("ascii")
            indexes.append(258 + custom + glyph - count)
            added += bytes((len(name),)) + name
        # Glyphs past the table's count have no name: Wine's driver calls them g<index>.
        return post[:32] + struct.pack(f">H{len(indexes)}H", len(indexes), *indexes) + strings + bytes(added)

    def maxp_table(self, maxp):
        if struct.unpack_from(">I", maxp, 0)[0] != 0x00010000:
            return struct.pack(">IH", 0x00005000, len(self.glyphs))
        fields = list(struct.unpack_from(">13H", maxp, 6))
        for points, contours, components, depth in self.sizes.values():
            if components:
                fields[2], fields[3] = max(fields[2], points), max(fields[3], contours)
                fields[11], fields[12] = max(fields[11], components), max(fields[12], depth)
            else:
                fields[0], fields[1] = max(fields[0], points), max(fields[1], contours)
        return struct.pack(">IH13H", 0x00010000, len(self.glyphs), *fields) + maxp[32:]

    def write(self, path):
        tables = {tag: data for tag, data in self.base.tables.items() if tag not in ("hdmx", "LTSH", "DSIG")}
        named = self.name_glyphs(tables["post"]) if "post" in tables else 0
        glyf, offsets = bytearray(), []
        for data in self.glyphs:
            offsets.append(len(glyf))
            glyf += data
            glyf += bytes(-len(glyf) % 4)
        offsets.append(len(glyf))
        tables["glyf"] = bytes(glyf)
        tables["loca"] = struct.pack(f">{len(offsets)}I", *offsets)
        tables["hmtx"] = b"".join(struct.pack(">Hh", a, b) for a, b in zip(self.advances, self.bearings))
        hhea = bytearray(tables["hhea"])
        struct.pack_into(">H", hhea, 10, max(self.advances))
        struct.pack_into(">H", hhea, 34, len(self.glyphs))
        tables["hhea"] = bytes(hhea)
        tables["maxp"] = self.maxp_table(tables["maxp"])
        tables["cmap"] = self.cmap_table()
        if "post" in tables:
            tables["post"] = self.post_table(tables["post"], named)
        head = bytearray(tables["head"])
        boxes = [struct.unpack_from(">4h", g, 2) for g in self.glyphs if g]
        box = (min(b[0] for b in boxes), min(b[1] for b in boxes), max(b[2] for b in boxes), max(b[3] for b in boxes))
        struct.pack_into(">I", head, 4, struct.unpack_from(">I", head, 4)[0] + 1)  # font revision
        struct.pack_into(">I", head, 8, 0)  # checksum adjustment, set below
        struct.pack_into(">4h", head, 36, *box)
        struct.pack_into(">h", head, 50, 1)  # long loca offsets
        tables["head"] = bytes(head)

        tags = sorted(tables)
        search = 1
        while search * 2 <= len(tags):
            search *= 2
        out = bytearray(struct.pack(">IHHHH", 0x00010000, len(tags), 16 * search, search.bit_length() - 1,
                                    16 * (len(tags) - search)))
        at = len(out) + 16 * len(tags)
        body = bytearray()
        for tag in tags:
            data = tables[tag]
            out += struct.pack(">4sIII", tag.encode("latin-1"), checksum(data), at + len(body), len(data))
            body += data
            body += bytes(-len(body) % 4)
        out += body
        head_at = at + sum(len(tables[t]) + (-len(tables[t]) % 4) for t in tags[:tags.index("head")])
        struct.pack_into(">I", out, head_at + 8, (0xB1B0AFBA - checksum(out)) & 0xFFFFFFFF)
        with open(path, "wb") as f:
            f.write(out)
        return named


def renumber(glyph, new):
    """A composite glyph with its components' indexes mapped through `new`."""
    if len(glyph) < 10 or struct.unpack_from(">h", glyph, 0)[0] >= 0:
        return glyph
    glyph, at = bytearray(glyph), 10
    while True:
        flags, component = struct.unpack_from(">HH", glyph, at)
        struct.pack_into(">H", glyph, at + 2, new[component])
        at += 4 + (4 if flags & ARG_WORDS else 2)
        at += 2 if flags & HAS_SCALE else 4 if flags & XY_SCALE else 8 if flags & TWO_BY_TWO else 0
        if not flags & MORE:
            return bytes(glyph)


def checksum(data):
    data = bytes(data) + bytes(-len(data) % 4)
    return sum(struct.unpack(f">{len(data) // 4}I", data)) & 0xFFFFFFFF


def main(argv):
    if len(argv) < 3:
        sys.exit(__doc__.split("\n\n")[1])
    out, base, fallbacks = argv[0], argv[1], argv[2:]
    merger = Merger(Font(base))
    for path in fallbacks:
        merger.add(Font(path))
    named = merger.write(out)
    added = len(merger.glyphs) - merger.base.count
    print(f"fallback-font: {out}: {merger.base.count} glyphs of {base}, {added} added "
          f"for {len(merger.cmap) - len(merger.base.cmap)} characters, {named} of them named")


if __name__ == "__main__":
    main(sys.argv[1:])
