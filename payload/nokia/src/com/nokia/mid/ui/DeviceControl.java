// Nokia device control on the Virel: lights and vibration requests are accepted and ignored.
package com.nokia.mid.ui;

public abstract class DeviceControl {
  public DeviceControl() {}

  public static void setLights(int num, int level) {}

  public static void flashLights(long duration) {}

  public static void startVibra(int freq, long duration) {}

  public static void stopVibra() {}
}
