// A MIDP 2 game canvas of a game, noting its presses as KeyGame does.
import javax.microedition.lcdui.game.GameCanvas;

public class KeyGameCanvas extends GameCanvas {
  public final StringBuilder log = new StringBuilder();

  public KeyGameCanvas() {
    super(false);
  }

  protected void keyPressed(int keyCode) {
    log.append(keyCode).append('/').append(getGameAction(keyCode)).append(' ');
  }
}
