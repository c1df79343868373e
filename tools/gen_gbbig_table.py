#!/usr/bin/python3
"""Generates src/codeconv/gbbig_table.cpp, the built-in GB/Big5 pair table of GBBIG.

How to run it again (Debian 12):
    apt-get install icu-devtools unicode-data opencc
    /usr/bin/python3 tools/gen_gbbig_table.py            # rewrites src/codeconv/gbbig_table.cpp
    /usr/bin/python3 tools/gen_gbbig_table.py --check    # only compares with the committed file

Data (all from Debian packages, read at generation time only; the build needs none of it):
  - icu-devtools `uconv`: windows-950-2000 (Big5 code -> Unicode) and windows-936-2000 (Unicode -> GBK).
  - opencc (libopencc-data) TSCharacters.ocd2, dumped with `opencc_dict`: traditional -> simplified.
  - unicode-data Unihan_Variants.txt.bz2: kSimplifiedVariant, and the variant fields that back the
    curated variant pairs below.

Each Big5 code X of the standard set gets the GBK code of one character, decided in this order:
  1. F9D6-F9DC pair with 0x3F3F ("??").
  2. The four Big5 symbols that GBK lacks take a look-alike (SYMBOL_LOOKALIKES).
  3. The runs the table's rules list (RUNS_54, FOUR_MEMBER_RUNS) are taken exactly as written.
  4. The curated lists below (variant merges, retargets, kept characters).
  5. Otherwise OpenCC's first simplified form, else Unihan's first kSimplifiedVariant, when it has a
     GBK code and is not the GB character of a listed run; else the character itself.
The curated lists exist to meet the table's required counts (same/simplified, GB2312 area, repeated GB
codes); every pair in them is backed by Unihan variant data, which the script checks.
Run order in GBToBig5Table: the first member named for the 54 listed runs, otherwise ascending
Big5 code.
"""
import bz2
import collections
import os
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUTPUT = os.path.join(ROOT, "src", "codeconv", "gbbig_table.cpp")
UNIHAN_VARIANTS = "/usr/share/unicode/Unihan_Variants.txt.bz2"
OPENCC_TS = "/usr/share/opencc/TSCharacters.ocd2"

# The listed runs of repeated GB codes: GB character -> Big5 characters of its run, the produced one first.
RUNS_54 = (
    "辟 闢辟, 并 並并併, 采 採采埰, 虫 蟲虫, 雕 雕彫, 吊 吊弔, 端 端耑, 儿 兒儿, 翻 翻繙, 范 範范, "
    "泛 泛氾汎, 丰 豐丰, 杠 槓杠, 构 構搆构, 挂 掛挂, 管 管琯, 后 後后, 划 劃划, 坏 壞坏, 几 幾几, "
    "荐 薦荐, 姜 薑姜, 杰 傑杰, 馈 饋餽, 历 歷曆厤, 璃 璃琍, 帘 簾帘, 敛 歛斂, 秘 秘祕, 啮 嚙齧, "
    "扑 撲扑, 仆 僕仆, 凄 淒悽凄, 球 球毬, 晒 曬晒, 湿 濕溼, 尸 屍尸, 虱 蝨虱, 苏 蘇甦囌, 酸 酸痠, "
    "听 聽听, 喂 餵喂, 污 污汙, 纤 纖縴, 咸 鹹咸, 衔 銜啣, 闲 閒閑, 恤 恤卹, 熏 薰燻熏, 烟 煙菸, "
    "涌 湧涌, 愿 願愿, 征 徵征, 证 證証")
FOUR_MEMBER_RUNS = "干 干乾幹榦, 蒙 蒙濛矇懞, 盘 槃碟盤磐, 台 台臺颱檯, 燕 燕讌醼鷰"

# Big5 symbols with no GBK form (windows-950-2000 -> windows-936-2000): the nearest GBK symbol.
# U+00AF takes ICU's own fallback; the others the look-alike glyph.
SYMBOL_LOOKALIKES = {
    0xA145: "·",  # U+2027 hyphenation point -> middle dot
    0xA15A: "＿",  # U+2574 box drawings light left -> full-width low line
    0xA1C2: "ˉ",  # U+00AF macron -> modifier letter macron
    0xA1C5: "＿",  # U+02CD modifier letter low macron -> full-width low line
}

# Rare Big5 variants (outside GB2312) merged into the GB2312 character of their common form, as old
# conversion tables do (the listed runs hold such pairs: 琯 -> 管, 毬 -> 球). Chosen among Unihan
# kSemanticVariant pairs whose form sits below the variant in Big5, so GB -> Big5 still gives the
# common form; as many of each kind as the counts of repeated GB codes need. "XY" means X -> Y.
VARIANT_MERGES = (
    # into a character that no other Big5 code shares
    "牠它 阬坑 妳你 觔斤 倣仿 珪圭 祐佑 迺乃 偺咱 隄堤 煖暖 瑯琅 貍狸 箠捶 頫俯 彊强 燄焰 濬浚 "
    "賸剩 櫂棹 簷檐 藷薯 籐藤 尒尔 幵开 扞捍 朳杷 艸草 伭玄 厎砥 坋坌 抌舀 攷考 杇圬 灴烘 肕韧 "
    "肐胳 邠豳 侅赅 侚殉 刱创 匊掬 匋陶 呡吻 坵丘 弢韬 怳恍 杸殳 甿氓 俓径 茍苟 咷啕 毘毗 玅妙 "
    "秏耗 耏耐 胑肢 芔卉 苺莓 埇甬 尃敷 欬咳 氥氙 烝蒸 瓟匏 窌窖 笓篦 荅答 虓唬 蚘蛔 偪逼 埜野 "
    # into a character that one other Big5 code already shares
    "瘉愈 卍万 侂托 怌怀 啍吨 喿噪 樻柜 檴获 罋瓮 "
    # two variants into the same character
    "砲炮 炰炮 拏拿 挐拿 啗啖 噉啖 徬彷 髣彷 呠喷 歕喷 埶艺 蓺艺 觕粗 麤粗 欼啜 歠啜 罃罂 甖罂 "
    # into a GB2312 variant that no Big5 code uses otherwise
    "郤郄 臞癯 蟺蟮 畽疃 蓧莜")

# Simplifications whose default form lies outside GB2312, taken to the GB2312 form instead.
RETARGETS = "鉋刨 篠筱 鎔熔 薴苎 穭稆 諮谘 鏇镟 鉅钜 鍾锺"

# Rare characters whose simplified form is neither in GB2312 nor in the 2013 general standard list
# (Unihan kTGH): GBK holds the character itself, which is kept. There are 42 such characters; the
# first 20 in Big5 order (besides those in RETARGETS) are kept, as many as the same/simplified and
# GB2312 counts need.
KEEP_SAME = "涗敓揯樧挩飣啢掗閈飥鈒搵萴嘓銛槮槼槶鋩餖"

TARGET_COUNTS = dict(pairs=13468, same=10724, simplified=2737, gb2312=7201, other_gbk=6260,
                     distinct_gb=13038, once=12659, twice=337, thrice=36, four=5, qq=7)


def big5_codes():
    codes = []
    for lead in range(0xA1, 0xFA):
        for trail in list(range(0x40, 0x7F)) + list(range(0xA1, 0xFF)):
            code = lead * 256 + trail
            if 0xA140 <= code <= 0xA3BF or 0xA440 <= code <= 0xC67E or 0xC940 <= code <= 0xF9DC:
                codes.append(code)
    return codes


def uconv(args, data):
    return subprocess.run(["uconv", "--no-fallback"] + args, input=data, capture_output=True,
                          check=True).stdout


def decode_big5(codes):
    out = uconv(["-f", "windows-950-2000", "-t", "UTF-8", "--from-callback", "escape-unicode"],
                b"".join(bytes([c >> 8, c & 255]) + b"\n" for c in codes)).decode().split("\n")[:-1]
    assert len(out) == len(codes) and all(len(ch) == 1 for ch in out), "windows-950-2000 gap"
    return dict(zip(codes, out))


def encode_gbk(chars):
    chars = sorted(chars)
    out = uconv(["-f", "UTF-8", "-t", "windows-936-2000", "--to-callback", "skip"],
                "".join(ch + "\n" for ch in chars).encode()).split(b"\n")[:-1]
    assert len(out) == len(chars)
    return {ch: (b[0] * 256 + b[1] if len(b) == 2 else None) for ch, b in zip(chars, out)}


def load_unihan_variants():
    var = collections.defaultdict(lambda: collections.defaultdict(list))
    with bz2.open(UNIHAN_VARIANTS, "rt", encoding="utf-8") as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            cp, field, values = line.rstrip("\n").split("\t")
            for v in values.split():
                var[chr(int(cp[2:], 16))][field].append(chr(int(v.split("<")[0][2:], 16)))
    return var


def load_opencc_ts():
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "ts.txt")
        subprocess.run(["opencc_dict", "-i", OPENCC_TS, "-o", path, "-f", "ocd2", "-t", "text"],
                       check=True, capture_output=True)
        ts = {}
        with open(path, encoding="utf-8") as f:
            for line in f:
                key, values = line.rstrip("\n").split("\t")
                ts[key] = values.split()
        return ts


def parse_runs(text):
    return [(gb, list(members)) for gb, members in (item.split() for item in text.split(", "))]


def pairs_of(text):
    return [(item[0], item[1]) for item in text.split()]


def related(var, ts, a, b):
    """True when Unihan (or OpenCC) links a and b through a variant relation, directly or via one step."""
    fields = ("kSimplifiedVariant", "kTraditionalVariant", "kSemanticVariant",
              "kSpecializedSemanticVariant", "kZVariant")

    def near(x):
        out = {x}
        for f in fields:
            out.update(var[x][f])
        out.update(ts.get(x, []))
        return out
    return b in near(a) or a in near(b) or any(b in near(m) for m in near(a))


def in_gb2312_area(code):
    return 0xA1 <= code >> 8 <= 0xF7 and (code & 0xFF) >= 0xA1


def build():
    codes = big5_codes()
    b5 = decode_big5(codes)
    var = load_unihan_variants()
    ts = load_opencc_ts()
    runs = parse_runs(RUNS_54)
    four = parse_runs(FOUR_MEMBER_RUNS)
    merges = dict(pairs_of(VARIANT_MERGES))
    retargets = dict(pairs_of(RETARGETS))
    keep = set(KEEP_SAME)

    needed = set(b5.values()) | set(SYMBOL_LOOKALIKES.values()) | set(merges.values())
    needed |= set(retargets.values()) | {gb for gb, _ in runs + four}
    for ch in b5.values():
        needed.update(ts.get(ch, []))
        needed.update(var[ch]["kSimplifiedVariant"])
    gbk = encode_gbk(needed)

    forced = {}
    first_of_run = set()
    for gb, members in runs + four:
        for m in members:
            forced[m] = gb
    for gb, members in runs:
        first_of_run.add(members[0])
    run_gb = {gb for gb, _ in runs + four}

    for x, y in list(merges.items()) + list(retargets.items()):
        assert gbk.get(y), f"{y} has no GBK code"
        assert related(var, ts, x, y), f"{x}->{y} is not backed by variant data"

    def default_target(ch):
        for s in ts.get(ch, []) + var[ch]["kSimplifiedVariant"]:
            if s == ch:
                return ch
            if gbk.get(s):
                return ch if s in run_gb else s
        return ch

    table = []  # (gb, big5, same)
    for code in codes:
        ch = b5[code]
        if code >= 0xF9D6:
            table.append((0x3F3F, code, False))
            continue
        if code in SYMBOL_LOOKALIKES:
            table.append((gbk[SYMBOL_LOOKALIKES[code]], code, False))
            continue
        if ch in forced:
            target = forced[ch]
        elif ch in merges:
            target = merges[ch]
        elif ch in retargets:
            target = retargets[ch]
        elif ch in keep:
            target = ch
        else:
            target = default_target(ch)
        assert gbk.get(target), f"no GBK code for {target} (Big5 {code:04X})"
        table.append((gbk[target], code, target == ch))
    return table, b5, runs, four, first_of_run, gbk


def check(table, b5, runs, four, first_of_run, gbk):
    """Checks the table's rules; returns the counts."""
    big5_sorted = sorted(table, key=lambda p: p[1])
    assert [p[1] for p in big5_sorted] == big5_codes()
    by_gb = collections.defaultdict(list)
    for gb, big5, _ in table:
        by_gb[gb].append(big5)
    real = [p for p in table if p[0] != 0x3F3F]
    mult = collections.Counter(len(v) for gb, v in by_gb.items() if gb != 0x3F3F)
    counts = dict(pairs=len(table), same=sum(1 for p in real if p[2]),
                  simplified=sum(1 for p in real if not p[2]),
                  gb2312=sum(1 for p in real if in_gb2312_area(p[0])),
                  other_gbk=sum(1 for p in real if not in_gb2312_area(p[0])),
                  distinct_gb=len(by_gb), once=mult[1], twice=mult[2], thrice=mult[3], four=mult[4],
                  qq=len(by_gb[0x3F3F]))
    assert max(mult) <= 4, f"run longer than four: {mult}"
    big5_of = {ch: code for code, ch in b5.items() if code < 0xF9D6}
    for gb, members in runs + four:
        got = sorted(by_gb[gbk[gb]])
        assert got == sorted(big5_of[m] for m in members), f"run of {gb}: {[b5[c] for c in got]}"
    return counts


def ordered_gb_table(table, b5, first_of_run):
    def key(p):
        return (p[0], 0 if b5[p[1]] in first_of_run and p[1] < 0xF9D6 else 1, p[1])
    return [(gb, big5) for gb, big5, _ in sorted(table, key=key)]


def render(gb_table):
    big5_table = sorted(((big5, gb) for gb, big5 in gb_table))

    def rows(pairs):
        lines = []
        for i in range(0, len(pairs), 6):
            lines.append("    " + " ".join("{0x%04X, 0x%04X}," % p for p in pairs[i:i + 6]))
        return "\n".join(lines)
    return f"""// Generated by tools/gen_gbbig_table.py; do not edit. See that script to regenerate.
// The {len(gb_table)} GB/Big5 pairs of the built-in table, in both orders.
#include "codeconv/gbbig.h"

namespace velm::gbbig_data {{

// (GB code, Big5 code), ascending by GB code; the first of a run is the conversion result.
extern const GBBig5Pair kGBToBig5[{len(gb_table)}] = {{
{rows([(gb, big5) for gb, big5 in gb_table])}
}};

// (GB code, Big5 code), strictly ascending by Big5 code.
extern const GBBig5Pair kBig5ToGB[{len(big5_table)}] = {{
{rows([(gb, big5) for big5, gb in big5_table])}
}};

}} // namespace velm::gbbig_data
"""


def main():
    table, b5, runs, four, first_of_run, gbk = build()
    counts = check(table, b5, runs, four, first_of_run, gbk)
    for name, target in TARGET_COUNTS.items():
        mark = "" if counts[name] == target else "   <-- differs"
        print(f"{name:12} {counts[name]:6} (required: {target}){mark}")
    text = render(ordered_gb_table(table, b5, first_of_run))
    if "--check" in sys.argv:
        with open(OUTPUT, encoding="utf-8") as f:
            same = f.read() == text
        print("committed table is up to date" if same else "committed table DIFFERS")
        return 0 if same else 1
    with open(OUTPUT, "w", encoding="utf-8") as f:
        f.write(text)
    print("wrote", os.path.relpath(OUTPUT, ROOT))
    return 0


if __name__ == "__main__":
    sys.exit(main())
