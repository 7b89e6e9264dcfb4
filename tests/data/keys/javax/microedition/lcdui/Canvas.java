// A handset's canvas for the key tests: it sends and understands the key codes of the layout in
// the system property handset.keys (left soft, right soft, fire, up, down, left, right).
package javax.microedition.lcdui;

public abstract class Canvas {
  public static final int UP = 1;
  public static final int LEFT = 2;
  public static final int RIGHT = 5;
  public static final int DOWN = 6;
  public static final int FIRE = 8;
  // The game action of each key of a layout, in its order.
  static final int[] ACTIONS = {0, 0, FIRE, UP, DOWN, LEFT, RIGHT};

  protected Canvas() {}

  public static int[] handsetCodes() {
    String[] parts = System.getProperty("handset.keys").split(",");
    int[] codes = new int[parts.length];
    for (int i = 0; i < parts.length; i++) codes[i] = Integer.parseInt(parts[i].trim());
    return codes;
  }

  // The handset presses, repeats and releases the key with `code` on `canvas`.
  public static void press(Canvas canvas, int code) {
    canvas.keyPressed(code);
    canvas.keyRepeated(code);
    canvas.keyReleased(code);
  }

  public int getWidth() {
    return 240;
  }

  public int getHeight() {
    return 320;
  }

  public void setFullScreenMode(boolean mode) {}

  public int getGameAction(int keyCode) {
    int[] codes = handsetCodes();
    for (int i = 0; i < codes.length; i++) {
      if (codes[i] == keyCode) return ACTIONS[i];
    }
    return 0;
  }

  public int getKeyCode(int gameAction) {
    int[] codes = handsetCodes();
    for (int i = 2; i < codes.length; i++) {
      if (ACTIONS[i] == gameAction) return codes[i];
    }
    return 0;
  }

  public String getKeyName(int keyCode) {
    return "key" + keyCode;
  }

  protected void keyPressed(int keyCode) {}

  protected void keyReleased(int keyCode) {}

  protected void keyRepeated(int keyCode) {}
}
