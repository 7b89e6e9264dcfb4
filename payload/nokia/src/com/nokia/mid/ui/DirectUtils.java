// Nokia's drawing helpers, built on plain MIDP images.
package com.nokia.mid.ui;

import javax.microedition.lcdui.Graphics;
import javax.microedition.lcdui.Image;

public abstract class DirectUtils {
  public DirectUtils() {}

  public static DirectGraphics getDirectGraphics(Graphics g) {
    return new DirectGraphicsImplemented(g);
  }

  public static Image createImage(byte[] imageData, int imageOffset, int imageLength) {
    return Image.createImage(imageData, imageOffset, imageLength);
  }

  // A mutable image in one colour; MIDP 1.0 images have no alpha, so it is dropped. The
  // image's drawing colour is put back, since the game may draw on it afterwards.
  public static Image createImage(int width, int height, int ARGBcolor) {
    Image image = Image.createImage(width, height);
    Graphics g = image.getGraphics();
    int color = g.getColor();
    g.setColor(ARGBcolor & 0xFFFFFF);
    g.fillRect(0, 0, width, height);
    g.setColor(color);
    return image;
  }
}
