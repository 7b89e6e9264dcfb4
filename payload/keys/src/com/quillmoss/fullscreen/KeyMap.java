// The key codes of the handset and those the game was built for: left soft, right soft, fire,
// up, down, left, right. The constants are placeholders that the program replaces with the codes
// of the two layouts when it writes this class into a game; every other code passes unchanged.
package com.quillmoss.fullscreen;

public final class KeyMap {
  private static final int HANDSET_LEFT_SOFT = 0x4B590000;
  private static final int HANDSET_RIGHT_SOFT = 0x4B590001;
  private static final int HANDSET_FIRE = 0x4B590002;
  private static final int HANDSET_UP = 0x4B590003;
  private static final int HANDSET_DOWN = 0x4B590004;
  private static final int HANDSET_LEFT = 0x4B590005;
  private static final int HANDSET_RIGHT = 0x4B590006;
  private static final int GAME_LEFT_SOFT = 0x4B590007;
  private static final int GAME_RIGHT_SOFT = 0x4B590008;
  private static final int GAME_FIRE = 0x4B590009;
  private static final int GAME_UP = 0x4B59000A;
  private static final int GAME_DOWN = 0x4B59000B;
  private static final int GAME_LEFT = 0x4B59000C;
  private static final int GAME_RIGHT = 0x4B59000D;

  private KeyMap() {}

  // The code the game knows for a code the handset sent.
  public static int toGame(int code) {
    if (code == HANDSET_LEFT_SOFT) return GAME_LEFT_SOFT;
    if (code == HANDSET_RIGHT_SOFT) return GAME_RIGHT_SOFT;
    if (code == HANDSET_FIRE) return GAME_FIRE;
    if (code == HANDSET_UP) return GAME_UP;
    if (code == HANDSET_DOWN) return GAME_DOWN;
    if (code == HANDSET_LEFT) return GAME_LEFT;
    if (code == HANDSET_RIGHT) return GAME_RIGHT;
    return code;
  }

  // The code the handset knows for a code the game received.
  public static int toHandset(int code) {
    if (code == GAME_LEFT_SOFT) return HANDSET_LEFT_SOFT;
    if (code == GAME_RIGHT_SOFT) return HANDSET_RIGHT_SOFT;
    if (code == GAME_FIRE) return HANDSET_FIRE;
    if (code == GAME_UP) return HANDSET_UP;
    if (code == GAME_DOWN) return HANDSET_DOWN;
    if (code == GAME_LEFT) return HANDSET_LEFT;
    if (code == GAME_RIGHT) return HANDSET_RIGHT;
    return code;
  }
}
