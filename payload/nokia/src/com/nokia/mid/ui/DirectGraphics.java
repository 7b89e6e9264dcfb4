// Nokia's extended drawing interface, as games call it.
package com.nokia.mid.ui;

import javax.microedition.lcdui.Image;

public interface DirectGraphics {
  void setARGBColor(int argbColor);

  void drawTriangle(int x1, int y1, int x2, int y2, int x3, int y3, int argbColor);

  void fillTriangle(int x1, int y1, int x2, int y2, int x3, int y3, int argbColor);

  void drawPolygon(int[] xPoints, int xOffset, int[] yPoints, int yOffset, int nPoints,
      int argbColor);

  void fillPolygon(int[] xPoints, int xOffset, int[] yPoints, int yOffset, int nPoints,
      int argbColor);

  void drawPixels(int[] pixels, boolean transparency, int offset, int scanlength, int x, int y,
      int width, int height, int manipulation, int format);

  void drawPixels(byte[] pixels, byte[] transparencyMask, int offset, int scanlength, int x,
      int y, int width, int height, int manipulation, int format);

  void drawPixels(short[] pixels, boolean transparency, int offset, int scanlength, int x, int y,
      int width, int height, int manipulation, int format);

  void getPixels(int[] pixels, int offset, int scanlength, int x, int y, int width, int height,
      int format);

  void getPixels(byte[] pixels, byte[] transparencyMask, int offset, int scanlength, int x, int y,
      int width, int height, int format);

  void getPixels(short[] pixels, int offset, int scanlength, int x, int y, int width, int height,
      int format);

  void drawImage(Image img, int x, int y, int anchor, int manipulation);
}
