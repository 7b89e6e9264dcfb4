// Nokia's full-screen canvas. It extends the MIDP canvas here; adapting a game redirects it,
// like the game's own canvases, to the full-screen class.
package com.nokia.mid.ui;

import javax.microedition.lcdui.Canvas;

public abstract class FullCanvas extends Canvas {
  protected FullCanvas() {
    super();
  }
}
