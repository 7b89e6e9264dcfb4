// A recording stand-in for MIDP graphics: every call the compatibility classes make is written
// to one shared log, one line per call, so a test can compare the exact sequence.
package javax.microedition.lcdui;

public class Graphics {
  public static final StringBuilder log = new StringBuilder();

  private final String name;
  private int color;

  public Graphics(String name, int color) {
    this.name = name;
    this.color = color;
  }

  private void record(String call) {
    log.append(name).append('.').append(call).append('\n');
  }

  static String hex(int rgb) {
    return String.format("%06x", rgb);
  }

  // As on a handset, the top byte of the value is ignored.
  public void setColor(int RGB) {
    color = RGB & 0xFFFFFF;
    record("setColor " + hex(color));
  }

  public int getColor() {
    return color;
  }

  public void drawLine(int x1, int y1, int x2, int y2) {
    record("drawLine " + x1 + " " + y1 + " " + x2 + " " + y2);
  }

  public void fillRect(int x, int y, int width, int height) {
    record("fillRect " + x + " " + y + " " + width + " " + height + " in " + hex(color));
  }

  public void drawImage(Image img, int x, int y, int anchor) {
    record("drawImage " + img + " " + x + " " + y + " " + anchor);
  }

  public String toString() {
    return name;
  }
}
