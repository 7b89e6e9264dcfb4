// Builds a game canvas on the full-screen game canvas class and prints what the game would see:
// width, height, how often full-screen mode was set, the last mode and the key-event choice that
// reached the game canvas.
import javax.microedition.lcdui.Canvas;
import javax.microedition.lcdui.game.GameCanvas;

public class FullGameCnProbe extends com.quillmoss.fullscreen.game.FullGameCn {
  FullGameCnProbe() {
    super(true);
  }

  public static void main(String[] args) {
    Canvas canvas = new FullGameCnProbe();
    System.out.println(canvas.getWidth() + " " + canvas.getHeight() + " "
        + Canvas.fullScreenCalls + " " + Canvas.lastFullScreenMode + " "
        + GameCanvas.lastSuppressKeyEvents);
  }
}
