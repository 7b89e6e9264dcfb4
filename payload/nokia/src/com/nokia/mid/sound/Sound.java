// Nokia sound API on the Virel: games may create and play sounds, but nothing is heard.
package com.nokia.mid.sound;

public class Sound {
  public Sound(byte[] data, int type) {}

  public Sound(int freq, long duration) {}

  public void init(int freq, long duration) {}

  public void init(byte[] data, int type) {}

  // Always stopped, so a game waiting for the end of a sound never waits.
  public int getState() {
    return 0;
  }

  public void play(int loop) {}

  public void stop() {}

  public void resume() {}

  public void release() {}

  public void setGain(int gain) {}

  public int getGain() {
    return 128;
  }

  public static int getConcurrentSoundCount(int type) {
    return 1;
  }

  // Tone sequences only; a fresh array each time, since callers may change it.
  public static int[] getSupportedFormats() {
    int[] formats = new int[1];
    formats[0] = 1;
    return formats;
  }

  public void setSoundListener(SoundListener listener) {}
}
