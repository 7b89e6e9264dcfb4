// The handset's game canvas for the key tests.
package javax.microedition.lcdui.game;

public abstract class GameCanvas extends javax.microedition.lcdui.Canvas {
  protected GameCanvas(boolean suppressKeyEvents) {}
}
