#!/usr/bin/env python3
"""Writes payload/FullCn.class, the full-screen canvas class injected into every adapted game.

The class is laid out by hand, 389 bytes. The program sets the configured canvas size in the
operands of the sipush instructions that getWidth and getHeight return, which it finds by reading
the class.

    public abstract class com.quillmoss.fullscreen.FullCn extends javax.microedition.lcdui.Canvas {
        public int getWidth()  { return 128; }   // line 15
        public int getHeight() { return 116; }   // line 20
        protected FullCn() { super(); setFullScreenMode(true); }   // lines 24-26
    }

Usage: tools/make_fullcn.py [OUTPUT]   (default: payload/FullCn.class beside this folder)
"""
import os
import struct
import sys


def u1(v): return struct.pack(">B", v)
def u2(v): return struct.pack(">H", v)
def u4(v): return struct.pack(">I", v)


def utf8(text):
    data = text.encode("ascii")
    return u1(1) + u2(len(data)) + data


def class_ref(name_index): return u1(7) + u2(name_index)
def name_and_type(name, descriptor): return u1(12) + u2(name) + u2(descriptor)
def method_ref(cls, nat): return u1(10) + u2(cls) + u2(nat)


CONSTANT_POOL = [
    utf8("com/quillmoss/fullscreen/FullCn"),   # 1
    class_ref(1),                             # 2  this class
    utf8("javax/microedition/lcdui/Canvas"),  # 3
    class_ref(3),                             # 4  super class
    utf8("getWidth"),                         # 5
    utf8("()I"),                              # 6
    utf8("Code"),                             # 7
    utf8("LineNumberTable"),                  # 8
    utf8("getHeight"),                        # 9
    utf8("<init>"),                           # 10
    utf8("()V"),                              # 11
    name_and_type(10, 11),                    # 12
    method_ref(4, 12),                        # 13 Canvas.<init>
    utf8("setFullScreenMode"),                # 14
    utf8("(Z)V"),                             # 15
    name_and_type(14, 15),                    # 16
    method_ref(2, 16),                        # 17 FullCn.setFullScreenMode
    utf8("SourceFile"),                       # 18
    utf8("FullCn.java"),                      # 19
]


def method(access, name, descriptor, max_stack, code, lines, max_locals=1, code_name=7,
           lines_name=8):
    line_table = u2(len(lines)) + b"".join(u2(pc) + u2(line) for pc, line in lines)
    line_attr = u2(lines_name) + u4(len(line_table)) + line_table
    body = u2(max_stack) + u2(max_locals) + u4(len(code)) + code + u2(0) + u2(1) + line_attr
    return u2(access) + u2(name) + u2(descriptor) + u2(1) + u2(code_name) + u4(len(body)) + body


def build():
    methods = [
        # sipush 128; ireturn
        method(0x0001, 5, 6, 1, bytes([0x11, 0x00, 0x80, 0xAC]), [(0, 15)]),
        # sipush 116; ireturn
        method(0x0001, 9, 6, 1, bytes([0x11, 0x00, 0x74, 0xAC]), [(0, 20)]),
        # aload_0; invokespecial #13; aload_0; iconst_1; invokevirtual #17; return
        method(0x0004, 10, 11, 2,
               bytes([0x2A, 0xB7, 0x00, 0x0D, 0x2A, 0x04, 0xB6, 0x00, 0x11, 0xB1]),
               [(0, 24), (4, 25), (9, 26)]),
    ]
    data = u4(0xCAFEBABE) + u2(0) + u2(48) + u2(len(CONSTANT_POOL) + 1)
    data += b"".join(CONSTANT_POOL)
    data += u2(0x0421) + u2(2) + u2(4) + u2(0) + u2(0) + u2(len(methods)) + b"".join(methods)
    data += u2(1) + u2(18) + u4(2) + u2(19)
    assert len(data) == 389, len(data)
    return data


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "payload", "FullCn.class")
    with open(out, "wb") as f:
        f.write(build())


if __name__ == "__main__":
    main()
