// The full-screen canvas for a game built for another handset's keys. The handset's codes for
// the soft keys, fire and the arrows reach the game's handlers as the codes the game was built
// for; adapting the game renames its keyPressed, keyReleased and keyRepeated to the methods
// below, so that these translate first. The game asks about the codes it received, so the
// questions about codes are answered in its layout too.
package com.quillmoss.fullscreen;

public abstract class FullKeyCn extends FullCn {
  protected FullKeyCn() {
    super();
  }

  protected void keyPressed(int keyCode) {
    keyPressed$k(KeyMap.toGame(keyCode));
  }

  protected void keyReleased(int keyCode) {
    keyReleased$k(KeyMap.toGame(keyCode));
  }

  protected void keyRepeated(int keyCode) {
    keyRepeated$k(KeyMap.toGame(keyCode));
  }

  // The game's own handlers, renamed; a canvas without one ignores the key, as the MIDP canvas does.
  protected void keyPressed$k(int keyCode) {}

  protected void keyReleased$k(int keyCode) {}

  protected void keyRepeated$k(int keyCode) {}

  public int getGameAction(int keyCode) {
    return super.getGameAction(KeyMap.toHandset(keyCode));
  }

  public int getKeyCode(int gameAction) {
    return KeyMap.toGame(super.getKeyCode(gameAction));
  }

  public String getKeyName(int keyCode) {
    return super.getKeyName(KeyMap.toHandset(keyCode));
  }
}
