// A minimal game canvas: draws nothing, but reports what it sees of the screen, so that a test
// can run it after adaptation beside the stand-in MIDP canvas.
import javax.microedition.lcdui.Canvas;

public class DemoGame extends Canvas {
  public static void main(String[] args) {
    DemoGame game = new DemoGame();
    System.out.println(game.getWidth() + " " + game.getHeight() + " " + Canvas.fullScreenCalls);
  }
}
