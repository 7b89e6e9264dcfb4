// Presses each key of the handset's layout on a game's canvas and prints what the game noted,
// then the codes the canvas gives for the game actions up, down, left, right and fire.
import javax.microedition.lcdui.Canvas;

public class KeyProbe {
  public static void main(String[] args) throws Exception {
    Canvas canvas = (Canvas) Class.forName(args[0]).getDeclaredConstructor().newInstance();
    for (int code : Canvas.handsetCodes()) Canvas.press(canvas, code);
    Object log = canvas.getClass().getField("log").get(canvas);
    StringBuilder codes = new StringBuilder();
    for (int action : new int[] {Canvas.UP, Canvas.DOWN, Canvas.LEFT, Canvas.RIGHT, Canvas.FIRE}) {
      codes.append(canvas.getKeyCode(action)).append(' ');
    }
    System.out.println(log.toString().trim());
    System.out.println(codes.toString().trim());
  }
}
