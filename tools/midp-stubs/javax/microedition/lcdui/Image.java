// Compile-time stand-in for MIDP images: only what the compatibility classes call.
package javax.microedition.lcdui;

public class Image {
  public static Image createImage(int width, int height) {
    return null;
  }

  public static Image createImage(byte[] imageData, int imageOffset, int imageLength) {
    return null;
  }

  public Graphics getGraphics() {
    return null;
  }
}
