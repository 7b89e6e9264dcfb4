// Catch the square: move the player with the arrow keys onto the target, which then jumps
// elsewhere. The playfield is drawn to whatever size the canvas reports, so after adaptation it
// fills the configured full-screen size; FIRE quits.
package korvel.demo;

import javax.microedition.lcdui.Canvas;
import javax.microedition.lcdui.Graphics;

public class DemoCanvas extends Canvas {
  private static final int CELL = 8;

  private final DemoMIDlet midlet;
  private int playerX;
  private int playerY;
  private int targetX;
  private int targetY;
  private int caught;
  private int seed = 12345;

  public DemoCanvas(DemoMIDlet midlet) {
    this.midlet = midlet;
    moveTarget();
  }

  private int columns() {
    int n = getWidth() / CELL;
    return n > 0 ? n : 1;
  }

  private int rows() {
    int n = getHeight() / CELL;
    return n > 0 ? n : 1;
  }

  // A small linear congruential generator: CLDC 1.0 handsets may lack java.util.Random.
  private int next(int bound) {
    seed = seed * 1103515245 + 12345;
    return (seed >>> 16) % bound;
  }

  private void moveTarget() {
    targetX = next(columns());
    targetY = next(rows());
  }

  protected void keyPressed(int keyCode) {
    int action = getGameAction(keyCode);
    if (action == LEFT && playerX > 0) {
      playerX--;
    } else if (action == RIGHT && playerX < columns() - 1) {
      playerX++;
    } else if (action == UP && playerY > 0) {
      playerY--;
    } else if (action == DOWN && playerY < rows() - 1) {
      playerY++;
    } else if (action == FIRE) {
      midlet.quit();
      return;
    }
    if (playerX == targetX && playerY == targetY) {
      caught++;
      moveTarget();
    }
    repaint();
  }

  protected void paint(Graphics g) {
    g.setColor(0x102040);
    g.fillRect(0, 0, getWidth(), getHeight());
    g.setColor(0x406080);
    g.drawRect(0, 0, getWidth() - 1, getHeight() - 1);
    g.setColor(0xE04030);
    g.fillRect(targetX * CELL + 1, targetY * CELL + 1, CELL - 2, CELL - 2);
    g.setColor(0x60E060);
    g.fillRect(playerX * CELL, playerY * CELL, CELL, CELL);
    // One small bar per catch along the bottom edge.
    g.setColor(0xF0F0F0);
    for (int i = 0; i < caught && i * 4 < getWidth(); i++) {
      g.fillRect(i * 4 + 1, getHeight() - 3, 2, 2);
    }
  }
}
