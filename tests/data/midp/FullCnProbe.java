// Builds a game canvas on the full-screen class and prints what the game would see:
// width, height, how often full-screen mode was set and the last mode.
import javax.microedition.lcdui.Canvas;

public class FullCnProbe extends com.quillmoss.fullscreen.FullCn {
  public static void main(String[] args) {
    Canvas canvas = new FullCnProbe();
    System.out.println(canvas.getWidth() + " " + canvas.getHeight() + " "
        + Canvas.fullScreenCalls + " " + Canvas.lastFullScreenMode);
  }
}
