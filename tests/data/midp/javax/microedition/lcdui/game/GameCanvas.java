// A stand-in for the MIDP 2 game canvas: records the key-event choice its constructor received.
package javax.microedition.lcdui.game;

public abstract class GameCanvas extends javax.microedition.lcdui.Canvas {
  public static boolean lastSuppressKeyEvents;

  protected GameCanvas(boolean suppressKeyEvents) {
    lastSuppressKeyEvents = suppressKeyEvents;
  }
}
