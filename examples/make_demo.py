#!/usr/bin/env python3
"""Writes examples/demo.fkl: a layout worth trying with the simulator.

Kept as a script so the layout can be read and changed as text; the .fkl it
writes is what the program reads (Shift-JIS, CR LF, 128 records of 3 lines).
"""
import pathlib

# (mouse state, key): (label, mode, [steps]); a step is "#keys" or "*text".
KEYS = {
    (1, 1): ("保存", "結合", ["#Ctrl+S"]),
    (1, 2): ("元に戻す", "結合", ["#Ctrl+Z"]),
    (1, 3): ("やり直し", "結合", ["#Ctrl+Y"]),
    (1, 4): ("全選択", "結合", ["#Ctrl+A"]),
    (1, 5): ("コピー", "結合", ["#Ctrl+C"]),
    (1, 6): ("貼り付け", "結合", ["#Ctrl+V"]),
    (1, 7): ("図面番号", "結合", ["*図面番号 ", "#Shift+3"]),
    (1, 8): ("部品図", "結合", ["*部品図", "#Enter"]),
    (1, 9): ("Shift保持", "分割", ["#Shift"]),
    (1, 10): ("Ctrl保持", "分割", ["#Ctrl"]),
    (1, 11): ("改行", "結合", ["#Enter"]),
    (1, 12): ("タブ", "結合", ["#Tab"]),
    (1, 13): ("左", "結合", ["#←"]),
    (1, 14): ("右", "結合", ["#→"]),
    (1, 15): ("上", "結合", ["#↑"]),
    (1, 16): ("下", "結合", ["#↓"]),
    (1, 17): ("行頭", "結合", ["#Home"]),
    (1, 18): ("行末", "結合", ["#End"]),
    (1, 19): ("削除", "結合", ["#Del"]),
    (1, 20): ("後退", "結合", ["#BackSpace"]),
    (1, 21): ("ABC", "結合", ["#Shift+A", "#Shift+B", "#Shift+C"]),
    (1, 22): ("数字", "結合", ["#1", "#2", "#3"]),
    (1, 23): ("テンキー＋", "結合", ["#ﾃﾝｷｰ1", "#ﾃﾝｷｰ＋", "#ﾃﾝｷｰ2"]),
    (1, 24): ("選択拡張", "分割", ["#Shift", "#→"]),
    (1, 32): ("Esc", "結合", ["#Esc"]),
    (2, 1): ("左:切り取り", "結合", ["#Ctrl+X"]),
    (2, 2): ("左:寸法", "結合", ["*寸法 ", "#Enter"]),
    (3, 1): ("中:検索", "結合", ["#Ctrl+F"]),
    (4, 1): ("右:印刷", "結合", ["#Ctrl+P"]),
    (4, 2): ("右:注記", "結合", ["*注記：", "#Space"]),
}


def main():
    lines = []
    for mouse in range(1, 5):
        for key in range(1, 33):
            entry = KEYS.get((mouse, key))
            if entry is None:
                lines += ["", "", ""]
                continue
            label, mode, steps = entry
            lines += [label, str(len(steps)), mode + "".join("," + s for s in steps)]
    out = pathlib.Path(__file__).with_name("demo.fkl")
    out.write_bytes("".join(line + "\r\n" for line in lines).encode("cp932"))


if __name__ == "__main__":
    main()
