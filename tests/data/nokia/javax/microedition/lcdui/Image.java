// A recording stand-in for MIDP images: logs how images are made; a mutable image's graphics
// start in a colour of their own, so that putting the colour back shows in the log.
package javax.microedition.lcdui;

public class Image {
  public static final int INITIAL_COLOR = 0xa0b0c0;
  private static int count;

  private final String name;
  private final Graphics graphics;

  private Image(String name) {
    this.name = name;
    graphics = new Graphics(name, INITIAL_COLOR);
  }

  public static Image createImage(int width, int height) {
    Image image = new Image("image" + ++count);
    Graphics.log.append("Image.createImage " + width + " " + height + " -> " + image + "\n");
    return image;
  }

  public static Image createImage(byte[] imageData, int imageOffset, int imageLength) {
    Image image = new Image("image" + ++count);
    Graphics.log.append("Image.createImage " + java.util.Arrays.toString(imageData) + " "
        + imageOffset + " " + imageLength + " -> " + image + "\n");
    return image;
  }

  public Graphics getGraphics() {
    return graphics;
  }

  public String toString() {
    return name;
  }
}
