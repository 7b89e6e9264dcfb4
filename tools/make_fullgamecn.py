#!/usr/bin/env python3
"""Writes payload/FullGameCn.class, the full-screen class injected into games whose screens are
MIDP 2 game canvases. It is FullCn's twin, with the game canvas as its super class:

    public abstract class com.quillmoss.fullscreen.game.FullGameCn
            extends javax.microedition.lcdui.game.GameCanvas {
        public int getWidth()  { return 128; }   // line 15
        public int getHeight() { return 116; }   // line 20
        protected FullGameCn(boolean suppressKeyEvents) {
            super(suppressKeyEvents); setFullScreenMode(true);   // lines 24-26
        }
    }

As in FullCn, the program sets the canvas size in the operands of the sipush instructions that
getWidth and getHeight return, which it finds by reading the class. No method branches, so the
class needs no stack maps to pass CLDC preverification.

Usage: tools/make_fullgamecn.py [OUTPUT]   (default: payload/FullGameCn.class beside this folder)
"""
import os
import sys

from make_fullcn import class_ref, method, method_ref, name_and_type, u2, u4, utf8

CONSTANT_POOL = [
    utf8("com/quillmoss/fullscreen/game/FullGameCn"),         # 1
    class_ref(1),                                             # 2  this class
    utf8("javax/microedition/lcdui/game/GameCanvas"),         # 3
    class_ref(3),                                             # 4  super class
    utf8("getWidth"),                                         # 5
    utf8("()I"),                                              # 6
    utf8("Code"),                                             # 7
    utf8("LineNumberTable"),                                  # 8
    utf8("getHeight"),                                        # 9
    utf8("<init>"),                                           # 10
    utf8("(Z)V"),                                             # 11
    name_and_type(10, 11),                                    # 12
    method_ref(4, 12),                                        # 13 GameCanvas.<init>(Z)V
    utf8("setFullScreenMode"),                                # 14
    name_and_type(14, 11),                                    # 15
    method_ref(2, 15),                                        # 16 FullGameCn.setFullScreenMode
    utf8("SourceFile"),                                       # 17
    utf8("FullGameCn.java"),                                  # 18
]


def build():
    methods = [
        # sipush 128; ireturn
        method(0x0001, 5, 6, 1, bytes([0x11, 0x00, 0x80, 0xAC]), [(0, 15)]),
        # sipush 116; ireturn
        method(0x0001, 9, 6, 1, bytes([0x11, 0x00, 0x74, 0xAC]), [(0, 20)]),
        # aload_0; iload_1; invokespecial #13; aload_0; iconst_1; invokevirtual #16; return
        method(0x0004, 10, 11, 2,
               bytes([0x2A, 0x1B, 0xB7, 0x00, 0x0D, 0x2A, 0x04, 0xB6, 0x00, 0x10, 0xB1]),
               [(0, 24), (5, 25), (10, 26)], max_locals=2),
    ]
    data = u4(0xCAFEBABE) + u2(0) + u2(48) + u2(len(CONSTANT_POOL) + 1)
    data += b"".join(CONSTANT_POOL)
    data += u2(0x0421) + u2(2) + u2(4) + u2(0) + u2(0) + u2(len(methods)) + b"".join(methods)
    data += u2(1) + u2(17) + u4(2) + u2(18)
    assert len(data) == 406, len(data)
    return data


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "payload",
                                                             "FullGameCn.class")
    with open(out, "wb") as f:
        f.write(build())


if __name__ == "__main__":
    main()
