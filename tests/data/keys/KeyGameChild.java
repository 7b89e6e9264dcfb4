// A subclass of a game's canvas that handles presses itself first.
public class KeyGameChild extends KeyGame {
  protected void keyPressed(int keyCode) {
    log.append('c');
    super.keyPressed(keyCode);
  }
}
