// A game's canvas as a game built for some handset writes it: it notes every code its handlers
// receive with the game action it finds for it, and calls its own handler once itself.
import javax.microedition.lcdui.Canvas;

public class KeyGame extends Canvas {
  public final StringBuilder log = new StringBuilder();

  protected void keyPressed(int keyCode) {
    log.append(keyCode).append('/').append(getGameAction(keyCode)).append(' ');
  }

  protected void keyRepeated(int keyCode) {
    keyPressed(keyCode);  // the game's own call: its code, as it is
  }

  protected void keyReleased(int keyCode) {
    log.append('r').append(keyCode).append(' ');
  }
}
