// Stand-in for the MIDP canvas: what the compatibility classes, the full-screen classes and the
// demo game refer to. The handset supplies the real class.
package javax.microedition.lcdui;

public abstract class Canvas extends Displayable {
  public static final int UP = 1;
  public static final int LEFT = 2;
  public static final int RIGHT = 5;
  public static final int DOWN = 6;
  public static final int FIRE = 8;

  protected Canvas() {}

  public int getWidth() {
    return 0;
  }

  public int getHeight() {
    return 0;
  }

  public void setFullScreenMode(boolean mode) {}

  public int getGameAction(int keyCode) {
    return 0;
  }

  public int getKeyCode(int gameAction) {
    return 0;
  }

  public String getKeyName(int keyCode) {
    return null;
  }

  public final void repaint() {}

  protected void keyPressed(int keyCode) {}

  protected void keyReleased(int keyCode) {}

  protected void keyRepeated(int keyCode) {}

  protected abstract void paint(Graphics g);
}
