// Compile-time stand-in for the MIDP display.
package javax.microedition.lcdui;

import javax.microedition.midlet.MIDlet;

public class Display {
  private Display() {}

  public static Display getDisplay(MIDlet m) {
    return null;
  }

  public void setCurrent(Displayable nextDisplayable) {}
}
