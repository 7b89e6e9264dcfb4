// A stand-in for the MIDP canvas: just enough to load the full-screen class on a desktop JVM,
// recording the calls it receives.
package javax.microedition.lcdui;

public abstract class Canvas {
  public static int fullScreenCalls;
  public static boolean lastFullScreenMode;

  protected Canvas() {}

  // A real handset reports its own screen; the full-screen class must hide these values.
  public int getWidth() {
    return 240;
  }

  public int getHeight() {
    return 320;
  }

  public void setFullScreenMode(boolean mode) {
    fullScreenCalls++;
    lastFullScreenMode = mode;
  }
}
