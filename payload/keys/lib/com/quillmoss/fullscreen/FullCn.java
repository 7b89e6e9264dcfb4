// What the key classes see of the full-screen canvas, which the program carries ready-made.
package com.quillmoss.fullscreen;

public abstract class FullCn extends javax.microedition.lcdui.Canvas {
  protected FullCn() {}
}
