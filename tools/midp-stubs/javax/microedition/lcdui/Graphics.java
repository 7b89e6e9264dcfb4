// Compile-time stand-in for MIDP graphics: only what the compatibility classes and the demo
// game call.
package javax.microedition.lcdui;

public class Graphics {
  public void setColor(int RGB) {}

  public int getColor() {
    return 0;
  }

  public void drawLine(int x1, int y1, int x2, int y2) {}

  public void fillRect(int x, int y, int width, int height) {}

  public void drawRect(int x, int y, int width, int height) {}

  public void drawImage(Image img, int x, int y, int anchor) {}
}
