// Korvel's demo game: shows the catch-the-square canvas.
package korvel.demo;

import javax.microedition.lcdui.Display;
import javax.microedition.midlet.MIDlet;

public class DemoMIDlet extends MIDlet {
  private DemoCanvas canvas;

  protected void startApp() {
    if (canvas == null) {
      canvas = new DemoCanvas(this);
    }
    Display.getDisplay(this).setCurrent(canvas);
  }

  protected void pauseApp() {}

  protected void destroyApp(boolean unconditional) {}

  void quit() {
    destroyApp(true);
    notifyDestroyed();
  }
}
