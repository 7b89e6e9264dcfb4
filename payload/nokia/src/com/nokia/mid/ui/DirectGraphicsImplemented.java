// Nokia's extended drawing mapped onto plain MIDP graphics. MIDP 1.0 has no alpha, no polygon
// fill and no image flipping, so alpha is dropped, fills are drawn as outlines and
// manipulations are ignored: the game still runs and shows its shapes.
package com.nokia.mid.ui;

import javax.microedition.lcdui.Graphics;
import javax.microedition.lcdui.Image;

public class DirectGraphicsImplemented implements DirectGraphics {
  private Graphics my_g;

  protected DirectGraphicsImplemented(Graphics g) {
    my_g = g;
  }

  // MIDP ignores the top byte of a colour, so the alpha falls away by itself.
  public void setARGBColor(int argbColor) {
    my_g.setColor(argbColor);
  }

  public void drawTriangle(int x1, int y1, int x2, int y2, int x3, int y3, int argbColor) {
    my_g.setColor(argbColor);
    my_g.drawLine(x1, y1, x2, y2);
    my_g.drawLine(x2, y2, x3, y3);
    my_g.drawLine(x3, y3, x1, y1);
  }

  public void fillTriangle(int x1, int y1, int x2, int y2, int x3, int y3, int argbColor) {
    drawTriangle(x1, y1, x2, y2, x3, y3, argbColor);
  }

  // The edge from the last point back to the first is left out.
  public void drawPolygon(int[] xPoints, int xOffset, int[] yPoints, int yOffset, int nPoints,
      int argbColor) {
    my_g.setColor(argbColor);
    for (int i = 1; i < nPoints; i++) {
      my_g.drawLine(xPoints[xOffset + i - 1], yPoints[yOffset + i - 1], xPoints[xOffset + i],
          yPoints[yOffset + i]);
    }
  }

  public void fillPolygon(int[] xPoints, int xOffset, int[] yPoints, int yOffset, int nPoints,
      int argbColor) {
    drawPolygon(xPoints, xOffset, yPoints, yOffset, nPoints, argbColor);
  }

  public int getNativePixelFormat() {
    return 888;
  }

  public int getAlphaComponent() {
    return 0;
  }

  public void drawImage(Image img, int x, int y, int anchor, int manipulation) {
    my_g.drawImage(img, x, y, anchor);
  }

  // One one-pixel line per pixel: MIDP 1.0 has no way to draw a pixel array.
  public void drawPixels(int[] pixels, boolean transparency, int offset, int scanlength, int x,
      int y, int width, int height, int manipulation, int format) {
    for (int row = 0; row < height; row++) {
      for (int column = 0; column < width; column++) {
        my_g.setColor(pixels[offset + column + row * scanlength]);
        my_g.drawLine(x + column, y + row, x + column, y + row);
      }
    }
  }

  // Only 4444 ARGB is understood; fully transparent pixels are not drawn.
  public void drawPixels(short[] pixels, boolean transparency, int offset, int scanlength, int x,
      int y, int width, int height, int manipulation, int format) {
    if (format != 4444) {
      return;
    }
    for (int row = 0; row < height; row++) {
      for (int column = 0; column < width; column++) {
        int pixel = pixels[offset + column + row * scanlength];
        if ((pixel & 0xF000) != 0) {
          int red = (pixel >> 8) & 0xF;
          int green = (pixel >> 4) & 0xF;
          int blue = pixel & 0xF;
          my_g.setColor((red << 20) | (green << 12) | (blue << 4));
          my_g.drawLine(x + column, y + row, x + column, y + row);
        }
      }
    }
  }

  // Byte pixel formats are not decoded; a single line marks where the game drew.
  public void drawPixels(byte[] pixels, byte[] transparencyMask, int offset, int scanlength, int x,
      int y, int width, int height, int manipulation, int format) {
    my_g.drawLine(x, y, width, height);
  }

  public void getPixels(int[] pixels, int offset, int scanlength, int x, int y, int width,
      int height, int format) {}

  public void getPixels(byte[] pixels, byte[] transparencyMask, int offset, int scanlength, int x,
      int y, int width, int height, int format) {}

  public void getPixels(short[] pixels, int offset, int scanlength, int x, int y, int width,
      int height, int format) {}
}
