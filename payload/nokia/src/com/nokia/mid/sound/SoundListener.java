// Nokia sound API: the callback a game registers on a sound; never called here.
package com.nokia.mid.sound;

public interface SoundListener {
  void soundStateChanged(Sound sound, int event);
}
