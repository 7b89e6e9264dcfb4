// What the key classes see of the full-screen game canvas, which the program carries ready-made.
package com.quillmoss.fullscreen.game;

public abstract class FullGameCn extends javax.microedition.lcdui.game.GameCanvas {
  protected FullGameCn(boolean suppressKeyEvents) {
    super(suppressKeyEvents);
  }
}
